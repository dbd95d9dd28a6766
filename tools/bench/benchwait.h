#pragma once
// Waiting and summing up for the benchmarks. WaitUntil runs the event loop the
// way the program does: it blocks until the next event arrives (a 50 ms timer
// bounds each sleep so the condition and the deadline are looked at again),
// never spinning, so a benchmark's own waiting takes no CPU from the client
// or the server it measures. Everything may run from inside it.
#include "core/eventwait.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <functional>
#include <vector>

// Runs events until done() holds (true) or ms milliseconds have passed (false).
inline bool WaitUntil(const std::function<bool()>& done, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        ProcessEventsOrSleep(int(std::clamp<qint64>(deadline.remainingTime(), 1, 50)));
    }
    return true;
}

// The median of the values (0 for none).
inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}
