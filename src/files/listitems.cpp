#include "files/listitems.h"

#include <QItemSelectionModel>

#include <algorithm>
#include <numeric>

namespace {

// Control characters (a newline in a file name) are drawn as their visible
// symbols so that a row stays one line high, and invisible format controls
// (direction overrides and marks, C1 controls) as a visible symbol so that a
// name cannot pose as another ("invoice<RLO>txt.exe" as "invoiceexe.txt").
// The caption itself is unchanged.
constexpr char16_t HiddenControlSymbol = 0x2426;

bool IsHiddenControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

QString DisplayText(const QString& text)
{
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return IsHiddenControl(c.unicode()); }))
        return text;
    QString shown = text;
    for (QChar& c : shown) {
        const char16_t code = c.unicode();
        if (code < 0x20)
            c = QChar(0x2400 + code);
        else if (code == 0x7F)
            c = QChar(0x2421);
        else if (IsHiddenControl(code))
            c = QChar(HiddenControlSymbol);
    }
    return shown;
}

} // namespace

bool TListItem::ChangeAllowed(TItemChange change)
{
    if (!m_owner->Changing)
        return true;
    TListItems* owner = m_owner;
    const std::uint64_t clears = owner->m_clearCount;
    // When the hook cleared the list this row is gone: it must not be touched.
    return owner->Changing(this, change) && owner->m_clearCount == clears;
}

void TListItem::SetCaption(const QString& caption)
{
    if (caption == m_caption || !ChangeAllowed(ctText))
        return;
    m_caption = caption;
    m_owner->RowChanged(this, ctText);
}

void TListItem::SetSubItems(QStringList subItems)
{
    m_subItems = std::move(subItems);
    if (m_owner->IsAnnounced(this)) {
        emit m_owner->dataChanged(m_owner->index(m_index, 1),
                                  m_owner->index(m_index, std::max(1, m_owner->columnCount() - 1)));
    }
}

void TListItem::SetImageIndex(int imageIndex)
{
    if (imageIndex == m_imageIndex || !ChangeAllowed(ctImage))
        return;
    m_imageIndex = imageIndex;
    m_owner->RowChanged(this, ctImage);
}

bool TListItem::Selected() const
{
    return m_owner->m_selection && m_owner->IsAnnounced(this) &&
           m_owner->m_selection->isRowSelected(m_index, QModelIndex());
}

void TListItem::SetSelected(bool selected)
{
    if (!m_owner->m_selection || m_index < 0)
        return;
    m_owner->Flush();
    const auto command =
        (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) | QItemSelectionModel::Rows;
    m_owner->m_selection->select(m_owner->index(m_index, 0), command);
}

TListItems::TListItems(QObject* parent) : QAbstractTableModel(parent) {}

TListItems::~TListItems() = default;

TListItem* TListItems::Add(const QString& caption, QByteArray directoryBytes, QByteArray nameBytes)
{
    m_items.push_back(std::unique_ptr<TListItem>(
        new TListItem(this, Count(), caption, std::move(directoryBytes), std::move(nameBytes))));
    TListItem* item = m_items.back().get();
    if (m_updateDepth == 0)
        Flush();
    if (Inserted) {
        const std::uint64_t clears = m_clearCount;
        Inserted(item);
        if (m_clearCount != clears)
            return nullptr;
    }
    return item;
}

void TListItems::Flush()
{
    if (m_announced == Count())
        return;
    beginInsertRows(QModelIndex(), m_announced, Count() - 1);
    m_announced = Count();
    endInsertRows();
}

void TListItems::EndUpdate()
{
    if (m_updateDepth > 0 && --m_updateDepth == 0)
        Flush();
}

void TListItems::Clear()
{
    // The rows leave the list before any hook runs, so a hook that adds or clears works on the new list.
    ++m_clearCount;
    beginResetModel();
    std::vector<std::unique_ptr<TListItem>> removed = std::move(m_items);
    m_items.clear();
    m_announced = 0;
    endResetModel();
    for (const auto& item : removed)
        item->m_index = -1;
    if (Deleting) {
        for (const auto& item : removed)
            Deleting(item.get());
    }
}

void TListItems::Sort(const std::function<int(int, int)>& compare)
{
    Flush();
    std::vector<int> order(m_items.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(a, b) < 0; });

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOf(order.size());
    std::vector<std::unique_ptr<TListItem>> sorted(order.size());
    for (std::size_t row = 0; row < order.size(); ++row) {
        newRowOf[static_cast<std::size_t>(order[row])] = static_cast<int>(row);
        sorted[row] = std::move(m_items[static_cast<std::size_t>(order[row])]);
        sorted[row]->m_index = static_cast<int>(row);
    }
    m_items = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before)
        after.append(index(newRowOf[static_cast<std::size_t>(old.row())], old.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TListItems::SetColumns(std::vector<TListColumn> columns)
{
    if (columns.size() != m_columns.size()) {
        beginResetModel();
        m_columns = std::move(columns);
        endResetModel();
        return;
    }
    m_columns = std::move(columns);
    const int last = columnCount() - 1;
    emit headerDataChanged(Qt::Horizontal, 0, last);
    if (m_announced > 0)
        emit dataChanged(index(0, 0), index(m_announced - 1, last));
}

void TListItems::RowChanged(TListItem* item, TItemChange change)
{
    if (IsAnnounced(item))
        emit dataChanged(index(item->m_index, 0), index(item->m_index, 0));
    if (Changed)
        Changed(item, change);
}

int TListItems::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_announced;
}

int TListItems::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : std::max<int>(1, static_cast<int>(m_columns.size()));
}

QVariant TListItems::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_announced)
        return {};
    const TListItem& item = *m_items[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        if (column == 0)
            return DisplayText(item.m_caption);
        if (column - 1 < item.m_subItems.size())
            return DisplayText(item.m_subItems.at(column - 1));
        return {};
    case Qt::EditRole:
        return column == 0 ? QVariant(item.m_caption) : QVariant();
    case Qt::DecorationRole:
        if (column == 0 && m_icons && item.m_imageIndex >= 0 &&
            item.m_imageIndex < static_cast<int>(m_icons->size()))
            return m_icons->at(static_cast<std::size_t>(item.m_imageIndex));
        return {};
    case Qt::TextAlignmentRole:
        if (column < static_cast<int>(m_columns.size()))
            return QVariant::fromValue(m_columns[static_cast<std::size_t>(column)].Alignment |
                                       Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

bool TListItems::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() != 0 || index.row() >= m_announced)
        return false;
    TListItem* item = m_items[static_cast<std::size_t>(index.row())].get();
    QString text = value.toString();
    const std::uint64_t clears = m_clearCount;
    if (Edited && (!Edited(item, text) || m_clearCount != clears))
        return false;
    item->SetCaption(text);
    return true;
}

QVariant TListItems::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= static_cast<int>(m_columns.size()))
        return {};
    const TListColumn& column = m_columns[static_cast<std::size_t>(section)];
    if (role == Qt::DisplayRole)
        return column.Caption;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(column.Alignment | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags TListItems::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0 && !m_readOnly)
        flags |= Qt::ItemIsEditable;
    return flags;
}
