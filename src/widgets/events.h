#pragma once
// Raising an event of a control: the handler runs when assigned, and an
// exception that escapes it goes to the application-wide reporter, so a
// failing handler never unwinds through Qt's event dispatch.
#include "core/exception.h"

#include <QtCore/qnamespace.h>
#include <functional>
#include <utility>

class QObject;

// The plain event of a control: only the sender.
using TNotifyEvent = std::function<void(QObject* sender)>;

// Mouse events: the button that changed (press, release) or the buttons held
// (move), the keyboard modifiers and the position in the control.
using TMouseEvent =
    std::function<void(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>;
using TMouseMoveEvent =
    std::function<void(QObject* sender, Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, int x, int y)>;

template <class Handler, class... Args> void FireEvent(const Handler& handler, Args&&... args)
{
    if (!handler)
        return;
    try {
        handler(std::forward<Args>(args)...);
    } catch (...) {
        ReportException(std::current_exception());
    }
}
