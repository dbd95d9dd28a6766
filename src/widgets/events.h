#pragma once
// The event types shared by the controls; they are raised with FireEvent
// (core/exception.h).
#include "core/exception.h"

#include <QtCore/qnamespace.h>
#include <functional>
#include <utility>

class QObject;

// The plain event of a control: only the sender, as a QObject or (the Of
// form) as the control's own class.
template <class Sender> using TNotifyEventOf = std::function<void(Sender* sender)>;
using TNotifyEvent = TNotifyEventOf<QObject>;

// Mouse events: the button that changed (press, release) or the buttons held
// (move), the keyboard modifiers and the position in the control.
template <class Sender>
using TMouseEventOf =
    std::function<void(Sender* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)>;
using TMouseEvent = TMouseEventOf<QObject>;
using TMouseMoveEvent =
    std::function<void(QObject* sender, Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, int x, int y)>;
