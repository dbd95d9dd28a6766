#!/usr/bin/python3
"""A stand-in for the desktop's notification service on a test's session bus:
it owns org.freedesktop.Notifications, answers Notify with an id and writes
every call as one JSON line {"app", "summary", "body", "hints"} to the record
file; every com.canonical.Unity.LauncherEntry Update signal is written as
{"launcher": uri, "progress": x, "visible": bool}. Prints "READY" once the
name is owned; runs until terminated.

Usage: notifyservice.py <record file>
"""
import json
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"


class Notifications(dbus.service.Object):
    def __init__(self, bus, record):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.record = record
        self.next_id = 0

    def write(self, entry):
        self.record.write(json.dumps(entry) + "\n")
        self.record.flush()

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        self.next_id += 1
        self.write({"app": str(app), "summary": str(summary), "body": str(body),
                    "hints": {str(k): str(v) for k, v in hints.items()}})
        return self.next_id

    @dbus.service.method(NAME, out_signature="as")
    def GetCapabilities(self):
        return ["body"]

    @dbus.service.method(NAME, out_signature="ssss")
    def GetServerInformation(self):
        return ("kvado-test", "kvado", "1", "1.2")


def main():
    DBusGMainLoop(set_as_default=True)
    record = open(sys.argv[1], "a", encoding="utf-8")
    bus = dbus.SessionBus()
    name = dbus.service.BusName(NAME, bus)  # noqa: F841 (kept while the loop runs)
    service = Notifications(bus, record)

    def update(uri, properties):
        service.write({"launcher": str(uri), "progress": float(properties.get("progress", -1)),
                       "visible": bool(properties.get("progress-visible", False))})

    bus.add_signal_receiver(update, signal_name="Update", dbus_interface="com.canonical.Unity.LauncherEntry")
    print("READY", flush=True)
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
