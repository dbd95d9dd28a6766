#include "net/timeoutlist.h"

#include "core/exception.h"
#include "net/sockctrl.h"

#include <QCoreApplication>

#include <vector>

namespace {
struct TArmedState {
    TSockCtrl* Head = nullptr;
    int Count = 0;
    QPointer<QTimer> Timer;
    quint64 NextSerial = 1;
};

TArmedState& armed()
{
    static TArmedState state;
    return state;
}
} // namespace

int TTimeOutList::ArmedCount()
{
    return armed().Count;
}

QTimer* TTimeOutList::Timer()
{
    return armed().Timer;
}

void TTimeOutList::Arm(TSockCtrl* component)
{
    TArmedState& state = armed();
    if (!state.Timer) {
        state.Timer = new QTimer(QCoreApplication::instance());
        state.Timer->setInterval(1000);
        QObject::connect(state.Timer, &QTimer::timeout, &TTimeOutList::Tick);
    }
    component->m_countdown = component->m_timeOut;
    component->m_timedOut = false;
    component->m_armSerial = state.NextSerial++;
    if (component->m_armed)
        return; // already linked: the countdown restarts
    component->m_prevArmed = nullptr;
    component->m_nextArmed = state.Head;
    if (state.Head)
        state.Head->m_prevArmed = component;
    state.Head = component;
    component->m_armed = true;
    if (++state.Count == 1)
        state.Timer->start();
}

void TTimeOutList::Disarm(TSockCtrl* component)
{
    TArmedState& state = armed();
    if (!component->m_armed)
        return;
    if (component->m_prevArmed)
        component->m_prevArmed->m_nextArmed = component->m_nextArmed;
    else
        state.Head = component->m_nextArmed;
    if (component->m_nextArmed)
        component->m_nextArmed->m_prevArmed = component->m_prevArmed;
    component->m_prevArmed = component->m_nextArmed = nullptr;
    component->m_armed = false;
    if (--state.Count == 0 && state.Timer)
        state.Timer->stop();
}

void TTimeOutList::Tick()
{
    struct TDue {
        QPointer<TSockCtrl> Component;
        quint64 Serial;
    };
    std::vector<TDue> due;
    for (TSockCtrl* c = armed().Head; c; c = c->m_nextArmed)
        due.push_back({c, c->m_armSerial});
    for (auto it = due.rbegin(); it != due.rend(); ++it) {
        TSockCtrl* component = it->Component;
        if (!component || !component->m_armed || component->m_armSerial != it->Serial)
            continue;
        try {
            component->TimeOutTick();
        } catch (...) {
            ReportException(std::current_exception());
        }
    }
}
