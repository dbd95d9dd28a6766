#include "app/remotepane.h"

#include <QApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QStyle>

#include <algorithm>
#include <numeric>

namespace {
const int kColumnWidths[TRemoteModel::kColumns] = {160, 71, 70, 250, 120};
const char* const kCaptions[2][TRemoteModel::kColumns] = {
    {"Ime", "Velikost", "Atributi", "Opis", "Datum"}, {"Name", "Size", "Attributes", "Description", "Date"}};

QStringList captionsOf(int language)
{
    QStringList captions;
    for (const char* caption : kCaptions[language])
        captions << QString::fromUtf8(caption);
    return captions;
}

int compareValues(qint64 first, qint64 second)
{
    return first < second ? -1 : (first > second ? 1 : 0);
}
} // namespace

TRemoteModel::TRemoteModel(QObject* parent) : QAbstractTableModel(parent)
{
    SetCaptions(captionsOf(0));
    QStyle* style = QApplication::style();
    m_icons[ekParent] = style->standardIcon(QStyle::SP_FileDialogToParent);
    m_icons[ekDirectory] = style->standardIcon(QStyle::SP_DirIcon);
    m_icons[ekFile] = style->standardIcon(QStyle::SP_FileIcon);
}

void TRemoteModel::Show(const TRemoteListing& table)
{
    beginResetModel();
    m_table = &table;
    m_rows = table.Count();
    m_typed.clear();
    buildOrder();
    endResetModel();
}

void TRemoteModel::Clear()
{
    beginResetModel();
    m_rows = 0;
    m_typed.clear();
    m_order.clear();
    m_rowOf.clear();
    endResetModel();
}

void TRemoteModel::SetCaptions(const QStringList& captions)
{
    m_captions = captions;
    emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
}

QString TRemoteModel::RowCaption(int entry) const
{
    if (const auto typed = m_typed.constFind(entry); typed != m_typed.cend()) {
        return *typed;
    }
    if (m_table == nullptr || entry < 0 || entry >= m_rows || entry >= m_table->Count()) {
        return {};
    }
    return m_table->At(entry).name;
}

int TRemoteModel::EntryOfRow(int row) const
{
    if (row < 0 || row >= m_rows) {
        return -1;
    }
    return m_order.empty() ? row : m_order[std::size_t(row)];
}

int TRemoteModel::RowOfEntry(int entry) const
{
    if (entry < 0 || entry >= m_rows) {
        return -1;
    }
    return m_rowOf.empty() ? entry : m_rowOf[std::size_t(entry)];
}

void TRemoteModel::SortBy(int column)
{
    if (column < 0 || column >= kColumns) {
        return;
    }
    m_descending = column == m_sortColumn && !m_descending;
    m_sortColumn = column;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> entries;
    entries.reserve(std::size_t(before.size()));
    for (const QModelIndex& index : before) {
        entries.push_back(EntryOfRow(index.row()));
    }
    buildOrder();
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        after.append(index(RowOfEntry(entries[std::size_t(i)]), before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TRemoteModel::buildOrder()
{
    m_order.clear();
    m_rowOf.clear();
    if (m_sortColumn < 0 || m_table == nullptr || m_rows > m_table->Count()) {
        return;
    }
    const TRemoteListing& table = *m_table;
    const int column = m_sortColumn;
    const bool descending = m_descending;
    const auto compareNames = [&table](int a, int b) {
        return table.Name(a).compare(table.Name(b), Qt::CaseInsensitive);
    };
    const auto before = [&](int a, int b) {
        // Folders first in both directions; the kind values order them so.
        if (table.Kind(a) != table.Kind(b)) {
            return table.Kind(a) < table.Kind(b);
        }
        int result = 0;
        switch (column) {
        case 1:
            result = compareValues(table.Size(a), table.Size(b));
            break;
        case 2:
            result = table.Attributes(a).compare(table.Attributes(b), Qt::CaseInsensitive);
            break;
        case kDateColumn:
            result = compareValues(table.Modified(a), table.Modified(b));
            break;
        default:
            break;
        }
        if (result == 0) {
            result = compareNames(a, b);
        }
        if (result != 0) {
            return descending ? result > 0 : result < 0;
        }
        return a < b; // equal keys stay in listing order
    };
    m_order.resize(std::size_t(m_rows));
    std::iota(m_order.begin(), m_order.end(), 0);
    // Entry 0 is the parent entry: it stays on top.
    if (m_rows > 1) {
        std::sort(m_order.begin() + 1, m_order.end(), before);
    }
    m_rowOf.resize(m_order.size());
    for (std::size_t row = 0; row < m_order.size(); ++row) {
        m_rowOf[std::size_t(m_order[row])] = int(row);
    }
}

QString TRemoteModel::dateText(int entry) const
{
    const TRemoteEntry listed = m_table->At(entry);
    if (listed.modified < 0) {
        return {};
    }
    QDateTime time = QDateTime::fromSecsSinceEpoch(listed.modified, Qt::UTC);
    if (listed.modifiedUtc) {
        time = time.toLocalTime();
    }
    const QLocale locale = QLocale::system();
    if (listed.modifiedDayOnly) {
        return locale.toString(time.date(), QLocale::ShortFormat);
    }
    return locale.toString(time, QLocale::ShortFormat);
}

int TRemoteModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int TRemoteModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant TRemoteModel::data(const QModelIndex& index, int role) const
{
    const int entry = EntryOfRow(index.row());
    if (m_table == nullptr || entry < 0 || entry >= m_table->Count()) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (index.column()) {
        case 0:
            return RowCaption(entry);
        case 1:
            return m_table->At(entry).sizeText;
        case 2:
            return m_table->At(entry).attributes;
        case kDateColumn:
            return dateText(entry);
        default:
            return {};
        }
    case Qt::DecorationRole:
        if (index.column() == 0) {
            const int kind = m_table->Kind(entry);
            return m_icons[kind <= ekFile ? kind : ekFile];
        }
        return {};
    case Qt::TextAlignmentRole:
        return index.column() == 1 || index.column() == 2 ? int(Qt::AlignRight | Qt::AlignVCenter)
                                                          : int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

bool TRemoteModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const int entry = EntryOfRow(index.row());
    if (role != Qt::EditRole || index.column() != 0 || entry < 0) {
        return false;
    }
    const QString text = value.toString();
    if (text == RowCaption(entry)) {
        return false;
    }
    m_typed.insert(entry, text);
    emit dataChanged(index, index);
    if (OnEdited) {
        OnEdited(entry);
    }
    return true;
}

Qt::ItemFlags TRemoteModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == 0 && EntryOfRow(index.row()) > 0) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

QVariant TRemoteModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_captions.size()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return m_captions.at(section);
    }
    if (role == Qt::TextAlignmentRole) {
        return section == 1 || section == 2 ? int(Qt::AlignRight | Qt::AlignVCenter)
                                            : int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

TRemotePane::TRemotePane(QWidget* parent) : QTreeView(parent), m_model(this)
{
    setObjectName(QStringLiteral("FTPDat1"));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true); // rows of one height keep a long listing fluid
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::SelectedClicked);
    setAllColumnsShowFocus(true);
    setMouseTracking(true);
    setModel(&m_model);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false); // listing order until a header is clicked
    header()->setStretchLastSection(false);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(13);
    setFont(font);
    fitColumns();
    m_model.OnEdited = [this](int) { fire(OnEdited); };
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { fire(OnSelectionChanged); });
    connect(header(), &QHeaderView::sectionResized, this, [this] { fire(OnColumnResized); });
    connect(header(), &QHeaderView::sectionClicked, this, [this](int column) { SortBy(column); });
}

void TRemotePane::fire(const std::function<void()>& event)
{
    if (event) {
        event();
    }
}

void TRemotePane::Show(const TRemoteListing& table)
{
    m_model.Show(table);
    fire(OnSelectionChanged);
}

void TRemotePane::SortBy(int column)
{
    m_model.SortBy(column);
    header()->setSortIndicatorShown(m_model.SortColumn() >= 0);
    header()->setSortIndicator(m_model.SortColumn(),
                               m_model.SortDescending() ? Qt::DescendingOrder : Qt::AscendingOrder);
    scrollTo(currentIndex());
}

void TRemotePane::Clear()
{
    m_model.Clear();
    fire(OnSelectionChanged);
}

void TRemotePane::SetLanguage(int language)
{
    if (language == 0 || language == 1) {
        m_model.SetCaptions(captionsOf(language));
    }
}

int TRemotePane::FocusedRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? m_model.EntryOfRow(current.row()) : -1;
}

std::vector<int> TRemotePane::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.push_back(m_model.EntryOfRow(index.row()));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TRemotePane::SetRowSelected(int entry, bool selected)
{
    const int row = m_model.RowOfEntry(entry);
    if (row < 0) {
        return;
    }
    selectionModel()->select(m_model.index(row, 0),
                             (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                 QItemSelectionModel::Rows);
}

void TRemotePane::SelectAllButParent()
{
    const int rows = m_model.rowCount();
    if (rows < 2) {
        return;
    }
    // One range, not one call per row: a long listing is selected at once.
    const QItemSelection all(m_model.index(1, 0), m_model.index(rows - 1, m_model.columnCount() - 1));
    selectionModel()->select(all, QItemSelectionModel::ClearAndSelect);
}

void TRemotePane::SetBusyCursor(bool busy)
{
    if (busy) {
        viewport()->setCursor(Qt::BusyCursor);
    } else {
        viewport()->unsetCursor();
    }
}

void TRemotePane::keyPressEvent(QKeyEvent* event)
{
    if (state() != QAbstractItemView::EditingState) {
        if (event->key() == Qt::Key_Backspace && event->modifiers() == Qt::NoModifier) {
            fire(OnBackspace);
            return;
        }
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
            (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            fire(OnActivate);
            return;
        }
        if (event->matches(QKeySequence::SelectAll) || event->key() == Qt::Key_F2) {
            event->ignore();
            return;
        }
    }
    QTreeView::keyPressEvent(event);
}

void TRemotePane::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The base handling also cancels a pending slow-click edit.
    const bool onRow = event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid();
    QTreeView::mouseDoubleClickEvent(event);
    if (onRow) {
        fire(OnActivate);
    }
}

void TRemotePane::fitColumns()
{
    // "drwxr-xr-x" measured against what it takes in the designed 13-pixel font (about 64 pixels).
    const double scale = qMax(1.0, fontMetrics().horizontalAdvance(QStringLiteral("drwxr-xr-x")) / 64.0);
    for (int column = 0; column < TRemoteModel::kColumns; ++column) {
        setColumnWidth(column, int(kColumnWidths[column] * scale));
    }
}

void TRemotePane::changeEvent(QEvent* event)
{
    QTreeView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        fitColumns();
    }
}

void TRemotePane::mouseMoveEvent(QMouseEvent* event)
{
    QTreeView::mouseMoveEvent(event);
    fire(OnColumnResized);
}
