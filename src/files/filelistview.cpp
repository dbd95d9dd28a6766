#include "files/filelistview.h"

#include "core/exception.h"
#include "files/directoryreader.h"
#include "files/shellinfo.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QStackedLayout>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QUrl>

#include <algorithm>

namespace {

constexpr int LargeIconSize = 32;
constexpr int SmallIconSize = 16;

QStringList LocalFiles(const QMimeData* mime)
{
    QStringList files;
    if (!mime || !mime->hasUrls())
        return files;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    }
    return files;
}

// Every cell of the icon styles has one size, so that laying out 100,000 rows measures no text.
class TFixedCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void SetCellSize(QSize size) { m_size = size; }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return m_size; }

private:
    QSize m_size;
};

} // namespace

// A view that asks before an in-place edit begins, so that OnEditing can refuse it.
template <class View> class TAskingView : public View {
public:
    TAskingView(QWidget* parent, std::function<bool(const QModelIndex&)> mayEdit)
        : View(parent), m_mayEdit(std::move(mayEdit))
    {
    }

protected:
    bool edit(const QModelIndex& index, QAbstractItemView::EditTrigger trigger, QEvent* event) override
    {
        const bool starts =
            this->state() != QAbstractItemView::EditingState && index.isValid() &&
            (index.flags() & Qt::ItemIsEditable) &&
            (trigger == QAbstractItemView::AllEditTriggers || (this->editTriggers() & trigger));
        if (starts && !m_mayEdit(index))
            return false;
        return View::edit(index, trigger, event);
    }

private:
    std::function<bool(const QModelIndex&)> m_mayEdit;
};

class TFileListView::TReportView : public TAskingView<QTreeView> {
    using TAskingView::TAskingView;
};

class TFileListView::TIconView : public TAskingView<QListView> {
    using TAskingView::TAskingView;
};

TFileListView::TFileListView(QWidget* parent)
    : QWidget(parent), m_items(new TListItems(this)),
      m_report(new TReportView(this, [this](const QModelIndex& index) { return BeginEdit(index); })),
      m_icons(new TIconView(this, [this](const QModelIndex& index) { return BeginEdit(index); })),
      m_stack(new QStackedLayout(this))
{
    m_items->SetIcons(&ShellIcons());
    m_items->SetReadOnly(m_readOnly);
    ConnectItemHooks();

    m_report->setModel(m_items);
    m_icons->setModel(m_items);
    auto* selection = new QItemSelectionModel(m_items, this);
    m_report->setSelectionModel(selection);
    m_icons->setSelectionModel(selection);
    m_items->SetSelectionModel(selection);
    connect(selection, &QItemSelectionModel::selectionChanged, this, &TFileListView::SelectionChanged);
    connect(m_items, &QAbstractItemModel::modelReset, this, [this] { m_selCount = 0; }); // cleared silently

    m_report->setRootIsDecorated(false);
    m_report->setItemsExpandable(false);
    m_report->setUniformRowHeights(true);
    m_report->setAllColumnsShowFocus(true);
    m_report->setSortingEnabled(false);
    m_report->setIconSize(QSize(SmallIconSize, SmallIconSize));
    m_report->header()->setStretchLastSection(false);
    m_report->header()->setSectionsMovable(false);
    connect(m_report->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        try {
            ColumnClicked(column);
        } catch (...) {
            ReportException(std::current_exception());
        }
    });

    m_icons->setMovement(QListView::Static);
    m_icons->setResizeMode(QListView::Adjust);
    m_icons->setUniformItemSizes(true);
    m_icons->setItemDelegate(new TFixedCellDelegate(m_icons));
    m_icons->setLayoutMode(QListView::Batched);
    m_icons->setBatchSize(2000);

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_report), static_cast<QAbstractItemView*>(m_icons)}) {
        view->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setTextElideMode(Qt::ElideRight);
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        view->viewport()->setMouseTracking(true);
        m_stack->addWidget(view);
    }
    setFocusProxy(m_icons);
    SetMultiSelect(m_multiSelect);
    SetColumnClick(m_columnClick);
    SetShowColumnHeaders(m_showColumnHeaders);
    SetViewStyle(m_viewStyle);
    ApplySelectionPalette();
}

TFileListView::~TFileListView()
{
    // Rows and views go with the control; handlers of the owner must not see them go.
    m_items->Deleting = nullptr;
    m_items->Changed = nullptr;
    m_items->SelectionModel()->disconnect(this);
    m_items->disconnect(this);
}

void TFileListView::ConnectItemHooks()
{
    m_items->Inserted = [this](TListItem* item) {
        if (OnInsert)
            OnInsert(this, item);
    };
    m_items->Deleting = [this](TListItem* item) { FireEvent(OnDeletion, this, item); };
    m_items->Changing = [this](TListItem* item, TItemChange change) {
        bool allow = true;
        if (OnChanging)
            OnChanging(this, item, change, allow);
        return allow;
    };
    m_items->Changed = [this](TListItem* item, TItemChange change) {
        if (OnChange)
            OnChange(this, item, change);
    };
    m_items->Edited = [this](TListItem* item, QString& text) {
        // Called from inside the item delegate: nothing may escape into Qt.
        try {
            if (OnEdited)
                OnEdited(this, item, text);
            return true;
        } catch (...) {
            ReportException(std::current_exception());
            return false;
        }
    };
}

TListItem* TFileListView::AddFile(const QString& path)
{
    const TEntryPath entry = SplitEntryPath(QFile::encodeName(path));
    TFindData data;
    const bool exists = ReadFindData(entry.Directory + entry.Name, data);
    return AddRow(entry.Directory, entry.Name, exists && data.IsDirectory());
}

TListItem* TFileListView::AddRow(const QByteArray& directory, const QByteArray& name, bool isDirectory)
{
    const QString caption = QFile::decodeName(name);
    TListItem* item = m_items->Add(caption, directory, name);
    if (!item)
        return nullptr;
    const std::uint64_t clears = m_items->ClearCount();
    item->SetImageIndex(ShellInfoFor(caption, isDirectory).ImageIndex);
    return m_items->ClearCount() == clears ? item : nullptr;
}

TListItem* TFileListView::Selected() const
{
    // Works on the selection's ranges, not its rows: cheap also when 100,000 rows are selected.
    int first = -1;
    for (const QItemSelectionRange& range : m_items->SelectionModel()->selection()) {
        if (range.left() == 0 && (first < 0 || range.top() < first))
            first = range.top();
    }
    return first >= 0 && first < m_items->Count() ? m_items->Item(first) : nullptr;
}

std::vector<TListItem*> TFileListView::SelectedItems() const
{
    QModelIndexList rows = m_items->SelectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<TListItem*> items;
    items.reserve(static_cast<std::size_t>(rows.size()));
    for (const QModelIndex& row : rows)
        items.push_back(m_items->Item(row.row()));
    return items;
}

void TFileListView::SelectAll()
{
    m_items->Flush();
    if (m_items->Count() == 0)
        return;
    const QItemSelection all(m_items->index(0, 0), m_items->index(m_items->Count() - 1, 0));
    m_items->SelectionModel()->select(all, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TFileListView::EditCaption(TListItem* item)
{
    m_items->Flush();
    auto* view = static_cast<QAbstractItemView*>(m_stack->currentWidget());
    const QModelIndex index = m_items->index(item->Index(), 0);
    view->setCurrentIndex(index);
    view->edit(index);
}

void TFileListView::AlphaSort()
{
    m_items->Sort([this](int first, int second) {
        TListItem* a = m_items->Item(first);
        TListItem* b = m_items->Item(second);
        int compare = 0;
        if (OnCompare)
            OnCompare(this, a, b, compare);
        else
            compare = QString::localeAwareCompare(a->Caption(), b->Caption());
        return compare;
    });
}

void TFileListView::SetAcceptFiles(bool accept)
{
    m_acceptFiles = accept;
    m_report->viewport()->setAcceptDrops(accept);
    m_icons->viewport()->setAcceptDrops(accept);
}

void TFileListView::SetViewStyle(TViewStyle style)
{
    m_viewStyle = style;
    if (style == vsReport) {
        m_stack->setCurrentWidget(m_report);
        setFocusProxy(m_report);
        return;
    }
    if (style == vsIcon) {
        m_icons->setViewMode(QListView::IconMode);
        m_icons->setFlow(QListView::LeftToRight);
        m_icons->setIconSize(QSize(LargeIconSize, LargeIconSize));
        SetIconCell(QSize(96, 72));
        m_icons->setWordWrap(true);
    } else {
        m_icons->setViewMode(QListView::ListMode);
        m_icons->setFlow(style == vsList ? QListView::TopToBottom : QListView::LeftToRight);
        m_icons->setIconSize(QSize(SmallIconSize, SmallIconSize));
        SetIconCell(QSize(180, SmallIconSize + 4));
        m_icons->setWordWrap(false);
    }
    m_icons->setWrapping(true);
    m_icons->setMovement(QListView::Static);
    m_icons->setResizeMode(QListView::Adjust);
    m_stack->setCurrentWidget(m_icons);
    setFocusProxy(m_icons);
}

void TFileListView::SetIconCell(QSize grid)
{
    m_icons->setGridSize(grid);
    static_cast<TFixedCellDelegate*>(m_icons->itemDelegate())->SetCellSize(grid - QSize(4, 2));
}

void TFileListView::SetReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    m_items->SetReadOnly(readOnly);
}

void TFileListView::SetMultiSelect(bool multiSelect)
{
    m_multiSelect = multiSelect;
    const auto mode = multiSelect ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection;
    m_report->setSelectionMode(mode);
    m_icons->setSelectionMode(mode);
}

void TFileListView::SetShowColumnHeaders(bool show)
{
    m_showColumnHeaders = show;
    m_report->setHeaderHidden(!show);
}

void TFileListView::SetColumnClick(bool clickable)
{
    m_columnClick = clickable;
    m_report->header()->setSectionsClickable(clickable);
}

void TFileListView::SetHideSelection(bool hide)
{
    m_hideSelection = hide;
    ApplySelectionPalette();
}

void TFileListView::ApplySelectionPalette()
{
    // With HideSelection the selection is not drawn while the control has no focus.
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_report), static_cast<QAbstractItemView*>(m_icons)}) {
        QPalette palette = view->palette();
        const QPalette standard = view->style()->standardPalette();
        palette.setColor(QPalette::Inactive, QPalette::Highlight,
                         m_hideSelection ? palette.color(QPalette::Inactive, QPalette::Base)
                                         : standard.color(QPalette::Inactive, QPalette::Highlight));
        palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         m_hideSelection ? palette.color(QPalette::Inactive, QPalette::Text)
                                         : standard.color(QPalette::Inactive, QPalette::HighlightedText));
        view->setPalette(palette);
    }
}

QWidget* TFileListView::CurrentView() const
{
    return m_stack->currentWidget();
}

QTreeView* TFileListView::ReportView() const
{
    return m_report;
}

void TFileListView::SetColumns(std::vector<TListColumn> columns)
{
    m_items->SetColumns(std::move(columns));
    ApplyColumnWidths();
}

void TFileListView::ApplyColumnWidths()
{
    const auto& columns = m_items->Columns();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const int column = static_cast<int>(i);
        m_report->setColumnHidden(column, columns[i].Width <= 0);
        if (columns[i].Width > 0)
            m_report->setColumnWidth(column, columns[i].Width);
    }
}

void TFileListView::ColumnClicked(int column)
{
    if (OnColumnClick)
        OnColumnClick(this, column);
}

void TFileListView::SetRedraw(bool redraw)
{
    setUpdatesEnabled(redraw);
}

bool TFileListView::BeginEdit(const QModelIndex& index)
{
    bool allow = true;
    FireEvent(OnEditing, this, m_items->Item(index.row()), allow);
    return allow;
}

void TFileListView::SelectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    for (const QItemSelectionRange& range : selected)
        m_selCount += range.left() == 0 ? range.height() : 0;
    for (const QItemSelectionRange& range : deselected)
        m_selCount -= range.left() == 0 ? range.height() : 0;
    if (!OnChange)
        return;
    for (const QItemSelection* ranges : {&deselected, &selected}) {
        for (const QItemSelectionRange& range : *ranges) {
            if (range.left() != 0)
                continue; // a row is reported once, through its first column
            for (int row = range.top(); row <= range.bottom() && row < m_items->Count(); ++row)
                FireEvent(OnChange, this, m_items->Item(row), ctState);
        }
    }
}

bool TFileListView::eventFilter(QObject* watched, QEvent* event)
{
    const bool onViewport = watched == m_report->viewport() || watched == m_icons->viewport();
    const bool onView = watched == m_report || watched == m_icons;
    if (!onViewport && !onView)
        return QWidget::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
        if (!onViewport)
            break;
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = static_cast<QWidget*>(watched)->mapTo(this, mouse->position().toPoint());
        if (event->type() == QEvent::MouseButtonPress)
            FireEvent(OnMouseDown, this, mouse->button(), mouse->modifiers(), at.x(), at.y());
        else if (event->type() == QEvent::MouseMove)
            FireEvent(OnMouseMove, this, mouse->modifiers(), at.x(), at.y());
        else if (event->type() == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton) {
            ForwardThenFire(watched, event, OnDblClick);
            return true;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            FireEvent(OnMouseUp, this, mouse->button(), mouse->modifiers(), at.x(), at.y());
            if (mouse->button() == Qt::LeftButton) {
                ForwardThenFire(watched, event, OnClick);
                return true;
            }
        }
        break;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        if (onView)
            return HandleKey(event);
        break;
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        if (onView && static_cast<QFocusEvent*>(event)->reason() != Qt::ActiveWindowFocusReason &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            FocusMoved(event->type() == QEvent::FocusIn); // not when the whole window or a menu takes it
        break;
    case QEvent::ContextMenu:
        if (onViewport && m_popupMenu) {
            m_popupMenu->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (onViewport && m_acceptFiles)
            return HandleDrop(static_cast<QWidget*>(watched), event);
        break;
    default:
        break;
    }
    return false;
}

void TFileListView::FocusMoved(bool in)
{
    // Focus that moves between the styles' views or into the caption editor stays inside the control.
    if (in == m_focusInside)
        return;
    QWidget* now = QApplication::focusWidget();
    if (!in && now && (now == this || isAncestorOf(now)))
        return;
    m_focusInside = in;
    FireEvent(in ? OnEnter : OnExit, this);
}

void TFileListView::ForwardThenFire(QObject* viewport, QEvent* event,
                                    const TNotifyEventOf<TFileListView>& handler)
{
    // The view handles the click first (selection, current row), so that the handler sees its outcome.
    viewport->removeEventFilter(this);
    QCoreApplication::sendEvent(viewport, event);
    viewport->installEventFilter(this);
    FireEvent(handler, this);
}

bool TFileListView::HandleKey(QEvent* event)
{
    auto* key = static_cast<QKeyEvent*>(event);
    int code = key->key();
    if (event->type() == QEvent::KeyRelease) {
        FireEvent(OnKeyUp, this, code, key->modifiers());
        return code == 0;
    }
    FireEvent(OnKeyDown, this, code, key->modifiers());
    if (code == 0)
        return true;
    if (!key->text().isEmpty()) {
        QChar character = key->text().at(0);
        FireEvent(OnKeyPress, this, character);
        if (character.isNull())
            return true;
    }
    return false;
}

bool TFileListView::HandleDrop(QWidget* viewport, QEvent* event)
{
    auto* drop = static_cast<QDropEvent*>(event);
    const QStringList files = LocalFiles(drop->mimeData());
    if (files.isEmpty() || !(drop->possibleActions() & Qt::CopyAction)) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (event->type() == QEvent::Drop) {
        const QPoint at = viewport->mapTo(this, drop->position().toPoint());
        QMetaObject::invokeMethod(
            this, [this, files, at] { FireEvent(OnFileDrop, files, at.x(), at.y()); }, Qt::QueuedConnection);
    }
    return true;
}
