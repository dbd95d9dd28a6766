#include "lang/multilang.h"

#include "lang/wordtable.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>

#include <optional>

namespace {

const QString kDittoKey = QStringLiteral("\"");
const QString kHintKey = QStringLiteral("\".Hint");
const QString kFormKey = QStringLiteral("%Form%");

QMessageBox::StandardButton showMessageBox(QMessageBox::Icon icon, const QString& text,
                                           QMessageBox::StandardButtons buttons)
{
    QString shown = text;
    shown.replace('\r', '\n');
    QMessageBox box(icon,
                    icon == QMessageBox::Question ? QStringLiteral("Confirm") : QStringLiteral("Information"),
                    shown, buttons);
    return QMessageBox::StandardButton(box.exec());
}

// "Text files (*.txt)|*.txt|All|*.*" -> {"Text files (*.txt)", "All (*.*)"}
QStringList nameFilters(const QString& filter)
{
    const QStringList parts = filter.split('|');
    QStringList filters;
    for (qsizetype p = 0; p + 1 < parts.size(); p += 2) {
        const QString& description = parts[p];
        const QString& patterns = parts[p + 1];
        QString qtPatterns = patterns;
        qtPatterns.replace(';', ' ');
        const QString shown = '(' + patterns + ')';
        if (description.endsWith(shown))
            filters.append(description.chopped(shown.size()) + '(' + qtPatterns + ')');
        else
            filters.append(description + " (" + qtPatterns + ')');
    }
    if (parts.size() % 2 == 1 && !parts.last().isEmpty())
        filters.append(parts.last());
    return filters;
}

bool declares(const QObject* object, const char* property)
{
    return object->metaObject()->indexOfProperty(property) >= 0;
}

// One pass of a language switch over the words of a table.
class Walk {
public:
    Walk(const QStringList& words, int languages, int active, int fallback, bool fallbackEnabled,
         QWidget* window)
        : m_words(words), m_languages(languages), m_active(active), m_fallback(fallback),
          m_fallbackEnabled(fallbackEnabled && fallback < languages), m_window(window)
    {
        collect(window);
    }

    // The window's own components, depth first. A window of its own inside it
    // (a dialog it owns) keeps its components to itself; a menu does not, and
    // a file dialog is one component (its inside is not the window's).
    void collect(const QObject* parent)
    {
        for (QObject* object : parent->children()) {
            const auto* widget = qobject_cast<const QWidget*>(object);
            const bool ownWindow = widget && widget->isWindow() && !qobject_cast<const QMenu*>(widget);
            if (ownWindow && !qobject_cast<const QFileDialog*>(widget))
                continue;
            const QString name = object->objectName().toLower();
            if (!name.isEmpty() && !m_components.contains(name))
                m_components.insert(name, object);
            if (!ownWindow)
                collect(object);
        }
    }

    void run()
    {
        while (m_i < m_words.size()) {
            const QString& key = m_words[m_i];
            if (key == kFormKey || (!key.isEmpty() && key == m_window->objectName())) {
                if (const auto text = take())
                    m_window->setWindowTitle(*text);
                else
                    skipGroup();
                continue;
            }
            QObject* component = m_components.value(key.toLower());
            if (!component) {
                skipGroup();
                continue;
            }
            try {
                apply(component);
            } catch (...) {
                return; // the rest of the table is left as it was
            }
        }
    }

private:
    void skipGroup() { m_i += m_languages + 1; }
    bool canTake() const { return m_i + m_active + 1 < m_words.size(); }
    bool atKey(const QString& key) const { return m_i < m_words.size() && m_words[m_i] == key; }

    std::optional<QString> take()
    {
        if (!canTake())
            return std::nullopt;
        QString text = m_words[m_i + m_active + 1];
        if (text.isEmpty() && m_fallbackEnabled && m_i + m_fallback + 1 < m_words.size())
            text = m_words[m_i + m_fallback + 1];
        skipGroup();
        return text;
    }

    // The list rule over entries 0..count-1.
    void takeList(int count, const std::function<void(int, const QString&)>& set)
    {
        if (count <= 0)
            return;
        const auto first = take();
        if (!first)
            return;
        set(0, *first);
        int entry = 1;
        for (; entry < count && atKey(kDittoKey) && canTake(); ++entry)
            set(entry, *take());
        for (; entry < count; ++entry)
            set(entry, QString());
    }

    QStringList takeList(QStringList list)
    {
        takeList(int(list.size()), [&list](int entry, const QString& text) { list[entry] = text; });
        return list;
    }

    // The continuation rule over elements 0..count-1.
    void takeContinued(int count, const std::function<void(int, const QString&)>& set)
    {
        for (int element = 0; element < count && atKey(kDittoKey) && canTake(); ++element)
            set(element, *take());
    }

    void apply(QObject* component)
    {
        const qsizetype start = m_i;
        applyTexts(component);
        QObject* hintTarget = component;
        if (auto* menu = qobject_cast<QMenu*>(component))
            hintTarget = menu->menuAction();
        const bool hasHint = qobject_cast<QWidget*>(hintTarget) || qobject_cast<QAction*>(hintTarget);
        if (m_i == start)
            skipGroup();
        if (!hasHint || m_i >= m_words.size() || m_words[m_i].compare(kHintKey, Qt::CaseInsensitive) != 0)
            return;
        const auto hint = take();
        if (!hint || hint->isEmpty())
            return;
        if (declares(hintTarget, "Hint"))
            hintTarget->setProperty("Hint", *hint);
        else if (auto* widget = qobject_cast<QWidget*>(hintTarget))
            widget->setToolTip(*hint);
        else
            static_cast<QAction*>(hintTarget)->setToolTip(*hint);
    }

    void applyTexts(QObject* c)
    {
        if (c->inherits("TRadioGroup")) {
            const auto caption = take();
            if (!caption)
                return;
            c->setProperty("Caption", *caption);
            const QVariant index = c->property("ItemIndex");
            c->setProperty("Items", takeList(c->property("Items").toStringList()));
            if (index.isValid())
                c->setProperty("ItemIndex", index);
        } else if (auto* menu = qobject_cast<QMenu*>(c)) {
            if (const auto text = take())
                menu->setTitle(*text);
        } else if (auto* dialog = qobject_cast<QFileDialog*>(c)) {
            if (const auto filter = take())
                dialog->setNameFilters(nameFilters(*filter));
            if (const auto title = take())
                dialog->setWindowTitle(*title);
        } else if (auto* widget = qobject_cast<QWidget*>(c); widget && widget->isWindow()) {
            if (const auto text = take())
                widget->setWindowTitle(*text);
        } else if (auto* list = qobject_cast<QListWidget*>(c)) {
            takeList(list->count(), [list](int row, const QString& text) { list->item(row)->setText(text); });
        } else if (c->inherits("TDriveComboBox")) {
            // the drive selector's entries are the volumes: nothing to write
        } else if (auto* combo = qobject_cast<QComboBox*>(c)) {
            const int current = combo->currentIndex();
            takeList(combo->count(),
                     [combo](int row, const QString& text) { combo->setItemText(row, text); });
            combo->setCurrentIndex(current);
        } else if (auto* memo = qobject_cast<QPlainTextEdit*>(c)) {
            // An empty memo has no lines; a final line break ends the last line.
            QStringList current = memo->toPlainText().split('\n');
            if (current.constLast().isEmpty())
                current.removeLast();
            const QStringList lines = takeList(current);
            memo->setPlainText(lines.join('\n'));
        } else if (auto* tabs = qobject_cast<QTabWidget*>(c)) {
            takeList(tabs->count(), [tabs](int page, const QString& text) { tabs->setTabText(page, text); });
        } else if (auto* bar = qobject_cast<QTabBar*>(c)) {
            takeList(bar->count(), [bar](int tab, const QString& text) { bar->setTabText(tab, text); });
        } else if (auto* status = qobject_cast<QStatusBar*>(c)) {
            if (const auto text = take()) {
                if (text->isEmpty())
                    status->clearMessage();
                else
                    status->showMessage(*text);
            }
            const auto panels = status->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
            takeContinued(int(panels.size()),
                          [&panels](int p, const QString& text) { panels[p]->setText(text); });
        } else if (qobject_cast<QTextEdit*>(c)) {
            // a rich text view (the session log) publishes neither caption nor text
        } else if (auto* action = qobject_cast<QAction*>(c)) {
            if (const auto text = take())
                action->setText(*text);
        } else {
            applyCaptionAndText(c);
        }
    }

    void applyCaptionAndText(QObject* c)
    {
        if (declares(c, "Caption")) {
            if (const auto text = take())
                c->setProperty("Caption", *text);
        } else if (qobject_cast<QLabel*>(c) || qobject_cast<QAbstractButton*>(c) ||
                   qobject_cast<QGroupBox*>(c)) {
            if (const auto text = take()) {
                if (auto* label = qobject_cast<QLabel*>(c))
                    label->setText(*text);
                else if (auto* button = qobject_cast<QAbstractButton*>(c))
                    button->setText(*text);
                else
                    static_cast<QGroupBox*>(c)->setTitle(*text);
            }
        }
        if (declares(c, "Text")) {
            if (const auto text = take())
                c->setProperty("Text", *text);
        } else if (auto* edit = qobject_cast<QLineEdit*>(c)) {
            if (const auto text = take())
                edit->setText(*text);
        }
    }

    const QStringList m_words; // a shared copy: the table cannot change under the walk
    const int m_languages;
    const int m_active;
    const int m_fallback;
    const bool m_fallbackEnabled;
    QWidget* const m_window;
    QHash<QString, QPointer<QObject>> m_components;
    qsizetype m_i = 0;
};

} // namespace

TMultiLang::TMultiLang(QWidget* owner) : QObject(owner), AskUser(showMessageBox) {}

QWidget* TMultiLang::owner() const
{
    return static_cast<QWidget*>(parent());
}

void TMultiLang::LoadWords(const QString& tableName)
{
    m_words = LoadWordTable(tableName, m_languages);
}

QString TMultiLang::GetWord(const QString& key) const
{
    const qsizetype step = m_languages + 1;
    for (qsizetype i = 0; i + m_languages < m_words.size(); i += step) {
        if (m_words[i] != key)
            continue;
        const QString& text = m_words[i + m_activeLanguage + 1];
        if (text.isEmpty() && m_defaultEnabled && m_defaultLanguage < m_languages)
            return m_words[i + m_defaultLanguage + 1];
        return text;
    }
    return QString();
}

void TMultiLang::SetActiveLanguage(quint8 language)
{
    switchTo(language);
}

void TMultiLang::SetDefaultLanguage(quint8 language)
{
    if (language >= m_languages) {
        switchTo(language); // shows the message and changes nothing
        return;
    }
    m_defaultLanguage = language;
    switchTo(m_activeLanguage);
}

void TMultiLang::SetDefaultEnabled(bool enabled)
{
    if (enabled == m_defaultEnabled)
        return;
    m_defaultEnabled = enabled;
    switchTo(m_activeLanguage);
}

namespace {

// Accessible names set from a caption or hint of the table keep the language they were set in; after a
// switch every name in the window that is one of the table's texts (in any language, "&" left out)
// becomes that group's text in the new language, so screen readers hear the language shown.
void FollowAccessibleNames(QWidget* window, const QStringList& words, int languages, int active)
{
    auto plain = [](QString text) { return text.remove(QLatin1Char('&')).trimmed(); };
    QHash<QString, QString> names;
    for (qsizetype group = 0; group + languages < words.size(); group += languages + 1) {
        const QString now = plain(words[group + 1 + active]);
        if (now.isEmpty())
            continue;
        for (int language = 0; language < languages; ++language) {
            const QString text = plain(words[group + 1 + language]);
            if (!text.isEmpty() && !names.contains(text))
                names.insert(text, now);
        }
    }
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* widget : widgets) {
        const auto found = names.constFind(widget->accessibleName());
        if (found != names.constEnd() && found.value() != widget->accessibleName())
            widget->setAccessibleName(found.value());
    }
}

} // namespace

void TMultiLang::switchTo(quint8 language)
{
    if (language >= m_languages) {
        AskUser(QMessageBox::Information,
                QStringLiteral("Value must not be higher than\rnumber of available languages."),
                QMessageBox::Cancel);
        return;
    }
    bool allowIt = true;
    if (BeforeLanguageChange)
        BeforeLanguageChange(this, language, allowIt);
    if (!allowIt)
        return;
    m_activeLanguage = language;
    if (QWidget* window = owner()) {
        Walk(m_words, m_languages, m_activeLanguage, m_defaultLanguage, m_defaultEnabled, window).run();
        FollowAccessibleNames(window, m_words, m_languages, m_activeLanguage);
    }
    if (AfterLanguageChanged)
        AfterLanguageChanged(this, language);
}

void TMultiLang::SetLanguages(quint8 count)
{
    const int oldCount = m_languages;
    if (count == oldCount)
        return;
    if (count < oldCount) {
        if (count < 2) {
            AskUser(QMessageBox::Information, QStringLiteral("You have to provide at least 2 languages."),
                    QMessageBox::Ok);
            return;
        }
        if (m_activeLanguage >= count) {
            if (AskUser(QMessageBox::Question,
                        QStringLiteral("You are decreasing the number of languages.\rEntries for the removed "
                                       "language will be lost.\rThe currently displayed language will be "
                                       "deleted, too.\r\rDo you really want to continue?"),
                        QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
                return;
            switchTo(0);
            if (m_activeLanguage >= count)
                return; // the switch was vetoed: its texts must stay
        } else if (AskUser(
                       QMessageBox::Question,
                       QStringLiteral("You are decreasing the number of languages.\rEntries for the removed "
                                      "language will be lost.\r\rContinue?"),
                       QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
            return;
        }
    }
    // Rebuild every group with the new number of texts: texts of removed
    // languages are dropped, new languages start as "?".
    QStringList resized;
    resized.reserve(m_words.size() / (oldCount + 1) * (count + 1) + count + 1);
    for (qsizetype group = 0; group < m_words.size(); group += oldCount + 1) {
        const qsizetype groupEnd = std::min<qsizetype>(group + oldCount + 1, m_words.size());
        const qsizetype keep = std::min<qsizetype>(groupEnd, group + count + 1);
        for (qsizetype line = group; line < keep; ++line)
            resized.append(m_words[line]);
        if (count > oldCount && groupEnd == group + oldCount + 1)
            for (int added = oldCount; added < count; ++added)
                resized.append(QStringLiteral("?"));
    }
    m_words = resized;
    m_languages = count;
    if (m_defaultLanguage >= count)
        m_defaultLanguage = 0;
}
