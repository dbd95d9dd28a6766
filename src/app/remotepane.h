#pragma once
// TRemotePane: the remote list FTPDat1, a report view over the engine's
// remote listing table. The model reads the table in place; it never copies
// it, so a listing of 100,000 entries costs no widget per row.
//
// Rows and entries: the rows show the table's entries in listing order (row k
// = entry k) until the user clicks a column header; then they are sorted by
// that column (a second click on it reverses): folders before files in both
// directions, ".." always on top, names and attributes compared without regard
// to case, sizes as numbers, dates as times, equal keys by name and then in
// listing order. The order is kept for the next listings until another header
// is clicked. Sorting builds a permutation of row numbers (n log n), never
// touching the table. Every method and event of TRemotePane that names a row
// (FocusedRow, SelectedRows, SetRowSelected, RowCaption, OnEdited) speaks in
// table entries, so the engine addresses the entries whatever the order;
// EntryOfRow and RowOfEntry translate for code that works with view rows.
//
// Contract:
// - Show(table) makes the pane show every entry of that table until Clear()
//   or the next Show(); the table must outlive that period (the engine owns it).
//   Rows beyond the table's current Count() read as empty, so a table the
//   engine is refilling is never read out of range.
// - In-place rename: a slow second click on a name edits it; when the edit is
//   accepted with a changed text the pane shows the typed caption at once
//   (RowCaption answers it) and then fires OnEdited. The next Show() drops
//   the typed captions.
// - Events fire synchronously from the view's own event handling:
//   OnSelectionChanged after the selection changed, OnActivate on a
//   double-click or Enter, OnBackspace on Backspace, OnColumnResized when a
//   column's width changed or the mouse moved over the list. Handlers may
//   call any method of the pane, Show and Clear included.
// - Columns: name, size, attributes, description (never filled) and the
//   modification date in the short format of the interface's
//   language (the default QLocale): a time the
//   listing gave in UTC (machine listing) is converted to local time, a
//   server's wall-clock time is shown as listed, a day without a time shows
//   the date alone, an entry without a date shows nothing.
// - The columns start at their designed widths (160, 71, 70, 250, 120 for a 13-pixel
//   font), widen in proportion to a larger font, and are never narrower than
//   their caption, a 10-digit size with separators, "drwxrwxrwx" or a date in
//   the interface's language; a switch of language widens them again. The
//   user may resize them.
// - Ctrl+A is never handled by the view itself (the window's "select all"
//   leaves the ".." row out), and F2 does not start an edit (it refreshes).
#include "ftp/remotelisting.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QTreeView>

#include <functional>
#include <vector>

class TRemoteModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TRemoteModel(QObject* parent = nullptr);

    static constexpr int kColumns = 5;
    static constexpr int kDescriptionColumn = 3; // never filled
    static constexpr int kDateColumn = 4;

    void Show(const TRemoteListing& table);
    void Clear();
    void SetCaptions(const QStringList& captions);
    // The caption of an entry as shown: the typed one after an in-place edit, else the table's name.
    QString RowCaption(int entry) const;
    // Sorts the rows by column (0 to kColumns - 1), reversing when it is already the sort column.
    void SortBy(int column);
    int SortColumn() const { return m_sortColumn; } // -1: listing order
    bool SortDescending() const { return m_descending; }
    // The table entry a row shows and the row that shows an entry (-1 when out of range).
    int EntryOfRow(int row) const;
    int RowOfEntry(int entry) const;

    std::function<void(int entry)> OnEdited;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    // The permutation for the sort column and direction over the table as it is now.
    void buildOrder();
    QString dateText(int entry) const;

    const TRemoteListing* m_table = nullptr;
    int m_rows = 0;
    QHash<int, QString> m_typed;  // captions typed in place, by entry
    std::vector<int> m_order;     // row → entry; empty in listing order
    std::vector<int> m_rowOf;     // entry → row; empty in listing order
    std::vector<int> m_nameRanks; // entry → rank of its name without regard to case; built at the first sort
    int m_sortColumn = -1;
    bool m_descending = false;
    QStringList m_captions;
    QIcon m_icons[3]; // parent, directory, file
};

class TRemotePane : public QTreeView {
    Q_OBJECT
public:
    explicit TRemotePane(QWidget* parent = nullptr);

    void Show(const TRemoteListing& table);
    void Clear();
    // Column captions: 0 Slovenian, 1 English (any other value keeps them).
    void SetLanguage(int language);

    // The width that shows every column, the frame and a vertical scroll bar.
    int ColumnsWidth() const;

    // Rows and entries are as many.
    int RowCount() const { return m_model.rowCount(); }
    int FocusedRow() const;                // the focused entry, -1 when none
    std::vector<int> SelectedRows() const; // the selected entries, in table order
    void SetRowSelected(int entry, bool selected);
    void SelectAllButParent();
    void FocusEntry(int entry); // current and the only one selected
    QString RowCaption(int entry) const { return m_model.RowCaption(entry); }
    void SetBusyCursor(bool busy);
    // As a click on the column's header.
    void SortBy(int column);
    int EntryOfRow(int row) const { return m_model.EntryOfRow(row); }
    int RowOfEntry(int entry) const { return m_model.RowOfEntry(entry); }

    std::function<void()> OnSelectionChanged;
    std::function<void()> OnActivate;
    std::function<void()> OnBackspace;
    std::function<void()> OnEdited;
    std::function<void()> OnColumnResized;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    static void fire(const std::function<void()>& event);
    // The designed column widths, widened in proportion when the font is larger than the designed one.
    void fitColumns();   // designed widths for the font, then widened
    void widenColumns(); // each column at least as wide as its caption and widest texts
    TRemoteModel m_model;
};
