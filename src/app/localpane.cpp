#include "app/localpane.h"

#include "app/localpanedelete.h"
#include "app/localpanefs.h"
#include "app/prompts.h"
#include "core/exception.h"
#include "core/utf8kept.h"
#include "files/drivecombobox.h"
#include "files/filelist.h"
#include "files/folderwatch.h"
#include "widgets/wallpaper.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSet>
#include <QTreeView>
#include <algorithm>

namespace {

constexpr int BarHeight = 21;
constexpr int DriveWidth = 150;
// Failures listed one per line in a report; the rest are counted.
constexpr int ReportedFailures = 10;

const QString WarningTitle = QStringLiteral("Kvado opozorilo!");
const QString DeleteTitle = QStringLiteral("Kvado - Izbriši lokalno");

QString FailureReport(const QString& heading, const QStringList& failures)
{
    QStringList lines = failures.mid(0, ReportedFailures);
    if (failures.size() > ReportedFailures)
        lines.append(QStringLiteral("... in še %1").arg(failures.size() - ReportedFailures));
    return heading.isEmpty() ? lines.join(QLatin1Char('\n'))
                             : heading + QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
}

// "~" and "~/..." name the home folder, as in a shell.
QString ExpandHome(const QString& path)
{
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        return QDir::homePath() + path.mid(1);
    return path;
}

// The last name of a directory ending in "/" ("" for "/").
QByteArray LastName(const QByteArray& directory)
{
    const QByteArray trimmed = directory.left(directory.size() - 1);
    return trimmed.mid(trimmed.lastIndexOf('/') + 1);
}

} // namespace

TLocalPane::TLocalPane(TPrompts& prompts, QWidget* parent)
    : QWidget(parent), m_prompts(prompts), m_bar(new TWallpaper(this)), m_drive(new TDriveComboBox(m_bar)),
      m_list(new TFileList(this)), m_path(new QLineEdit(m_bar)), m_watch(new TFolderWatch(this))
{
    setObjectName(QStringLiteral("ScrollBox1"));
    m_bar->setObjectName(QStringLiteral("Wallpaper1"));
    m_drive->setObjectName(QStringLiteral("Medij1"));
    m_list->setObjectName(QStringLiteral("LokalneDat1"));
    m_drive->setToolTip(QStringLiteral("Izberi lokalno enoto"));
    m_list->setToolTip(QStringLiteral("Lokalne mape in datoteke"));
    m_path->setObjectName(QStringLiteral("LokalnaPot"));
    m_path->setToolTip(QStringLiteral("Pot lokalne mape"));
    for (QWidget* control :
         {static_cast<QWidget*>(m_drive), static_cast<QWidget*>(m_list), static_cast<QWidget*>(m_path)}) {
        control->setAccessibleName(control->toolTip());
        control->installEventFilter(this);
    }

    m_list->SetReadOnly(false);
    m_list->SetMultiSelect(true);
    m_list->SetAcceptFiles(false);
    m_list->SetViewStyle(vsReport);
    m_list->SetDisplayParentDir(false);
    // "*.*" would hide every name without a dot (README, Makefile, programs): "*" is every file.
    m_list->SetMask(QStringLiteral("*"));
    m_list->SetViewColumns({fiName, fiSize, fiType, fiModified, fiAttributes});

    OpenUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    ConnectList();
}

TLocalPane::~TLocalPane() = default;

void TLocalPane::ConnectList()
{
    m_list->OnKeyDown = [this](TFileListView*, int& key, Qt::KeyboardModifiers modifiers) {
        // Keys the caption editor passes on (its Enter) are the editor's, not the list's.
        const QWidget* inner = m_list->CurrentView()->focusWidget();
        if (inner && inner != m_list->CurrentView() && inner->isVisible())
            return;
        switch (key) {
        case Qt::Key_Backspace:
            key = 0;
            GoUp();
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            key = 0;
            Odpri();
            break;
        case Qt::Key_Delete:
            if (modifiers & Qt::ShiftModifier) {
                key = 0;
                DeleteForGood();
            }
            break;
        case Qt::Key_F2: // the window's "refresh local", never the list's caption editing
            key = 0;
            break;
        case Qt::Key_A: // select all is the window's command
            if (modifiers & Qt::ControlModifier)
                key = 0;
            break;
        default:
            break;
        }
    };
    m_list->OnDblClick = [this](TFileListView*) { Odpri(); };
    m_list->OnClick = [this](TFileListView*) { NoteSelectionChange(); };
    m_list->OnChange = [this](TFileListView*, TListItem*, TItemChange) { NoteSelectionChange(); };
    m_list->OnEdited = [this](TFileListView*, TListItem* item, QString& text) { Renamed(item, text); };
    m_drive->OnChange = [this](TDriveComboBox*) { Medij1Change(); };
    connect(m_path, &QLineEdit::returnPressed, this, [this] { GoToTypedPath(); });
    m_watch->OnChanged = [this](TFolderWatch*) { FollowDisk(); };
    // A column the user drags (or double-clicks) to a width keeps it.
    connect(m_list->ReportView()->header(), &QHeaderView::sectionResized, this, [this](int column) {
        if (QApplication::mouseButtons() != Qt::NoButton)
            m_userSized.insert(m_list->KindOfColumn(column));
    });
}

void TLocalPane::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Placed by hand: a layout would give the pane the selector's width as its minimum.
    const int barHeight = std::max({BarHeight, m_drive->sizeHint().height(), m_path->sizeHint().height()});
    m_bar->setGeometry(0, 0, width(), barHeight);
    m_drive->setGeometry(0, 0, DriveWidth, barHeight);
    m_path->setGeometry(DriveWidth + 2, 0, std::max(0, width() - DriveWidth - 2), barHeight);
    m_list->setGeometry(0, barHeight, width(), std::max(0, height() - barHeight));
}

bool TLocalPane::eventFilter(QObject* watched, QEvent* event)
{
    // The accessible name follows the hint, which the language switch rewrites.
    if (watched == m_path && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        m_path->setText(Directory());
        return true;
    }
    if (event->type() == QEvent::ToolTipChange &&
        (watched == m_drive || watched == m_list || watched == m_path)) {
        auto* control = static_cast<QWidget*>(watched);
        control->setAccessibleName(control->toolTip());
    }
    return QWidget::eventFilter(watched, event);
}

void TLocalPane::Start(const QString& lokMapa)
{
    if (ChangeDirectory(QFile::encodeName(lokMapa)) != 0)
        ChangeDirectory(QFile::encodeName(QDir::homePath()));
    ShowCurrentDirectory();
}

void TLocalPane::ShowCurrentDirectory()
{
    QByteArray directory = CurrentDirectory();
    if (directory.isEmpty()) {
        // The folder was removed from under us: the nearest folder above it that still exists.
        QByteArray up = m_directory;
        while (directory.isEmpty() && up.size() > 1) {
            up.chop(1);
            up.truncate(up.lastIndexOf('/') + 1);
            if (!up.isEmpty() && ChangeDirectory(up) == 0)
                directory = CurrentDirectory();
        }
        for (const QByteArray& fallback : {QFile::encodeName(QDir::homePath()), QByteArray("/")}) {
            if (directory.isEmpty() && ChangeDirectory(fallback) == 0)
                directory = CurrentDirectory();
        }
    }
    m_directory = directory.isEmpty() ? QByteArray("/") : directory;
    m_drive->SelectDriveOf(QFile::decodeName(m_directory));
    m_path->setText(Directory());
    m_watch->SetFolder(Directory());
    m_watch->Hold(true);
    m_list->SetDirectoryBytes(m_directory);
    m_watch->Hold(false);
    WidenToRows();
    NoteSelectionChange();
}

void TLocalPane::Refresh()
{
    ShowCurrentDirectory();
}

void TLocalPane::ChangeTo(const QByteArray& path)
{
    if (const int error = ChangeDirectory(path))
        m_prompts.ErrorBox(IoErrorText(error));
    ShowCurrentDirectory();
}

int TLocalPane::SetView(int style)
{
    static constexpr TViewStyle Styles[] = {vsIcon, vsSmallIcon, vsList, vsReport};
    const int value = style >= 1 && style <= 4 ? style : 4;
    m_list->SetViewStyle(Styles[value - 1]);
    m_viewStyle = value;
    return value;
}

void TLocalPane::SetLanguage(int language)
{
    static const QStringList Captions[] = {
        {QStringLiteral("Ime"), QStringLiteral("Velikost"), QStringLiteral("Vrsta"),
         QStringLiteral("Spremenjen"), QStringLiteral("Atributi")},
        {QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Type"), QStringLiteral("Modified"),
         QStringLiteral("Attributes")},
    };
    if (language == 0 || language == 1) {
        const QStringList& captions = Captions[language];
        const TFileInfo kinds[] = {fiName, fiSize, fiType, fiModified, fiAttributes};
        for (int i = 0; i < 5; ++i)
            m_list->SetColumnCaption(kinds[i], captions[i]);
        m_path->setToolTip(language == 0 ? QStringLiteral("Pot lokalne mape")
                                         : QStringLiteral("Local folder path"));
        m_list->SetColumnWidth(fiSize, 85);
    }
    m_list->BuildColumns();
}

bool TLocalPane::IsDirectoryRow(const TListItem* item) const
{
    // "DR" (a folder the user may not write to) is a folder too.
    const int attributes = m_list->ColumnOf(fiAttributes) - 1;
    return attributes >= 0 && item->SubItems().value(attributes).contains(QLatin1Char('D'));
}

void TLocalPane::Odpri()
{
    const TListItem* item = m_list->Selected();
    if (!item)
        return;
    const QByteArray path = item->PathBytes();
    if (IsDirectoryRow(item)) {
        ChangeTo(path);
        return;
    }
    // A file from a server is untrusted: whatever the opener would run counts as having no program.
    if (IsProgramFile(path) || !OpenUrl || !OpenUrl(LocalFileUrl(path)))
        m_prompts.MessageBox(QStringLiteral("Dokument nima asociacije z nobenim programom."), WarningTitle,
                             miExclamation, mbOk);
}

void TLocalPane::Razii1Click()
{
    const TListItem* item = m_list->Selected();
    if (!item)
        return;
    const QByteArray path = item->PathBytes();
    if (!IsProgramFile(path) && OpenUrl)
        OpenUrl(LocalFileUrl(path));
}

void TLocalPane::GoUp()
{
    const QByteArray child = LastName(m_directory);
    ChangeTo(QByteArrayLiteral(".."));
    SelectRow(child);
}

void TLocalPane::Medij1Change()
{
    ChangeTo(QFile::encodeName(m_drive->Drive()));
}

void TLocalPane::GoToTypedPath()
{
    const QString typed = m_path->text().trimmed();
    if (typed.isEmpty() || ChangeDirectory(QFile::encodeName(ExpandHome(typed))) != 0) {
        // The typed text stays, so that a typo can be mended.
        m_prompts.MessageBox(QStringLiteral("Vnešena mapa ne obstaja!"), QStringLiteral("Kvado - Napaka"),
                             miExclamation, mbOk);
        return;
    }
    ShowCurrentDirectory();
    m_list->setFocus();
}

void TLocalPane::FollowDisk()
{
    auto* view = qobject_cast<QAbstractItemView*>(m_list->CurrentView());
    const QWidget* inner = view != nullptr ? view->focusWidget() : nullptr;
    if (inner != nullptr && inner != view && inner->isVisible()) {
        m_watch->Hold(true); // a caption is being edited: read the folder once the editor has closed
        m_watch->NoteChange();
        connect(
            view->itemDelegate(), &QAbstractItemDelegate::closeEditor, m_watch,
            [this] { m_watch->Hold(false); }, Qt::SingleShotConnection);
        return;
    }
    QSet<QByteArray> selected;
    for (const TListItem* item : m_list->SelectedItems())
        selected.insert(item->NameBytes());
    const QModelIndex current = m_list->Items().SelectionModel()->currentIndex();
    const QByteArray focused =
        current.isValid() ? m_list->Items().Item(current.row())->NameBytes() : QByteArray();
    ShowCurrentDirectory();
    TListItems& rows = m_list->Items();
    rows.Flush();
    for (int i = 0; i < rows.Count(); ++i) {
        TListItem* item = rows.Item(i);
        if (selected.contains(item->NameBytes()))
            item->SetSelected(true);
        if (!focused.isEmpty() && item->NameBytes() == focused)
            rows.SelectionModel()->setCurrentIndex(rows.index(i, 0), QItemSelectionModel::NoUpdate);
    }
}

void TLocalPane::Pla2SkociClick()
{
    for (;;) {
        QString path = QFile::decodeName(m_directory);
        if (path.size() > 1)
            path.chop(1);
        if (!m_prompts.InputBox(QStringLiteral("Kvado - Spremeni lokalno mapo"),
                                QStringLiteral("Vnesi pot lokalne mape"), path))
            return;
        if (ChangeDirectory(QFile::encodeName(ExpandHome(path))) == 0)
            break;
        m_prompts.MessageBox(QStringLiteral("Vnešena mapa ne obstaja!"), QStringLiteral("Kvado - Napaka"),
                             miError, mbOk);
    }
    ShowCurrentDirectory();
}

void TLocalPane::Pla2UsiMapoClick()
{
    QString name = QStringLiteral("Nova mapa");
    if (!m_prompts.InputBox(QStringLiteral("Kvado - Ustvari lokalno mapo"), QStringLiteral("Vnesi ime mape"),
                            name))
        return;
    if (name.isEmpty() || HasControlCharacters(name)) {
        m_prompts.MessageBox(
            QStringLiteral("Ime mape ne sme biti prazno in ne sme vsebovati kontrolnih znakov."),
            WarningTitle, miExclamation, mbOk);
        return;
    }
    const QByteArray bytes = QFile::encodeName(name);
    if (const int error = MakeDirectory(bytes))
        m_prompts.ErrorBox(IoErrorText(error));
    ShowCurrentDirectory();
    SelectRow(bytes);
}

void TLocalPane::Pla2IzberiVseClick()
{
    m_list->SelectAll();
}

void TLocalPane::Pla2IzbrisiClick()
{
    Delete(true);
}

void TLocalPane::DeleteForGood()
{
    Delete(false);
}

void TLocalPane::Delete(bool toTrash)
{
    // The rows may be read again while the question is open: take their paths first.
    std::vector<QByteArray> paths;
    for (const TListItem* item : m_list->SelectedItems())
        paths.push_back(item->PathBytes());
    if (paths.empty())
        return;
    const QString question =
        toTrash ? QStringLiteral("Premaknem izbrane predmete (%1) v Koš?")
                : QStringLiteral("Izbrane predmete (%1) izbrišem za vedno? Tega ni mogoče razveljaviti.");
    if (m_prompts.MessageBox(question.arg(paths.size()), DeleteTitle, miQuestion, mbYesNo) != mrYes)
        return;
    auto* job = new TLocalPaneDelete(std::move(paths), toTrash, this);
    job->OnDone = [this, toTrash](TLocalPaneDelete* sender, const QStringList& failures) {
        --m_runningDeletes;
        Refresh();
        if (!failures.isEmpty()) {
            const QString heading =
                toTrash ? QStringLiteral("Premik v Koš ni uspel; nič ni izbrisano za vedno.") : QString();
            m_prompts.ErrorBox(FailureReport(heading, failures));
        }
        sender->deleteLater();
    };
    ++m_runningDeletes;
    job->Start();
}

void TLocalPane::StartRename()
{
    const QModelIndex current = m_list->Items().SelectionModel()->currentIndex();
    TListItem* item = current.isValid() ? m_list->Items().Item(current.row()) : m_list->Selected();
    if (item)
        m_list->EditCaption(item);
}

void TLocalPane::Renamed(TListItem* item, QString& text)
{
    if (text == item->Caption())
        return;
    QString refusal;
    QString failure;
    QByteArray shown = QFile::encodeName(text);
    if (!IsValidEntryName(text)) {
        refusal = QStringLiteral("Ime ne sme biti prazno, \".\" ali \"..\" in ne sme vsebovati \"/\" ali "
                                 "kontrolnih znakov.");
    } else if (const int error = RenameNoReplace(item->PathBytes(), item->DirectoryBytes() + shown)) {
        if (error == EEXIST)
            refusal = QStringLiteral("Datoteka ali mapa \"%1\" že obstaja.").arg(text);
        else
            failure = IoErrorText(error);
    }
    if (!refusal.isEmpty() || !failure.isEmpty()) {
        text = item->Caption();
        shown = item->NameBytes();
    }
    // The row keeps the bytes of its old name: it is read again once the editor has closed, and
    // only then may a modal message run.
    QMetaObject::invokeMethod(
        this,
        [this, refusal, failure, shown] {
            Refresh();
            SelectRow(shown);
            if (!refusal.isEmpty())
                m_prompts.MessageBox(refusal, WarningTitle, miExclamation, mbOk);
            if (!failure.isEmpty())
                m_prompts.ErrorBox(failure);
        },
        Qt::QueuedConnection);
}

void TLocalPane::SelectRow(const QByteArray& name)
{
    TListItems& rows = m_list->Items();
    for (int i = 0; i < rows.Count(); ++i) {
        if (rows.Item(i)->NameBytes() != name)
            continue;
        rows.Flush();
        const QModelIndex index = rows.index(i, 0);
        rows.SelectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
        if (auto* view = qobject_cast<QAbstractItemView*>(m_list->CurrentView()))
            view->scrollTo(index);
        return;
    }
}

int TLocalPane::SelectedCount() const
{
    return m_list->SelCount();
}

void TLocalPane::NoteSelectionChange()
{
    if (m_countPending)
        return;
    m_countPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_countPending = false;
            const int count = SelectedCount();
            if (count == m_lastCount)
                return;
            m_lastCount = count;
            FireEvent(OnSelectionCountChanged, this, count);
        },
        Qt::QueuedConnection);
}

QString TLocalPane::Directory() const
{
    return QFile::decodeName(m_directory);
}

bool TLocalPane::HasFocusedEntry() const
{
    return m_list->Items().SelectionModel()->currentIndex().isValid();
}

std::vector<TLokalniVnos> TLocalPane::SelectedEntries() const
{
    std::vector<TLokalniVnos> entries;
    for (const TListItem* item : m_list->SelectedItems())
        entries.push_back({item->Caption(), item->SubItems().value(0).trimmed()});
    return entries;
}

QStringList TLocalPane::SelectedPaths() const
{
    QStringList paths;
    for (const TListItem* item : m_list->SelectedItems())
        paths.append(FromUtf8Kept(item->PathBytes()));
    return paths;
}

bool TLocalPane::SelectionHasFolder() const
{
    const std::vector<TListItem*> items = m_list->SelectedItems();
    return std::any_of(items.begin(), items.end(),
                       [this](const TListItem* item) { return IsDirectoryRow(item); });
}

QString TLocalPane::FolderOfRow(int row) const
{
    if (row < 0 || row >= m_list->Items().Count() || !IsDirectoryRow(m_list->Items().Item(row)))
        return {};
    return FromUtf8Kept(m_list->Items().Item(row)->PathBytes());
}

void TLocalPane::Deselect(const QString& caption)
{
    TListItems& rows = m_list->Items();
    auto find = [&]() -> TListItem* {
        TListItem* item =
            m_rowsByCaptionClears == rows.ClearCount() ? m_rowsByCaption.value(caption) : nullptr;
        return item && item->Caption() == caption ? item : nullptr;
    };
    TListItem* item = find();
    if (!item) {
        // Rows were read again, added or renamed since the index was made.
        m_rowsByCaption.clear();
        for (int i = rows.Count() - 1; i >= 0; --i)
            m_rowsByCaption.insert(rows.Item(i)->Caption(), rows.Item(i));
        m_rowsByCaptionClears = rows.ClearCount();
        item = find();
    }
    if (item)
        item->SetSelected(false);
}
