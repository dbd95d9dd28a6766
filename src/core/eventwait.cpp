#include "core/eventwait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

void ProcessEventsOrSleep(int maxMs)
{
    QTimer wakeUp;
    wakeUp.setSingleShot(true);
    wakeUp.start(maxMs);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}
