#include "app/remotepane.h"

#include "app/columnfit.h"

#include <QApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>
#include <numeric>
#include <string_view>

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

// The rank of each entry's text (text(entry)) among the texts of entries 1 to rows - 1, without
// regard to case: equal texts share a rank. The texts are case-folded into one buffer once, and
// each sort item carries its text's first four characters, so that most comparisons touch
// neither the table nor the buffer.
std::vector<int> textRanks(const TRemoteListing& table, int rows,
                           QStringView (TRemoteListing::*text)(int) const)
{
    std::vector<int> ranks(std::size_t(qMax(rows, 0)));
    if (rows < 2) {
        return ranks;
    }
    struct TItem {
        quint64 prefix; // the first four characters, one in each 16 bits, the first highest
        qsizetype start;
        quint32 length;
        int entry;
    };
    QString folded;
    std::vector<TItem> items;
    items.reserve(std::size_t(rows - 1));
    for (int entry = 1; entry < rows; ++entry) {
        const QStringView original = (table.*text)(entry);
        TItem item{0, folded.size(), quint32(original.size()), entry};
        for (qsizetype i = 0; i < original.size(); ++i) {
            const QChar ch = original[i].toCaseFolded();
            folded.append(ch);
            if (i < 4) {
                item.prefix |= quint64(ch.unicode()) << (48 - 16 * i);
            }
        }
        items.push_back(item);
    }
    const auto* const characters = reinterpret_cast<const char16_t*>(folded.constData());
    const auto view = [characters](const TItem& item) {
        return std::u16string_view(characters + item.start, item.length);
    };
    std::sort(items.begin(), items.end(), [&](const TItem& a, const TItem& b) {
        if (a.prefix != b.prefix) {
            return a.prefix < b.prefix;
        }
        const int result = view(a).compare(view(b));
        return result != 0 ? result < 0 : a.entry < b.entry;
    });
    int rank = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0 && (items[i - 1].prefix != items[i].prefix || view(items[i - 1]) != view(items[i]))) {
            ++rank;
        }
        ranks[std::size_t(items[i].entry)] = rank;
    }
    return ranks;
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
    m_nameRanks.clear();
    buildOrder();
    endResetModel();
}

void TRemoteModel::Clear()
{
    beginResetModel();
    m_rows = 0;
    m_typed.clear();
    m_nameRanks.clear();
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
    // After an in-place edit the engine renames the entry in the table when the server agrees,
    // so names are ranked afresh until the next listing.
    if (m_nameRanks.empty() || !m_typed.isEmpty()) {
        m_nameRanks = textRanks(table, m_rows, &TRemoteListing::Name);
    }
    // Every key is a number, so the sort compares no text: a million rows sort at once.
    const std::vector<int> attributeRanks =
        m_sortColumn == 2 ? textRanks(table, m_rows, &TRemoteListing::Attributes) : std::vector<int>();
    struct TKey {
        qint64 value;
        int name;
        int entry;
        quint8 kind;
    };
    std::vector<TKey> keys(std::size_t(m_rows > 0 ? m_rows - 1 : 0));
    for (int entry = 1; entry < m_rows; ++entry) {
        qint64 value = 0;
        switch (m_sortColumn) {
        case 1:
            value = table.Size(entry);
            break;
        case 2:
            value = attributeRanks[std::size_t(entry)];
            break;
        case kDateColumn:
            value = table.Modified(entry);
            break;
        default:
            break;
        }
        keys[std::size_t(entry - 1)] = {value, m_nameRanks[std::size_t(entry)], entry, table.Kind(entry)};
    }
    const bool descending = m_descending;
    std::sort(keys.begin(), keys.end(), [descending](const TKey& a, const TKey& b) {
        // Folders first in both directions (the kind values order them so); equal keys in listing order.
        if (a.kind != b.kind) {
            return a.kind < b.kind;
        }
        if (a.value != b.value) {
            return descending ? a.value > b.value : a.value < b.value;
        }
        if (a.name != b.name) {
            return descending ? a.name > b.name : a.name < b.name;
        }
        return a.entry < b.entry;
    });
    // Entry 0 is the parent entry: it stays on top.
    m_order.reserve(std::size_t(m_rows));
    m_order.push_back(0);
    for (const TKey& key : keys) {
        m_order.push_back(key.entry);
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
    const QLocale locale; // the interface's language (the window sets the default locale)
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
    // The selection is taken off during the sort and put back as runs of rows: the selection
    // model would otherwise follow every selected row of a long listing one by one.
    const std::vector<int> selected = SelectedRows();
    {
        const QSignalBlocker quiet(selectionModel());
        selectionModel()->clearSelection();
        m_model.SortBy(column);
        std::vector<int> rows;
        rows.reserve(selected.size());
        for (const int entry : selected) {
            rows.push_back(m_model.RowOfEntry(entry));
        }
        std::sort(rows.begin(), rows.end());
        QItemSelection runs;
        for (std::size_t first = 0; first < rows.size();) {
            std::size_t last = first;
            while (last + 1 < rows.size() && rows[last + 1] == rows[last] + 1) {
                ++last;
            }
            runs.append(QItemSelectionRange(m_model.index(rows[first], 0),
                                            m_model.index(rows[last], m_model.columnCount() - 1)));
            first = last + 1;
        }
        selectionModel()->select(runs, QItemSelectionModel::Select);
    }
    viewport()->update();
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
        widenColumns();
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

void TRemotePane::FocusEntry(int entry)
{
    const int row = m_model.RowOfEntry(entry);
    if (row >= 0) {
        selectionModel()->setCurrentIndex(m_model.index(row, 0),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
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
    widenColumns();
}

void TRemotePane::widenColumns()
{
    // The widest texts a column shows: a 10-digit size with its separators, a full attribute text, a date.
    const QStringList samples[TRemoteModel::kColumns] = {
        {}, {QStringLiteral("9,999,999,999")}, {QStringLiteral("drwxrwxrwx")}, {}, {WidestShortDateTime()}};
    for (int column = 0; column < TRemoteModel::kColumns; ++column) {
        setColumnWidth(column, FittedColumnWidth(*this, column, samples[column]));
    }
}

int TRemotePane::ColumnsWidth() const
{
    return header()->length() + 2 * frameWidth() +
           style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
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
