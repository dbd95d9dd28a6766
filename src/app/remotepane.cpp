#include "app/remotepane.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>

namespace {
const int kColumnWidths[4] = {160, 71, 70, 250};
const char* const kCaptions[2][4] = {{"Ime", "Velikost", "Atributi", "Opis"},
                                     {"Name", "Size", "Attributes", "Description"}};
} // namespace

TRemoteModel::TRemoteModel(QObject* parent) : QAbstractTableModel(parent)
{
    SetCaptions({kCaptions[0][0], kCaptions[0][1], kCaptions[0][2], kCaptions[0][3]});
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
    endResetModel();
}

void TRemoteModel::Clear()
{
    beginResetModel();
    m_rows = 0;
    m_typed.clear();
    endResetModel();
}

void TRemoteModel::SetCaptions(const QStringList& captions)
{
    m_captions = captions;
    emit headerDataChanged(Qt::Horizontal, 0, 3);
}

QString TRemoteModel::RowCaption(int row) const
{
    if (const auto typed = m_typed.constFind(row); typed != m_typed.cend()) {
        return *typed;
    }
    if (m_table == nullptr || row < 0 || row >= m_rows || row >= m_table->Count()) {
        return {};
    }
    return m_table->At(row).name;
}

int TRemoteModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int TRemoteModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 4;
}

QVariant TRemoteModel::data(const QModelIndex& index, int role) const
{
    const int row = index.row();
    if (m_table == nullptr || row >= m_rows || row >= m_table->Count()) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (index.column()) {
        case 0:
            return RowCaption(row);
        case 1:
            return m_table->At(row).sizeText;
        case 2:
            return m_table->At(row).attributes;
        default:
            return {};
        }
    case Qt::DecorationRole:
        if (index.column() == 0) {
            const int kind = m_table->At(row).kind;
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
    if (role != Qt::EditRole || index.column() != 0 || index.row() >= m_rows) {
        return false;
    }
    const QString text = value.toString();
    if (text == RowCaption(index.row())) {
        return false;
    }
    m_typed.insert(index.row(), text);
    emit dataChanged(index, index);
    if (OnEdited) {
        OnEdited(index.row());
    }
    return true;
}

Qt::ItemFlags TRemoteModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == 0 && index.row() > 0) {
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
    header()->setSectionsClickable(false);
    header()->setStretchLastSection(false);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(13);
    setFont(font);
    fitColumns();
    m_model.OnEdited = [this](int) { fire(OnEdited); };
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { fire(OnSelectionChanged); });
    connect(header(), &QHeaderView::sectionResized, this, [this] { fire(OnColumnResized); });
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

void TRemotePane::Clear()
{
    m_model.Clear();
    fire(OnSelectionChanged);
}

void TRemotePane::SetLanguage(int language)
{
    if (language == 0 || language == 1) {
        m_model.SetCaptions(
            {kCaptions[language][0], kCaptions[language][1], kCaptions[language][2], kCaptions[language][3]});
    }
}

int TRemotePane::FocusedRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

std::vector<int> TRemotePane::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TRemotePane::SetRowSelected(int row, bool selected)
{
    if (row < 0 || row >= m_model.rowCount()) {
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
    for (int column = 0; column < 4; ++column) {
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
