#include "support/pump.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace {
// Sleeps in the event loop until the next event, woken at least every few
// milliseconds so that the caller can look at its condition and its deadline.
void WaitForNextEvent()
{
    QTimer wake;
    wake.start(5);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}
} // namespace

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        WaitForNextEvent();
    }
    return true;
}

void PumpFor(int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired())
        WaitForNextEvent();
}
