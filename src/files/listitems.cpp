#include "files/listitems.h"

#include <QItemSelectionModel>

#include <algorithm>
#include <numeric>

namespace {

// Control characters (a newline in a file name) are drawn as their visible
// symbols so that a row stays one line high; the caption itself is unchanged.
QString DisplayText(const QString& text)
{
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20; }))
        return text;
    QString shown = text;
    for (QChar& c : shown) {
        if (c.unicode() < 0x20)
            c = QChar(0x2400 + c.unicode());
    }
    return shown;
}

} // namespace

void TListItem::SetCaption(const QString& caption)
{
    if (caption == m_caption)
        return;
    if (m_owner->Changing && !m_owner->Changing(this, ctText))
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
    if (imageIndex == m_imageIndex)
        return;
    if (m_owner->Changing && !m_owner->Changing(this, ctImage))
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
    if (!m_owner->m_selection)
        return;
    m_owner->Flush();
    const auto command =
        (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) | QItemSelectionModel::Rows;
    m_owner->m_selection->select(m_owner->index(m_index, 0), command);
}

TListItems::TListItems(QObject* parent) : QAbstractTableModel(parent) {}

TListItems::~TListItems() = default;

TListItem* TListItems::Add(const QString& caption)
{
    m_items.push_back(std::unique_ptr<TListItem>(new TListItem(this, Count(), caption)));
    TListItem* item = m_items.back().get();
    if (m_updateDepth == 0)
        Flush();
    if (Inserted)
        Inserted(item);
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
    if (Deleting) {
        for (const auto& item : m_items)
            Deleting(item.get());
    }
    beginResetModel();
    m_items.clear();
    m_announced = 0;
    endResetModel();
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
    beginResetModel();
    m_columns = std::move(columns);
    endResetModel();
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
    if (Edited && !Edited(item, text))
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
