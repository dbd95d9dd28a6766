#include "support/pump.h"

#include "core/eventwait.h"

#include <QDeadlineTimer>

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        ProcessEventsOrSleep(5);
    }
    return true;
}

void PumpFor(int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired())
        ProcessEventsOrSleep(int(qMax<qint64>(1, deadline.remainingTime())));
}
