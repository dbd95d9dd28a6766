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
// - Deleting(item) for every row that is removed, before it goes. Clear()
//   first takes every row out of the list (Count() is then 0 and the rows'
//   Index() -1), then calls Deleting for each, then frees them; rows added from
//   inside Deleting stay in the list.
// - Inserted(item) for every row added.
// Hooks may call anything, Clear() included. A row freed by a hook is never
// touched again: Add returns nullptr when a hook cleared the list, and a caption
// or image change that a hook cleared away is dropped (ClearCount() tells
// callers that hold rows across a hook whether the rows are gone).
//
// A row made from a directory entry keeps the entry's name and directory as the
// file system holds them (NameBytes, DirectoryBytes). The caption is only for
// showing: a name that is not valid UTF-8 cannot be told apart from another by
// its caption, so anything that acts on the file must use PathBytes().
#include <QAbstractTableModel>
#include <QByteArray>
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

    // The entry's name and its directory (ending in "/") in the file system's bytes; empty for a
    // row that was not made from an entry.
    const QByteArray& NameBytes() const { return m_nameBytes; }
    const QByteArray& DirectoryBytes() const { return m_directoryBytes; }
    // The exact path of the entry: what callers that open, rename or delete the file must use.
    QByteArray PathBytes() const { return m_directoryBytes + m_nameBytes; }

    void* Data = nullptr; // free for the owner of the list
    // The entry's times in seconds since the epoch, for sorting the date columns by time, not by text.
    std::int64_t ModifiedTime = 0;
    std::int64_t LastAccessTime = 0;

private:
    friend class TListItems;
    TListItem(TListItems* owner, int index, QString caption, QByteArray directoryBytes, QByteArray nameBytes)
        : m_owner(owner), m_index(index), m_caption(std::move(caption)),
          m_directoryBytes(std::move(directoryBytes)), m_nameBytes(std::move(nameBytes))
    {
    }
    bool ChangeAllowed(TItemChange change);

    TListItems* m_owner;
    int m_index;
    QString m_caption;
    QByteArray m_directoryBytes;
    QByteArray m_nameBytes;
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
    // Adds a row and raises Inserted; nullptr when Inserted cleared the list (the row is gone).
    TListItem* Add(const QString& caption, QByteArray directoryBytes = {}, QByteArray nameBytes = {});
    void Clear();
    // Counts the calls of Clear().
    std::uint64_t ClearCount() const { return m_clearCount; }
    void BeginUpdate() { ++m_updateDepth; }
    void EndUpdate();
    void Flush();

    // Reorders the rows by a comparison of row indices (negative: first before second).
    // Selection and the current row follow their rows.
    void Sort(const std::function<int(int first, int second)>& compare);

    // Replaces the columns. With the same number of columns the views keep their rows, selection
    // and current row (only the headers and texts are announced as changed).
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
    bool IsAnnounced(const TListItem* item) const
    {
        return item->m_index >= 0 && item->m_index < m_announced;
    }
    void RowChanged(TListItem* item, TItemChange change);

    std::vector<std::unique_ptr<TListItem>> m_items;
    int m_announced = 0; // rows the views know of; the rest are pending
    int m_updateDepth = 0;
    std::uint64_t m_clearCount = 0;
    std::vector<TListColumn> m_columns;
    bool m_readOnly = true;
    const std::vector<QIcon>* m_icons = nullptr;
    QPointer<QItemSelectionModel> m_selection;
};
