#pragma once
// The rows of a file list view: TListItem is one row (caption, sub-items,
// image), TListItems owns them in list order and serves them to the Qt views
// as a table model (column 0 the caption, column k + 1 sub-item k).
//
// Adding many rows: between BeginUpdate and EndUpdate new rows are kept
// pending and announced to the views in one batch at Flush or EndUpdate, so a
// view lays out once per batch, not once per row. Count() and Item() include
// pending rows.
//
// Hooks (set by the owning view, called on the UI thread):
// - Changing(item, change) before a caption or image changes; returning false
//   keeps the old value. Changed(item, change) after the change.
// - Edited(item, text) when an in-place edit is accepted; it may change text;
//   returning false drops the edit. The caption is then set through Changing/Changed.
// - Deleting(item) for every row that is removed, before it goes.
// - Inserted(item) for every row added.
#include <QAbstractTableModel>
#include <QIcon>
#include <QItemSelectionModel>
#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TListItems;

enum TItemChange { ctText, ctImage, ctState };

class TListItem {
public:
    const QString& Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    const QStringList& SubItems() const { return m_subItems; }
    void SetSubItems(QStringList subItems);
    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int imageIndex);
    int Index() const { return m_index; }
    bool Selected() const;
    void SetSelected(bool selected);
    TListItems* Owner() const { return m_owner; }

    void* Data = nullptr; // free for the owner of the list
    // The entry's times in seconds since the epoch, for sorting the date columns by time, not by text.
    std::int64_t ModifiedTime = 0;
    std::int64_t LastAccessTime = 0;

private:
    friend class TListItems;
    TListItem(TListItems* owner, int index, QString caption)
        : m_owner(owner), m_index(index), m_caption(std::move(caption))
    {
    }

    TListItems* m_owner;
    int m_index;
    QString m_caption;
    QStringList m_subItems;
    int m_imageIndex = -1;
};

struct TListColumn {
    QString Caption;
    int Width = 0;
    Qt::Alignment Alignment = Qt::AlignLeft;
};

class TListItems : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TListItems(QObject* parent = nullptr);
    ~TListItems() override;

    int Count() const { return static_cast<int>(m_items.size()); }
    TListItem* Item(int index) const { return m_items.at(static_cast<std::size_t>(index)).get(); }
    TListItem* Add(const QString& caption);
    void Clear();
    void BeginUpdate() { ++m_updateDepth; }
    void EndUpdate();
    void Flush();

    // Reorders the rows by a comparison of row indices (negative: first before second).
    // Selection and the current row follow their rows.
    void Sort(const std::function<int(int first, int second)>& compare);

    void SetColumns(std::vector<TListColumn> columns);
    const std::vector<TListColumn>& Columns() const { return m_columns; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    void SetIcons(const std::vector<QIcon>* icons) { m_icons = icons; }
    void SetSelectionModel(QItemSelectionModel* selection) { m_selection = selection; }
    QItemSelectionModel* SelectionModel() const { return m_selection; }

    std::function<bool(TListItem*, TItemChange)> Changing;
    std::function<void(TListItem*, TItemChange)> Changed;
    std::function<bool(TListItem*, QString& text)> Edited;
    std::function<void(TListItem*)> Deleting;
    std::function<void(TListItem*)> Inserted;

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    friend class TListItem;
    bool IsAnnounced(const TListItem* item) const { return item->m_index < m_announced; }
    void RowChanged(TListItem* item, TItemChange change);

    std::vector<std::unique_ptr<TListItem>> m_items;
    int m_announced = 0; // rows the views know of; the rest are pending
    int m_updateDepth = 0;
    std::vector<TListColumn> m_columns;
    bool m_readOnly = true;
    const std::vector<QIcon>* m_icons = nullptr;
    QPointer<QItemSelectionModel> m_selection;
};
