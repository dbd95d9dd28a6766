#include "transfer/connectionpool.h"

#include <algorithm>

namespace {
// The session tells the pool nothing more.
void unbind(TTransferSession* session)
{
    session->OnReady = nullptr;
    session->OnClosed = nullptr;
    session->OnListed = nullptr;
    session->OnProgress = nullptr;
    session->OnDone = nullptr;
}
} // namespace

TConnectionPool::TConnectionPool() = default;

TConnectionPool::~TConnectionPool()
{
    for (const auto& connection : m_connections) {
        TTransferSession* session = connection->session;
        unbind(session);
        if (connection->owned)
            session->Close();
    }
}

TConnection* TConnectionPool::Of(TTransferSession* session) const
{
    for (const auto& connection : m_connections)
        if (connection->session == session)
            return connection.get();
    return nullptr;
}

TConnection* TConnectionPool::WithItem(quint32 item) const
{
    for (const auto& connection : m_connections)
        if (connection->item == item && item != 0)
            return connection.get();
    return nullptr;
}

bool TConnectionPool::Busy() const
{
    return std::any_of(m_connections.begin(), m_connections.end(),
                       [](const auto& c) { return c->item != 0; });
}

bool TConnectionPool::Opening() const
{
    return std::any_of(m_connections.begin(), m_connections.end(), [](const auto& c) { return c->opening; });
}

int TConnectionPool::alive() const
{
    return int(std::count_if(m_connections.begin(), m_connections.end(),
                             [](const auto& c) { return c->owned && !c->retiring; }));
}

TConnection* TConnectionPool::add(TTransferSession* session, std::unique_ptr<TTransferSession> owned,
                                  int index)
{
    auto connection = std::make_unique<TConnection>();
    connection->session = session;
    connection->owned = std::move(owned);
    connection->index = index;
    connection->idle.setSingleShot(true);
    TConnection* raw = connection.get();
    QObject::connect(&raw->idle, &QTimer::timeout, &m_context, [this, raw] {
        if (raw->item == 0)
            drop(raw);
    });
    session->OnReady = [this](TTransferSession* sender) {
        if (TConnection* c = Of(sender)) {
            c->ready = true;
            c->opening = false;
            if (c->owned && c->item == 0)
                c->idle.start(m_idleMs);
            if (OnReady)
                OnReady();
        }
    };
    session->OnClosed = [this](TTransferSession* sender, const QString& reason, bool tooMany) {
        closed(sender, reason, tooMany);
    };
    m_connections.push_back(std::move(connection));
    if (OnCreated)
        OnCreated(raw);
    return raw;
}

void TConnectionPool::drop(TConnection* connection)
{
    const auto it = std::find_if(m_connections.begin(), m_connections.end(),
                                 [connection](const auto& c) { return c.get() == connection; });
    if (it == m_connections.end())
        return;
    TTransferSession* session = connection->session;
    unbind(session);
    connection->idle.stop();
    if (connection->owned && session->Connected())
        session->Close();
    m_dropped.push_back(std::move(*it));
    m_connections.erase(it);
    QTimer::singleShot(0, &m_context, [this] { m_dropped.clear(); });
}

void TConnectionPool::SetBrowsing(TTransferSession* session)
{
    if (m_browsing == session)
        return;
    if (TConnection* old = m_browsing ? Of(m_browsing) : nullptr) {
        if (old->item && OnLost)
            OnLost(old, QString());
        drop(old);
    }
    m_browsing = session;
    if (session && m_count == 0)
        add(session, nullptr, 0);
}

void TConnectionPool::SetCount(int count, TSessionFactory factory)
{
    m_count = qBound(0, count, 10);
    m_limit = m_count;
    m_factory = std::move(factory);
    m_blocked = false;
    // Connections of the other mode go: at once when free, else when their item ends.
    std::vector<TConnection*> others;
    for (const auto& c : m_connections)
        if ((c->owned == nullptr) != (m_count == 0) || c->index > m_count)
            others.push_back(c.get());
    for (TConnection* c : others) {
        if (c->item)
            c->retiring = true;
        else
            drop(c);
    }
    if (m_count == 0 && m_browsing && !Of(m_browsing))
        add(m_browsing, nullptr, 0);
}

void TConnectionPool::SetIdleCloseMs(int milliseconds)
{
    m_idleMs = milliseconds;
    for (const auto& c : m_connections)
        if (c->idle.isActive())
            c->idle.start(m_idleMs);
}

std::vector<TConnection*> TConnectionPool::Free()
{
    std::vector<TConnection*> free;
    for (const auto& c : m_connections) {
        if (c->item || c->retiring || c->opening)
            continue;
        if (c->owned) {
            if (c->ready && c->session->Idle())
                free.push_back(c.get());
            continue;
        }
        if (!c->session->Connected())
            continue;
        if (c->session->Idle()) {
            free.push_back(c.get());
        } else {
            c->opening = true; // OnReady comes when the user's command is over
            c->session->Open();
        }
    }
    return free;
}

void TConnectionPool::Grow(int wanted)
{
    if (m_count == 0 || m_blocked || !m_factory)
        return;
    wanted -= int(std::count_if(m_connections.begin(), m_connections.end(),
                                [](const auto& c) { return c->opening || (c->ready && c->item == 0); }));
    for (int index = 1; wanted > 0 && alive() < m_limit && index <= m_count; ++index) {
        const bool used = std::any_of(m_connections.begin(), m_connections.end(),
                                      [index](const auto& c) { return c->owned && c->index == index; });
        if (used)
            continue;
        std::unique_ptr<TTransferSession> session = m_factory(index);
        if (!session)
            return;
        TTransferSession* raw = session.get();
        TConnection* c = add(raw, std::move(session), index);
        c->opening = true;
        raw->Open();
        --wanted;
    }
}

void TConnectionPool::Release(TConnection* connection)
{
    connection->item = 0;
    connection->step = TConnection::stNone;
    connection->listed.clear();
    if (connection->retiring) {
        drop(connection);
        return;
    }
    if (connection->owned)
        connection->idle.start(m_idleMs);
}

void TConnectionPool::closed(TTransferSession* session, const QString& reason, bool tooMany)
{
    TConnection* c = Of(session);
    if (!c)
        return;
    const bool wasReady = c->ready;
    const bool owned = c->owned != nullptr;
    c->ready = false;
    c->opening = false;
    // One too many is no fault of the item: it waits for another connection.
    if (c->item && OnLost)
        OnLost(c, tooMany ? QString() : reason);
    c->item = 0;
    if (owned) { // the browsing session stays: the window connects it again
        drop(c);
        if (tooMany) {
            m_limit = qMax(1, alive());
            m_blocked = m_blocked || alive() == 0;
            if (OnLog)
                OnLog(QStringLiteral("@idVrstaPrevec"), QString::number(m_limit));
        } else if (!wasReady) {
            m_blocked = true;
            if (OnLog)
                OnLog(QStringLiteral("@idVrstaPovezavaNeuspela"), reason);
        }
    }
    if (OnReady)
        OnReady();
}
