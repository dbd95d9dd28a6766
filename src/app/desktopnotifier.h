#pragma once
// TDesktopNotifier: tells the desktop about transfers over the session bus.
// - Notify(summary, body) sends one notification through the freedesktop
//   notification service (org.freedesktop.Notifications, method Notify), as
//   application "Kvado" with the desktop entry si.zorvek.Kvado.
// - SetProgress(fraction, visible) shows the queue's progress on the taskbar
//   entry where the desktop supports it: the signal Update of
//   com.canonical.Unity.LauncherEntry for application://si.zorvek.Kvado.desktop
//   with "progress" (0..1) and "progress-visible"; unchanged values send nothing.
// Both are asynchronous and silent: without a session bus or without a
// service that listens nothing happens and nothing is reported. UI thread.
#include <QString>

class TDesktopNotifier {
public:
    void Notify(const QString& summary, const QString& body);
    void SetProgress(double fraction, bool visible);

private:
    double m_fraction = -1;
    bool m_visible = false;
};
