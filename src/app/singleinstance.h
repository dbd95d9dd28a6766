#pragma once
// TSingleInstance: one Kvado window per desktop session for links. The first
// Kvado of a session owns the name si.zorvek.Kvado on the session bus and
// serves the method Open(link) on the object /si/zorvek/Kvado (interface
// si.zorvek.Kvado). A later `kvado <link>` hands its link there and ends.
//
// The session bus, not a local socket: the name is claimed atomically by the
// bus (two Kvados started at once cannot both win, and no stale socket file
// outlives a crash), it is private to the user's session, and Kvado needs no
// network module for it. Without a session bus every Kvado runs on its own.
//
// Contract:
// - Serve() claims the name; false when another Kvado holds it (or no bus).
// - HandOver(link) calls Open on the holder and waits at most 5 s (before the
//   window exists, at start-up); true when the holder took the link.
// - OnOpen(link) fires on the UI thread from the event loop for every link a
//   later Kvado hands over; the handler may show modal dialogs.
#include <QObject>

#include <functional>

class TSingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "si.zorvek.Kvado")
public:
    using QObject::QObject;

    bool Serve();
    static bool HandOver(const QString& link);

    std::function<void(const QString& link)> OnOpen;

public slots:
    Q_SCRIPTABLE void Open(const QString& link);
};
