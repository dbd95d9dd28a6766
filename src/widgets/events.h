#pragma once
// The event types shared by the controls; they are raised with FireEvent
// (core/exception.h).
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
