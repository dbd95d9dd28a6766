#include "files/filelist.h"

#include "files/directoryreader.h"
#include "files/shellinfo.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QPointer>
#include <QRegularExpression>
#include <QScopeGuard>

#include <sys/stat.h>

namespace {

struct TColumnEntry {
    QString Caption;
    int Width;
    Qt::Alignment Alignment;
};

// The column table shared by every file list, indexed by TFileInfo.
std::array<TColumnEntry, fiAll>& ColumnTable()
{
    static std::array<TColumnEntry, fiAll> table{{
        {QStringLiteral("Name"), 150, Qt::AlignLeft},
        {QStringLiteral("Size"), 60, Qt::AlignRight},
        {QStringLiteral("Type"), 130, Qt::AlignLeft},
        {QStringLiteral("Modified"), 100, Qt::AlignLeft},
        {QStringLiteral("Created"), 100, Qt::AlignLeft},
        {QStringLiteral("Last Access"), 85, Qt::AlignLeft},
        {QStringLiteral("Attributes"), 60, Qt::AlignLeft},
        {QStringLiteral("Dos Name"), 130, Qt::AlignLeft},
        {QStringLiteral("Dos Ext"), 60, Qt::AlignLeft},
        {QStringLiteral("Path"), 200, Qt::AlignLeft},
    }};
    return table;
}

// Pending user interface events are processed at most this often while a directory is read.
constexpr int EventSliceMs = 10;

bool IsRoot(const QByteArray& directory)
{
    return !directory.isEmpty() &&
           std::all_of(directory.begin(), directory.end(), [](char c) { return c == '/'; });
}

bool IsExistingDirectory(const QByteArray& path)
{
    struct stat st;
    return !path.isEmpty() && stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QString SizeText(std::int64_t size)
{
    return QString::number(size).rightJustified(10, QLatin1Char(' '));
}

QString WithoutSeconds(QString format)
{
    static const QRegularExpression seconds(QStringLiteral("[:.]?s+(\\.z+)?"));
    return format.remove(seconds).trimmed();
}

bool IsDateColumn(TFileInfo kind)
{
    return kind == fiModified || kind == fiCreated || kind == fiLastAccess;
}

} // namespace

TFileList::TFileList(QWidget* parent) : TFileListView(parent)
{
    m_patterns.Add(QStringLiteral("*.*"));
    m_columnOf.fill(-1);
    BuildColumns();
}

void TFileList::BuildColumns()
{
    const auto& table = ColumnTable();
    std::vector<TListColumn> columns;
    m_columnOf.fill(-1);
    m_kindOfColumn.clear();
    auto add = [&](TFileInfo kind, int width) {
        m_columnOf[kind] = static_cast<int>(columns.size());
        m_kindOfColumn.push_back(kind);
        columns.push_back(TListColumn{table[kind].Caption, width, table[kind].Alignment});
    };
    add(fiName, IsShown(fiName) ? table[fiName].Width : 0);
    add(fiSize, IsShown(fiSize) ? table[fiSize].Width : 0);
    for (int kind = fiType; kind <= fiPath; ++kind) {
        if (IsShown(static_cast<TFileInfo>(kind)))
            add(static_cast<TFileInfo>(kind), table[kind].Width);
    }
    SetColumns(std::move(columns));
}

void TFileList::SetColumnCaption(TFileInfo kind, const QString& caption)
{
    if (kind >= fiName && kind < fiAll)
        ColumnTable()[kind].Caption = caption;
}

void TFileList::SetColumnWidth(TFileInfo kind, int width)
{
    if (kind < fiName || kind >= fiAll || ColumnTable()[kind].Width == width)
        return;
    ColumnTable()[kind].Width = width;
    BuildColumns();
}

TFileInfo TFileList::KindOfColumn(int column) const
{
    if (column < 0 || column >= static_cast<int>(m_kindOfColumn.size()))
        return fiAll;
    return m_kindOfColumn[static_cast<std::size_t>(column)];
}

void TFileList::SetDirectory(const QString& directories)
{
    m_directories.Clear();
    m_directoryBytes.clear();
    const QByteArray whole = QFile::encodeName(directories);
    if (directories.contains(QLatin1Char(';')) && IsExistingDirectory(whole)) {
        AddDirectory(whole);
    } else {
        for (const QString& piece : directories.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            AddDirectory(QFile::encodeName(piece));
    }
    Reload();
}

void TFileList::SetDirectoryBytes(const QByteArray& directory)
{
    m_directories.Clear();
    m_directoryBytes.clear();
    if (!directory.isEmpty())
        AddDirectory(directory);
    Reload();
}

void TFileList::AddDirectory(const QByteArray& directory)
{
    const QByteArray bytes = directory.endsWith('/') ? directory : directory + '/';
    const QString shown = QFile::decodeName(bytes);
    if (m_directories.Add(shown))
        m_directoryBytes.insert(shown, bytes);
}

void TFileList::SetFileTypes(TFileTypes types)
{
    if (types == m_fileTypes)
        return;
    m_fileTypes = types;
    Reload();
}

void TFileList::SetDisplayDirectory(bool display)
{
    if (display == m_displayDirectory)
        return;
    m_displayDirectory = display;
    Reload();
}

void TFileList::SetDisplayParentDir(bool display)
{
    if (display == m_displayParentDir)
        return;
    m_displayParentDir = display;
    if (m_displayDirectory)
        Reload();
}

void TFileList::SetMask(const QString& mask)
{
    SetMaskPatterns(m_patterns, mask);
    Reload();
}

void TFileList::SetSortColumn(TFileInfo kind)
{
    if (kind < fiName || kind >= fiAll || !IsShown(kind))
        return;
    if (kind == m_sortColumn)
        m_descending = !m_descending;
    m_sortColumn = kind;
    if (EffectiveStyle() == vsReport)
        SortRows();
}

void TFileList::SetViewColumns(TFileInfos columns)
{
    if (columns == m_viewColumns)
        return;
    m_viewColumns = columns;
    BuildColumns();
    if (EffectiveStyle() == vsReport)
        Reload();
}

void TFileList::SetViewStyle(TViewStyle style)
{
    if (m_reloadDepth > 0)
        m_styleBeforeReload = style;
    else
        TFileListView::SetViewStyle(style);
}

void TFileList::ColumnClicked(int column)
{
    SetSortColumn(KindOfColumn(column));
    TFileListView::ColumnClicked(column);
}

TListItem* TFileList::AddFile(const QString& path)
{
    TListItem* item = TFileListView::AddFile(path);
    TFindData data;
    if (!item || !ReadFindData(item->PathBytes(), data))
        return item;
    const QString directory = QFile::decodeName(item->DirectoryBytes());
    FillDetails(item, directory, data);
    if (OnFileAdd)
        OnFileAdd(this, item, directory, data);
    return item;
}

void TFileList::Reload()
{
    const std::uint64_t generation = ++m_reloadGeneration;
    const bool outermost = m_reloadDepth == 0;
    QPointer<TFileList> alive(this);
    if (outermost) {
        m_styleBeforeReload = ViewStyle();
        SetRedraw(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        TFileListView::SetViewStyle(vsList);
    }
    ++m_reloadDepth;
    Items().BeginUpdate();
    auto finish = qScopeGuard([&] {
        if (alive) {
            --m_reloadDepth;
            Items().EndUpdate();
            if (generation == m_reloadGeneration)
                SortRows();
            if (outermost) {
                TFileListView::SetViewStyle(m_styleBeforeReload);
                SetRedraw(true);
            }
        }
        if (outermost)
            QApplication::restoreOverrideCursor();
    });

    Items().Clear();
    const QLocale locale; // the default locale: the interface's language
    m_dateFormat = locale.dateFormat(QLocale::ShortFormat);
    m_timeFormat = WithoutSeconds(locale.timeFormat(QLocale::ShortFormat));
    m_timeTexts.clear();

    QList<QByteArray> directories; // a handler may change the list
    for (const QString& directory : m_directories.Strings())
        directories.append(m_directoryBytes.value(directory));
    for (const QByteArray& directory : directories) {
        if (!ScanDirectory(directory, generation))
            return;
        Items().Flush();
        QCoreApplication::processEvents();
        if (!alive || generation != m_reloadGeneration)
            return;
    }
}

bool TFileList::ScanDirectory(const QByteArray& directory, std::uint64_t generation)
{
    QPointer<TFileList> alive(this);
    TDirectoryReader reader(directory);
    const bool inRoot = IsRoot(directory);
    QElapsedTimer slice;
    slice.start();
    TFindData data;
    bool described = false;
    while (reader.Next(data, described)) {
        AddEntry(directory, data, described, inRoot);
        if (!alive || generation != m_reloadGeneration)
            return false; // an OnFileAdd handler reloaded or destroyed the list
        if (slice.elapsed() >= EventSliceMs) {
            Items().Flush();
            QCoreApplication::processEvents();
            if (!alive || generation != m_reloadGeneration)
                return false;
            slice.restart();
        }
    }
    return true;
}

void TFileList::AddEntry(const QByteArray& directory, const TFindData& data, bool described, bool inRoot)
{
    if (!PassesAttributeFilter(data.Attributes, m_fileTypes))
        return;
    // "." and ".." go by their names: without a description they would look like files.
    const bool isDot = IsDotName(data.Name);
    const bool isDirectory = isDot || data.IsDirectory();
    if (isDirectory) {
        if (data.Name == "." || !m_displayDirectory)
            return;
        if (isDot && (!m_displayParentDir || inRoot))
            return;
    } else if (!MatchesMask(m_patterns, QFile::decodeName(data.Name))) {
        return;
    }
    TListItem* item = AddRow(directory, data.Name, isDirectory);
    if (!item || !described)
        return; // cleared by a handler, or not described: name and icon only
    const QString shownDirectory = QFile::decodeName(directory);
    FillDetails(item, shownDirectory, data);
    if (OnFileAdd)
        OnFileAdd(this, item, shownDirectory, data);
}

void TFileList::FillDetails(TListItem* item, const QString& directory, const TFindData& data)
{
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(m_kindOfColumn.size()) - 1);
    texts.append(data.IsDirectory() ? QString() : SizeText(data.Size));
    for (std::size_t column = 2; column < m_kindOfColumn.size(); ++column) {
        switch (m_kindOfColumn[column]) {
        case fiType:
            texts.append(ShellInfoFor(item->Caption(), data.IsDirectory()).TypeText);
            break;
        case fiModified:
            texts.append(TimeText(data.LastWriteTime));
            break;
        case fiLastAccess:
            texts.append(TimeText(data.LastAccessTime));
            break;
        case fiAttributes:
            texts.append(AttributeLetters(data.Attributes));
            break;
        case fiPath:
            texts.append(directory);
            break;
        default:
            texts.append(QString());
            break;
        }
    }
    item->ModifiedTime = data.LastWriteTime;
    item->LastAccessTime = data.LastAccessTime;
    item->SetSubItems(std::move(texts));
}

QString TFileList::TimeText(std::int64_t seconds)
{
    // Texts show whole minutes, and a local time offset changes only at whole minutes.
    const std::int64_t minute = seconds >= 0 ? seconds / 60 : (seconds - 59) / 60;
    auto found = m_timeTexts.constFind(minute);
    if (found != m_timeTexts.constEnd())
        return found.value();
    const QDateTime time = QDateTime::fromSecsSinceEpoch(minute * 60).toLocalTime();
    const QLocale locale;
    const QString text = locale.toString(time.date(), m_dateFormat) + QStringLiteral("  ") +
                         locale.toString(time.time(), m_timeFormat);
    m_timeTexts.insert(minute, text);
    return text;
}

void TFileList::SortRows()
{
    TListItems& items = Items();
    const int count = items.Count();
    const int column = m_columnOf[m_sortColumn];
    const bool byTime = column >= 1 && (m_sortColumn == fiModified || m_sortColumn == fiLastAccess);
    // Sizes as numbers: their right-aligned texts misorder sizes of more than ten digits.
    const bool bySize = column >= 1 && m_sortColumn == fiSize;
    std::vector<QString> captions(static_cast<std::size_t>(count));
    std::vector<QString> keys(column >= 1 && !byTime && !bySize ? static_cast<std::size_t>(count) : 0);
    std::vector<std::int64_t> numbers(byTime || bySize ? static_cast<std::size_t>(count) : 0);
    // 0 for "..", 1 for other directories, 2 for files: ".." on top, then directories, in both directions.
    std::vector<char> rank(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const TListItem* item = items.Item(i);
        const auto at = static_cast<std::size_t>(i);
        captions[at] = item->Caption().toUpper();
        const bool isDirectory = item->SubItems().value(0).isEmpty();
        rank[at] = !isDirectory ? 2 : (item->Caption() == QLatin1String("..") ? 0 : 1);
        if (!keys.empty())
            keys[at] = item->SubItems().value(column - 1).toUpper();
        else if (bySize)
            numbers[at] = item->SubItems().value(column - 1).trimmed().toLongLong();
        else if (byTime)
            numbers[at] = m_sortColumn == fiModified ? item->ModifiedTime : item->LastAccessTime;
    }
    const bool reverse = m_descending != IsDateColumn(m_sortColumn);
    items.Sort([&](int a, int b) {
        const auto first = static_cast<std::size_t>(a);
        const auto second = static_cast<std::size_t>(b);
        if (rank[first] != rank[second])
            return rank[first] < rank[second] ? -1 : 1;
        int result = 0;
        if (!numbers.empty())
            result = numbers[first] < numbers[second] ? -1 : (numbers[first] > numbers[second] ? 1 : 0);
        else if (!keys.empty())
            result = keys[first].compare(keys[second]);
        if (result == 0)
            result = captions[first].compare(captions[second]);
        return reverse ? -result : result;
    });
}
