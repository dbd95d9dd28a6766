#pragma once
// TTimeOutList: the armed components and the one shared time-out timer.
//
// Contract:
// - One QTimer (1000 ms, a child of the application) is created on the first
//   arm; it runs exactly while at least one component is armed.
// - Arm puts a component at the head of the list (newest first); Disarm
//   unlinks it. Both may be called from inside a tick.
// - Each tick calls TimeOutTick of every component armed when the tick began,
//   the oldest first, skipping those disarmed, re-armed or destroyed by an
//   earlier handler of the same tick. An exception from a handler is handed to
//   ReportException and the others still tick.
#include <QPointer>
#include <QTimer>

class TSockCtrl;

class TTimeOutList {
public:
    static void Arm(TSockCtrl* component);
    static void Disarm(TSockCtrl* component);
    static int ArmedCount();
    static QTimer* Timer(); // nullptr before the first arm
    static void Tick();
};
