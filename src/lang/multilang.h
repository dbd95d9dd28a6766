#pragma once
// TMultiLang: the word table of one window. It holds every caption, hint, list
// item and message of its window in every language, writes them into the
// window's components when the language is switched, and gives messages by key.
//
// Words is a flat list of groups of Languages() + 1 lines: a key line, then one
// text per language (language 0 Slovenian, 1 English). Keys:
//   "@id..."            a message for GetWord; switching ignores it
//   "%Form%" / the owning window's objectName (exact case)   the window title
//   a component name    the texts of that component (case ignored; looked up by
//                       objectName among the window's descendants, QObjects and
//                       QActions included, first in depth-first order)
//   "\""                ditto: the next element of the component named before
//   "\".Hint" (any case) the hint of the component named before
//   anything else       skipped
// GetWord returns the first group's text for the active language (the default
// language's text when that is empty and DefaultEnabled is on), or "" for a
// missing key.
//
// Taking a text: at group i the text of the active language is line
// i + ActiveLanguage + 1; when that line does not exist the take fails and
// nothing changes; otherwise an empty text is replaced by the default
// language's when DefaultEnabled is on, and the walk moves to the next group.
//
// Switching to language L (SetActiveLanguage; also SetDefaultLanguage and a
// changed SetDefaultEnabled switch again to the current language):
//   1. L >= Languages(): information box "Value must not be higher than\r
//      number of available languages." (Cancel) and nothing else happens.
//   2. BeforeLanguageChange(L, allowIt); allowIt false stops without change.
//   3. ActiveLanguage := L; walk the groups, writing each component's texts;
//      an exception thrown while writing ends the walk silently.
//   4. Accessible names of the window's widgets that equal one of the table's
//      texts in any language ("&" left out) become that group's text in L.
//   5. AfterLanguageChanged(L).
// The walk is synchronous; the handlers may read the new texts but must not
// change Words or the language from inside a switch.
//
// How each kind of component takes its groups (the first row that matches):
//   class inheriting "TRadioGroup" (Kvado's radio group; written through its
//     Q_PROPERTYs)            Caption from its group, then Items by the list
//                             rule from the next group; ItemIndex kept
//   QMenu                     title (its menu action's text)
//   QFileDialog               name filters from its group, given in the
//                             "description|patterns|..." form, then the window
//                             title from the next group whatever its key
//   any other window (QWidget::isWindow())  window title
//   QListWidget (list box)    items by the list rule
//   class inheriting "TDriveComboBox" (the drive selector)  nothing
//   QComboBox                 items by the list rule; current index kept
//   QPlainTextEdit (memo)     its lines by the list rule (a one-line memo
//                             simply takes the text)
//   QTabWidget, QTabBar       page titles by the list rule
//   QStatusBar                its own group as the status message (shown with
//                             showMessage; empty clears it), then the texts of
//                             its panels by the continuation rule; the panels
//                             are the status bar's direct QLabel children in
//                             the order they were added
//   QTextEdit (rich text view, Kvado's TSRichEdit included)  nothing: the
//                             session log keeps its lines
//   QAction                   text
//   otherwise, "publishes Caption / Text": a class that declares a Qt property
//     "Caption" (Kvado's own controls), or QLabel, QAbstractButton (push
//     button, check box, radio button, tool button), QGroupBox (title) takes
//     one group as its caption; then a class that declares a property "Text",
//     or QLineEdit, takes one group as its text. Tree and list views
//     (QAbstractItemView, also the site manager's tree: its node texts never
//     change) and plain QWidgets take nothing.
// List rule (a list with at least one entry): entry 0 takes the current group;
// while the next group is a ditto group and entries remain, the next entry
// takes it; when at least one entry was taken, the entries left over become
// empty. Continuation rule: while the current group is a ditto group, a take
// can succeed and elements remain, element 0, 1, ... takes it.
// Hint rule, for every QWidget and QAction (a QMenu through its menu action):
// when the component took no group, its own group is passed over; then a
// following hint group is taken and, when its text is not empty, becomes the
// hint: the Qt property "Hint" when the class declares one (Kvado's flat tool
// button), otherwise the tool tip. A component that takes nothing and has no
// hint only passes over its own group, so the walk always moves on. The
// data-aware controls of the original class table have no counterpart here.
//
// SetLanguages(M) from N: M < 2 shows "You have to provide at least 2
// languages." (OK) and changes nothing; M < N asks (Yes/No) before removing
// the texts of languages M..N-1 of every group, switching to language 0 first
// when the active language goes away (a vetoed switch keeps everything);
// M > N adds M - N texts "?" to every group. A DefaultLanguage no longer below
// M becomes 0, so a fallback never reads past its group.
//
// Use: a window creates its table with itself as owner after building its
// components, calls LoadWords("ML<n>") and SetActiveLanguage(0), then switches
// to the user's language (settings Jezik - 1) in its creation or activation.
//
// Every message box goes through AskUser, which shows a modal QMessageBox by
// default; tests replace it. Main-thread only.
#include <QMessageBox>
#include <QObject>
#include <QStringList>

#include <functional>

class TMultiLang : public QObject {
    Q_OBJECT
public:
    using TBeforeLanguageChangeEvent =
        std::function<void(TMultiLang* sender, quint8 newLanguage, bool& allowIt)>;
    using TLanguageChangedEvent = std::function<void(TMultiLang* sender, quint8 newLanguage)>;
    using TAskUser = std::function<QMessageBox::StandardButton(QMessageBox::Icon icon, const QString& text,
                                                               QMessageBox::StandardButtons buttons)>;

    // The table belongs to owner, the window whose components it writes.
    explicit TMultiLang(QWidget* owner);

    quint8 Languages() const { return m_languages; }
    void SetLanguages(quint8 count);
    quint8 ActiveLanguage() const { return m_activeLanguage; }
    void SetActiveLanguage(quint8 language);
    quint8 DefaultLanguage() const { return m_defaultLanguage; }
    void SetDefaultLanguage(quint8 language);
    bool DefaultEnabled() const { return m_defaultEnabled; }
    void SetDefaultEnabled(bool enabled);
    const QStringList& Words() const { return m_words; }
    void SetWords(const QStringList& words) { m_words = words; }

    // Fills Words from the word-table resource of that name (LoadWordTable).
    void LoadWords(const QString& tableName);

    QString GetWord(const QString& key) const;

    TBeforeLanguageChangeEvent BeforeLanguageChange;
    TLanguageChangedEvent AfterLanguageChanged;
    TAskUser AskUser;

private:
    QWidget* owner() const;
    void switchTo(quint8 language);
    QString takeLine(int groupStart) const;

    quint8 m_languages = 2;
    quint8 m_activeLanguage = 0;
    quint8 m_defaultLanguage = 0;
    bool m_defaultEnabled = false;
    QStringList m_words;
};
