#pragma once
// TRemotePane: the remote list FTPDat1, a report view over the engine's
// remote listing table. The model reads the table in place (row k = entry k);
// it never copies it, so a listing of 100,000 entries costs no widget per row.
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
// - The columns start at their designed widths (160, 71, 70, 250 for a 13-pixel
//   font) and widen in proportion to a larger font, so sizes and attributes
//   stay readable; the user may resize them.
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

    void Show(const TRemoteListing& table);
    void Clear();
    void SetCaptions(const QStringList& captions);
    // The caption of a row as shown: the typed one after an in-place edit, else the table's name.
    QString RowCaption(int row) const;

    std::function<void(int row)> OnEdited;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const TRemoteListing* m_table = nullptr;
    int m_rows = 0;
    QHash<int, QString> m_typed; // captions typed in place, by row
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

    int RowCount() const { return m_model.rowCount(); }
    int FocusedRow() const; // -1 when none
    std::vector<int> SelectedRows() const;
    void SetRowSelected(int row, bool selected);
    void SelectAllButParent();
    QString RowCaption(int row) const { return m_model.RowCaption(row); }
    void SetBusyCursor(bool busy);

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
    void fitColumns();
    TRemoteModel m_model;
};
