#include "app/queuepane.h"

#include "app/transfermeter.h"
#include "lang/multilang.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Column captions, then the designed widths.
const char* const ColumnKeys[TQueueModel::qcCount] = {"@idVrIme",       "@idVrSmer",     "@idVrVelikost",
                                                      "@idVrPreneseno", "@idVrHitrost",  "@idVrStanje",
                                                      "@idVrLokalna",   "@idVrOddaljena"};
const int ColumnWidths[TQueueModel::qcCount] = {120, 75, 60, 60, 65, 190, 200, 200};

} // namespace

TQueueModel::TQueueModel(TTransferQueue& queue, QObject* parent) : QAbstractTableModel(parent), m_queue(queue)
{
    m_rows = queue.Count();
    // The queue has changed already when it reports: the view is told in the
    // same call, and m_rows keeps what it has been told so far.
    queue.OnInserted = [this](int first, int last) {
        beginInsertRows({}, first, last);
        m_rows += last - first + 1;
        endInsertRows();
        changed();
    };
    queue.OnRemoved = [this](int first, int last) {
        beginRemoveRows({}, first, last);
        m_rows -= last - first + 1;
        endRemoveRows();
        changed();
    };
    queue.OnChanged = [this](int row) {
        emit dataChanged(index(row, 0), index(row, qcCount - 1));
        changed();
    };
    queue.OnMoved = [this] {
        beginResetModel();
        m_rows = m_queue.Count();
        endResetModel();
        changed();
    };
}

TQueueModel::~TQueueModel()
{
    m_queue.OnInserted = nullptr;
    m_queue.OnRemoved = nullptr;
    m_queue.OnChanged = nullptr;
    m_queue.OnMoved = nullptr;
}

void TQueueModel::changed()
{
    if (OnQueueChanged) {
        OnQueueChanged();
    }
}

QString TQueueModel::Title() const
{
    return word("@idVrNaslov");
}

QString TQueueModel::word(const char* key) const
{
    return m_words ? m_words->GetWord(QString::fromLatin1(key)) : QString::fromLatin1(key);
}

void TQueueModel::Retranslate()
{
    emit headerDataChanged(Qt::Horizontal, 0, qcCount - 1);
    if (m_rows > 0) {
        emit dataChanged(index(0, 0), index(m_rows - 1, qcCount - 1));
    }
}

int TQueueModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int TQueueModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : qcCount;
}

QString TQueueModel::StateText(const TQueueItem& item) const
{
    switch (item.state) {
    case tsWaiting:
        return word("@idVrCaka");
    case tsRunning:
        return word("@idVrTece");
    case tsDone:
        return word("@idVrKoncano");
    case tsFailed:
        return word("@idVrNeuspelo") + item.reason;
    case tsSkipped: // a reason says it was skipped, and why
        return item.reason.isEmpty() ? word("@idVrIzpusceno") : item.reason;
    }
    return {};
}

QVariant TQueueModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_queue.Count()) {
        return {};
    }
    const TQueueItem& item = m_queue.At(index.row());
    if (role == Qt::TextAlignmentRole) {
        const bool number = index.column() == qcSize || index.column() == qcDone || index.column() == qcSpeed;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role == Qt::ToolTipRole && index.column() == qcState) {
        return StateText(item);
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    const bool folder = item.kind == ikFolder;
    switch (index.column()) {
    case qcName:
        return item.Name();
    case qcDirection:
        return word(item.direction == tdDownload ? "@idVrPrejem" : "@idVrOddaja");
    case qcLocal:
        return item.localPath;
    case qcRemote:
        return item.remotePath;
    case qcSize:
        return folder ? word("@idVrMapa") : TTransferMeter::Size(item.size);
    case qcDone: // nothing moved yet: empty, so the moved bytes stand out
        return folder || (item.done == 0 && item.state != tsRunning) ? QString()
                                                                     : TTransferMeter::Size(item.done);
    case qcSpeed:
        return item.state == tsRunning && item.speed > 0
                   ? TTransferMeter::Size(item.speed) + QStringLiteral("/s")
                   : QString();
    case qcState:
        return StateText(item);
    default:
        return {};
    }
}

QVariant TQueueModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= qcCount) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    return word(ColumnKeys[section]);
}

TQueuePane::TQueuePane(TTransferQueue& queue, QWidget* parent)
    : QWidget(parent), m_queue(queue), m_model(queue, this), m_view(new QTreeView(this)),
      m_menu(new QMenu(this))
{
    setObjectName(QStringLiteral("VrstaPrenosov"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    m_view->setObjectName(QStringLiteral("VrstaSeznam"));
    m_view->setModel(&m_model);
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setTextElideMode(Qt::ElideMiddle);
    m_view->header()->setStretchLastSection(false);
    column->addWidget(m_view, 1);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(2, 0, 2, 2);
    row->setSpacing(4);
    m_buttons = {button("VrstaUstavi", QStringLiteral("Ustavi"), &TQueuePane::StopSelected),
                 button("VrstaPonovi", QStringLiteral("Ponovi"), &TQueuePane::RetrySelected),
                 button("VrstaOdstrani", QStringLiteral("Odstrani"), &TQueuePane::RemoveSelected),
                 button("VrstaGor", QStringLiteral("Premakni gor"), &TQueuePane::MoveSelectedUp),
                 button("VrstaDol", QStringLiteral("Premakni dol"), &TQueuePane::MoveSelectedDown)};
    for (QPushButton* b : m_buttons) {
        row->addWidget(b);
    }
    row->addStretch(1);
    column->addLayout(row);

    m_view->installEventFilter(this); // Delete in the table removes the selected rows
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        updateButtons();
        m_menu->clear();
        for (QPushButton* b : m_buttons) {
            QAction* item = m_menu->addAction(b->text(), b, &QPushButton::click);
            item->setEnabled(b->isEnabled());
        }
        m_menu->popup(m_view->viewport()->mapToGlobal(at));
    });
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateButtons(); });
    SetListFont(m_view->font());
    m_model.OnQueueChanged = [this] {
        updateButtons();
        if (OnQueueChanged) {
            OnQueueChanged();
        }
    };
    updateButtons();
}

QPushButton* TQueuePane::button(const char* name, const QString& caption, void (TQueuePane::*command)())
{
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(caption);
    b->setFocusPolicy(Qt::TabFocus);
    connect(b, &QPushButton::clicked, this, [this, command] { (this->*command)(); });
    return b;
}

bool TQueuePane::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        RemoveSelected();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TQueuePane::SetListFont(const QFont& font)
{
    m_view->setFont(font);
    // The designed widths are for a font of about 13 pixels; a larger one widens them in proportion.
    const QFontMetrics metrics(font);
    const double scale = qMax(1.0, metrics.height() / 13.0);
    for (int c = 0; c < TQueueModel::qcCount; ++c) {
        m_view->setColumnWidth(c, int(ColumnWidths[c] * scale));
    }
    // Room for the header, six rows and the buttons; a short window gives less (FitHeight).
    m_preferredHeight = (metrics.height() + 4) * 7 + 10 + m_buttons.front()->sizeHint().height();
    m_smallestHeight = (metrics.height() + 4) * 2 + 10 + m_buttons.front()->sizeHint().height();
    FitHeight(m_room);
}

void TQueuePane::FitHeight(int room)
{
    m_room = room;
    const int share = room > 0 ? room * 2 / 5 : m_preferredHeight;
    setFixedHeight(qMax(m_smallestHeight, qMin(m_preferredHeight, share)));
}

void TQueuePane::SetWords(TMultiLang* words)
{
    m_model.SetWords(words);
    Retranslate();
}

void TQueuePane::Retranslate()
{
    m_model.Retranslate();
    for (QPushButton* b : m_buttons) {
        b->setAccessibleName(b->text().remove(QLatin1Char('&')));
    }
    m_view->setAccessibleName(m_model.Title());
}

std::vector<int> TQueuePane::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : m_view->selectionModel()->selectedRows()) {
        if (index.row() < m_queue.Count()) {
            rows.push_back(index.row());
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TQueuePane::updateButtons()
{
    bool running = false, retryable = false;
    const std::vector<int> rows = SelectedRows();
    for (int row : rows) {
        const TItemState state = m_queue.At(row).state;
        running = running || state == tsRunning;
        // A stopped item waits: retry goes on with it (and with whatever else waits).
        retryable = retryable || state == tsFailed || state == tsSkipped || state == tsWaiting;
    }
    const bool any = !rows.empty();
    m_buttons[0]->setEnabled(running);
    m_buttons[1]->setEnabled(retryable);
    m_buttons[2]->setEnabled(any);
    m_buttons[3]->setEnabled(any && rows.front() > 0);
    m_buttons[4]->setEnabled(any && rows.back() < m_queue.Count() - 1);
}

void TQueuePane::selectIds(const std::vector<quint32>& ids)
{
    QItemSelection selection;
    for (quint32 id : ids) {
        const int row = m_queue.RowOf(id);
        if (row >= 0 && row < m_model.rowCount()) {
            selection.select(m_model.index(row, 0), m_model.index(row, TQueueModel::qcCount - 1));
        }
    }
    m_view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    updateButtons();
}

void TQueuePane::StopSelected()
{
    if (OnStop) {
        OnStop(SelectedRows());
    }
}

void TQueuePane::RetrySelected()
{
    for (int row : SelectedRows()) {
        m_queue.Retry(row);
    }
    updateButtons();
    if (OnRetried) {
        OnRetried();
    }
}

void TQueuePane::RemoveSelected()
{
    m_queue.Remove(SelectedRows());
    updateButtons();
}

void TQueuePane::moveSelected(bool up)
{
    const std::vector<int> rows = SelectedRows();
    if (rows.empty() || (up ? rows.front() == 0 : rows.back() == m_queue.Count() - 1)) {
        return; // the block already touches the end
    }
    std::vector<quint32> ids;
    for (int row : rows) {
        ids.push_back(m_queue.At(row).id);
    }
    // Up moves the top row first, down the bottom one, so neighbours in the selection keep their order.
    if (up) {
        for (quint32 id : ids) {
            m_queue.MoveUp(m_queue.RowOf(id));
        }
    } else {
        for (auto id = ids.rbegin(); id != ids.rend(); ++id) {
            m_queue.MoveDown(m_queue.RowOf(*id));
        }
    }
    selectIds(ids);
}
