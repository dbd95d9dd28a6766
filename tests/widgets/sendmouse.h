#pragma once
// Synthetic mouse input for the control tests: events go straight to the
// widget, positions in its own coordinates (also outside it, as a grabbed
// mouse would report them).
#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QWidget>

inline void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    Qt::MouseButtons held = Qt::NoButton;
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick || type == QEvent::MouseMove)
        held = button;
    QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), button, held, modifiers);
    QApplication::sendEvent(widget, &event);
}

inline void Press(QWidget* widget, QPoint pos)
{
    SendMouse(widget, QEvent::MouseButtonPress, pos);
}
inline void Move(QWidget* widget, QPoint pos)
{
    SendMouse(widget, QEvent::MouseMove, pos);
}
inline void Release(QWidget* widget, QPoint pos)
{
    SendMouse(widget, QEvent::MouseButtonRelease, pos);
}

inline void Click(QWidget* widget, QPoint pos)
{
    Press(widget, pos);
    Release(widget, pos);
}

inline void Enter(QWidget* widget)
{
    const QPointF centre(widget->width() / 2.0, widget->height() / 2.0);
    QEnterEvent event(centre, centre, widget->mapToGlobal(centre));
    QApplication::sendEvent(widget, &event);
}

inline void Leave(QWidget* widget)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(widget, &event);
}
