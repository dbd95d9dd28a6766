#pragma once
// TFileListView: a list control of files with the desktop's icons and file
// drop from other programs. One set of rows (Items(), a TListItems model) is
// shown in four view styles: vsIcon (large icons), vsSmallIcon (small icons in
// rows), vsList (small icons in columns) and vsReport (a table with column
// headers). All styles share the rows, the selection and the current row.
//
// Events (UI thread; the sender is this control). An exception that escapes a
// handler raised by a user action or a Qt signal (mouse, keys, focus, drop,
// editing, selection, header click, OnDeletion) is handed to ReportException;
// one that escapes a handler raised inside a call of the owner (AddFile,
// Items().Add, SetCaption, SetImageIndex) propagates to that caller.
// - OnInsert(item) for every added row; OnDeletion(item) for every removed row,
//   before it goes (Items().Clear() raises it once per row, after the rows have
//   left the list). A handler that clears the list (Items().Clear(), or a
//   reload of a TFileList) from OnInsert or OnChanging makes the call that
//   raised it (AddFile, Items().Add) return nullptr: that row is gone.
// - OnChanging(item, change, allow) before a caption or image changes (allow
//   false keeps the old value); OnChange(item, change) after it, and with
//   ctState once per row whose selection changed.
// - OnEditing(item, allowEdit) when an in-place edit of a caption is about to
//   begin (ReadOnly false; a click on a selected row or F2); OnEdited(item, text)
//   when it is accepted, before the caption changes; text may be changed. Then
//   OnChanging/OnChange(ctText) follow.
// - OnMouseDown, OnMouseMove, OnMouseUp with client coordinates of this control;
//   OnClick after a left button release, OnDblClick on a left double click.
// - OnKeyDown(key, modifiers) for every key press (setting key to 0 swallows it),
//   then OnKeyPress(char) when the key gives a character (Enter "\r",
//   Backspace "\b"; setting it to 0 swallows it); OnKeyUp on release.
// - OnEnter/OnExit when the keyboard focus comes into the control or leaves it
//   (not when it moves into the caption editor or with the whole window).
// - OnColumnClick(column) after a click on a report column header (ColumnClick on).
// - OnFileDrop(files, x, y) after local files were dropped from another program
//   while AcceptFiles is on: the full paths in the order the drag gave them and
//   the drop point in client coordinates; no sender. It is raised from the event
//   loop once the drop has ended, so the dragging program is not kept waiting.
//   A drop is accepted only as a copy: a drag that offers only Move (whose
//   source would delete the originals) is refused.
//
// Rows keep the entry's exact name and directory bytes (TListItem::PathBytes);
// callers that act on files must use those, not the caption.
// Any method of the control may be called from inside a handler; to destroy the
// control from one of these handlers use deleteLater().
//
// Standard properties without an own setter here (font, colours, border,
// visibility, tab order, hints, alignment in the parent) are the QWidget ones.
#include "files/listitems.h"
#include "widgets/events.h"

#include <QWidget>

#include <functional>

class QListView;
class QMenu;
class QStackedLayout;
class QTreeView;

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

class TFileListView : public QWidget {
    Q_OBJECT
public:
    using TLVChangeEvent = std::function<void(TFileListView* sender, TListItem* item, TItemChange change)>;
    using TLVChangingEvent =
        std::function<void(TFileListView* sender, TListItem* item, TItemChange change, bool& allowChange)>;
    using TLVColumnClickEvent = std::function<void(TFileListView* sender, int column)>;
    using TLVCompareEvent =
        std::function<void(TFileListView* sender, TListItem* item1, TListItem* item2, int& compare)>;
    using TLVDeletedEvent = std::function<void(TFileListView* sender, TListItem* item)>;
    using TLVEditedEvent = std::function<void(TFileListView* sender, TListItem* item, QString& text)>;
    using TLVEditingEvent = std::function<void(TFileListView* sender, TListItem* item, bool& allowEdit)>;
    using TMouseMoveEvent =
        std::function<void(TFileListView* sender, Qt::KeyboardModifiers shift, int x, int y)>;
    using TKeyEvent = std::function<void(TFileListView* sender, int& key, Qt::KeyboardModifiers shift)>;
    using TKeyPressEvent = std::function<void(TFileListView* sender, QChar& key)>;
    using TFileDropEvent = std::function<void(const QStringList& files, int x, int y)>;

    explicit TFileListView(QWidget* parent = nullptr);
    ~TFileListView() override;

    // Adds a row with the display name and icon of the entry at path; returns it (nullptr when
    // an OnInsert or OnChanging handler cleared the list meanwhile).
    virtual TListItem* AddFile(const QString& path);

    TListItems& Items() { return *m_items; }
    const TListItems& Items() const { return *m_items; }

    // The first selected row in list order, or nullptr.
    TListItem* Selected() const;
    // The number of selected rows (kept as the selection changes, so asking costs nothing).
    int SelCount() const { return m_selCount; }
    // The selected rows in list order.
    std::vector<TListItem*> SelectedItems() const;
    void SelectAll();
    // Starts an in-place edit of the row's caption (as F2 would).
    void EditCaption(TListItem* item);

    // Sorts the rows with OnCompare, or by caption when it is not assigned.
    void AlphaSort();

    bool AcceptFiles() const { return m_acceptFiles; }
    void SetAcceptFiles(bool accept);
    TViewStyle ViewStyle() const { return m_viewStyle; }
    virtual void SetViewStyle(TViewStyle style);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly);
    bool MultiSelect() const { return m_multiSelect; }
    void SetMultiSelect(bool multiSelect);
    bool ShowColumnHeaders() const { return m_showColumnHeaders; }
    void SetShowColumnHeaders(bool show);
    bool ColumnClick() const { return m_columnClick; }
    void SetColumnClick(bool clickable);
    bool HideSelection() const { return m_hideSelection; }
    void SetHideSelection(bool hide);
    QMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(QMenu* menu) { m_popupMenu = menu; }

    TFileDropEvent OnFileDrop;
    TNotifyEventOf<TFileListView> OnClick;
    TNotifyEventOf<TFileListView> OnDblClick;
    TLVChangeEvent OnChange;
    TLVChangingEvent OnChanging;
    TLVColumnClickEvent OnColumnClick;
    TLVCompareEvent OnCompare;
    TLVDeletedEvent OnDeletion;
    TLVEditedEvent OnEdited;
    TLVEditingEvent OnEditing;
    TLVDeletedEvent OnInsert;
    TNotifyEventOf<TFileListView> OnEnter;
    TNotifyEventOf<TFileListView> OnExit;
    TMouseEventOf<TFileListView> OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEventOf<TFileListView> OnMouseUp;
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;

    // The widget that shows the current view style (for tests and the gallery).
    QWidget* CurrentView() const;
    // The table of the report style, also while another style is shown (to measure its columns).
    QTreeView* ReportView() const;

protected:
    // Adds a row for the entry name in directory (bytes, ending in "/") with the icon of its type,
    // without looking at the disk; nullptr when a handler cleared the list meanwhile.
    TListItem* AddRow(const QByteArray& directory, const QByteArray& name, bool isDirectory);
    // Replaces the list columns (column 0 holds the captions).
    void SetColumns(std::vector<TListColumn> columns);
    // A click on the header of this column; the default raises OnColumnClick.
    virtual void ColumnClicked(int column);
    // Suspends or resumes redrawing of every view.
    void SetRedraw(bool redraw);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class TReportView;
    class TIconView;

    void ConnectItemHooks();
    void ApplyColumnWidths();
    void SetIconCell(QSize grid);
    void ApplySelectionPalette();
    bool BeginEdit(const QModelIndex& index);
    bool HandleDrop(QWidget* viewport, QEvent* event);
    void FocusMoved(bool in);
    void ForwardThenFire(QObject* viewport, QEvent* event, const TNotifyEventOf<TFileListView>& handler);
    bool HandleKey(QEvent* event);
    void SelectionChanged(const class QItemSelection& selected, const class QItemSelection& deselected);

    TListItems* m_items;
    TReportView* m_report;
    TIconView* m_icons;
    QStackedLayout* m_stack;
    QMenu* m_popupMenu = nullptr;
    TViewStyle m_viewStyle = vsIcon;
    bool m_acceptFiles = false;
    bool m_readOnly = false;
    bool m_multiSelect = false;
    bool m_showColumnHeaders = true;
    bool m_columnClick = true;
    bool m_hideSelection = true;
    bool m_focusInside = false; // between OnEnter and OnExit
    int m_selCount = 0;
};
