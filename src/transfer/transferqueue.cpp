#include "transfer/transferqueue.h"

#include <algorithm>

QString TQueueItem::Name() const
{
    const QString& path = direction == tdDownload ? remotePath : localPath;
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

TTransferQueue::TTransferQueue() = default;
TTransferQueue::~TTransferQueue() = default;

quint32 TTransferQueue::NewJob(TDirection direction, int fileCount, TExistsPolicy policy)
{
    TJob job;
    job.direction = direction;
    job.policy = policy;
    job.declared = qMax(0, fileCount);
    m_jobs.push_back(job);
    return quint32(m_jobs.size());
}

TExistsPolicy TTransferQueue::Policy(quint32 job) const
{
    return job >= 1 && job <= m_jobs.size() ? m_jobs[job - 1].policy : epAsk;
}

void TTransferQueue::SetPolicy(quint32 job, TExistsPolicy policy)
{
    if (job >= 1 && job <= m_jobs.size())
        m_jobs[job - 1].policy = policy;
}

int TTransferQueue::JobFileCount(quint32 job) const
{
    return job >= 1 && job <= m_jobs.size() ? qMax(m_jobs[job - 1].declared, m_jobs[job - 1].files) : 0;
}

bool TTransferQueue::JobSeveral(quint32 job) const
{
    return JobFileCount(job) > 1 || JobHasFolders(job);
}

bool TTransferQueue::JobHasFolders(quint32 job) const
{
    return job >= 1 && job <= m_jobs.size() && m_jobs[job - 1].folders > 0;
}

int TTransferQueue::slotOf(quint32 id) const
{
    const auto it = std::lower_bound(m_slots.begin(), m_slots.end(), id,
                                     [](const TSlot& slot, quint32 key) { return slot.item.id < key; });
    return it != m_slots.end() && it->item.id == id ? int(it - m_slots.begin()) : -1;
}

void TTransferQueue::account(const TQueueItem& item, int sign)
{
    const bool waitingOrRunning = item.state == tsWaiting || item.state == tsRunning;
    if (waitingOrRunning || item.state == tsFailed)
        m_unfinished += sign;
    if (item.state == tsRunning) {
        m_totals.running += sign;
        m_totals.speed += sign * item.speed;
    }
    if (item.kind != ikFile)
        return;
    m_totals.files += sign;
    m_totals.bytes += sign * item.size;
    switch (item.state) {
    case tsDone:
    case tsSkipped:
        m_totals.filesDone += sign;
        m_totals.bytesDone += sign * qMax(item.size, item.done);
        break;
    case tsFailed:
        m_totals.failed += sign;
        m_totals.bytesDone += sign * item.done;
        break;
    default:
        m_totals.bytesDone += sign * item.done;
        m_bytesLeft += sign * qMax<qint64>(0, item.size - item.done);
        break;
    }
}

void TTransferQueue::renumber(int fromRow) const
{
    for (int row = fromRow; row < int(m_rows.size()); ++row)
        m_slots[m_rows[std::size_t(row)]].row = row;
    m_staleFrom = INT_MAX;
}

int TTransferQueue::rowOf(const TSlot& slot) const
{
    if (slot.row >= m_staleFrom)
        renumber(m_staleFrom);
    return slot.row;
}

void TTransferQueue::lowerWaitingHint(int row) const
{
    m_waitingFrom = qMin(m_waitingFrom, qMax(0, row));
}

quint32 TTransferQueue::Add(TQueueItem item, int after)
{
    item.id = ++m_nextId;
    if (item.job >= 1 && item.job <= m_jobs.size())
        ++(item.kind == ikFile ? m_jobs[item.job - 1].files : m_jobs[item.job - 1].folders);
    const int row = after >= 0 && after < Count() ? after + 1 : Count();
    m_slots.push_back({std::move(item), row});
    account(m_slots.back().item, +1);
    m_rows.insert(m_rows.begin() + row, quint32(m_slots.size() - 1));
    if (row + 1 < Count())
        m_staleFrom = qMin(m_staleFrom, row);
    if (m_slots.back().item.state == tsWaiting)
        lowerWaitingHint(row);
    if (OnInserted)
        OnInserted(row, row);
    return m_nextId;
}

int TTransferQueue::Count() const
{
    return int(m_rows.size());
}

const TQueueItem& TTransferQueue::At(int row) const
{
    return m_slots[m_rows[std::size_t(row)]].item;
}

int TTransferQueue::RowOf(quint32 id) const
{
    const int slot = slotOf(id);
    return slot < 0 ? -1 : rowOf(m_slots[std::size_t(slot)]);
}

TQueueItem* TTransferQueue::Find(quint32 id)
{
    const int slot = slotOf(id);
    return slot < 0 ? nullptr : &m_slots[std::size_t(slot)].item;
}

const TQueueItem* TTransferQueue::Find(quint32 id) const
{
    const int slot = slotOf(id);
    return slot < 0 ? nullptr : &m_slots[std::size_t(slot)].item;
}

int TTransferQueue::FirstWaiting(int from) const
{
    const bool advance = from <= m_waitingFrom;
    for (int row = qMax(from, m_waitingFrom); row < Count(); ++row) {
        if (At(row).state == tsWaiting)
            return row;
        if (advance && row == m_waitingFrom)
            m_waitingFrom = row + 1;
    }
    return -1;
}

void TTransferQueue::SetState(quint32 id, TItemState state, const QString& reason)
{
    const int slot = slotOf(id);
    if (slot < 0)
        return;
    TSlot& s = m_slots[std::size_t(slot)];
    account(s.item, -1);
    s.item.state = state;
    s.item.reason = reason;
    if (state != tsRunning)
        s.item.speed = 0;
    if (state == tsDone && s.item.kind == ikFile)
        s.item.done = qMax(s.item.done, s.item.size);
    account(s.item, +1);
    if (state == tsWaiting)
        lowerWaitingHint(rowOf(s));
    if (OnChanged)
        OnChanged(rowOf(s));
}

void TTransferQueue::SetProgress(quint32 id, qint64 done, qint64 speed)
{
    const int slot = slotOf(id);
    if (slot < 0)
        return;
    TSlot& s = m_slots[std::size_t(slot)];
    account(s.item, -1);
    s.item.done = done;
    s.item.speed = speed;
    account(s.item, +1);
    if (OnChanged)
        OnChanged(rowOf(s));
}

void TTransferQueue::Remove(const std::vector<int>& rows)
{
    std::vector<int> sorted;
    for (int row : rows)
        if (row >= 0 && row < Count() && At(row).state != tsRunning)
            sorted.push_back(row);
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    if (sorted.empty())
        return;
    for (int row : sorted) {
        TSlot& s = m_slots[m_rows[std::size_t(row)]];
        account(s.item, -1);
        s.item.id = 0; // marks the slot for compaction
    }
    // Compact the slots (ids stay ascending) and rebuild the rows in one pass each.
    std::vector<quint32> newIndex(m_slots.size(), 0);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i].item.id == 0)
            continue;
        newIndex[i] = quint32(kept);
        if (kept != i)
            m_slots[kept] = std::move(m_slots[i]);
        ++kept;
    }
    m_slots.resize(kept);
    std::vector<quint32> rowsLeft;
    rowsLeft.reserve(kept);
    std::size_t next = 0;
    for (int row = 0; row < int(m_rows.size()); ++row) {
        if (next < sorted.size() && sorted[next] == row) {
            ++next;
            continue;
        }
        rowsLeft.push_back(newIndex[m_rows[std::size_t(row)]]);
    }
    m_rows.swap(rowsLeft);
    renumber(0);
    lowerWaitingHint(sorted.front());
    // Contiguous runs, from the bottom, so that each reported range is valid when it fires.
    if (!OnRemoved)
        return;
    for (int end = int(sorted.size()) - 1; end >= 0;) {
        int begin = end;
        while (begin > 0 && sorted[std::size_t(begin - 1)] == sorted[std::size_t(begin)] - 1)
            --begin;
        OnRemoved(sorted[std::size_t(begin)], sorted[std::size_t(end)]);
        end = begin - 1;
    }
}

void TTransferQueue::MoveUp(int row)
{
    if (row <= 0 || row >= Count())
        return;
    std::swap(m_rows[std::size_t(row - 1)], m_rows[std::size_t(row)]);
    m_slots[m_rows[std::size_t(row - 1)]].row = row - 1;
    m_slots[m_rows[std::size_t(row)]].row = row;
    lowerWaitingHint(row - 1);
    if (OnMoved)
        OnMoved();
}

void TTransferQueue::MoveDown(int row)
{
    MoveUp(row + 1);
}

void TTransferQueue::Retry(int row)
{
    if (row < 0 || row >= Count())
        return;
    const TQueueItem& item = At(row);
    if (item.state == tsFailed || item.state == tsSkipped)
        SetState(item.id, tsWaiting);
}

void TTransferQueue::Clear()
{
    std::vector<int> rows;
    for (int row = 0; row < Count(); ++row)
        rows.push_back(row);
    Remove(rows);
}

TQueueTotals TTransferQueue::Totals() const
{
    TQueueTotals totals = m_totals;
    totals.secondsLeft = totals.speed > 0 ? (m_bytesLeft + totals.speed - 1) / totals.speed : -1;
    return totals;
}

bool TTransferQueue::Unfinished() const
{
    return m_unfinished > 0;
}
