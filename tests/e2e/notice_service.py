"""Stand-in for the desktop's notification service: owns org.freedesktop.Notifications on the session
bus of DBUS_SESSION_BUS_ADDRESS and appends every Notify call to a file, one JSON object a line.
Usage: notice_service.py RECORD_FILE. Prints "ready" once it owns the name."""

import json
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"


class Notifications(dbus.service.Object):
    def __init__(self, bus, record):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.record = record
        self.next_id = 1

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout):
        call = {"app_name": str(app_name), "replaces_id": int(replaces_id), "app_icon": str(app_icon),
                "summary": str(summary), "body": str(body), "actions": [str(a) for a in actions],
                "hints": {str(k): (int(v) if isinstance(v, (dbus.Byte, dbus.Int32, dbus.UInt32)) else str(v))
                          for k, v in hints.items()},
                "expire_timeout": int(expire_timeout)}
        with open(self.record, "a") as f:
            f.write(json.dumps(call) + "\n")
        self.next_id += 1
        return self.next_id - 1

    @dbus.service.method(NAME, out_signature="as")
    def GetCapabilities(self):
        return ["body"]

    @dbus.service.method(NAME, out_signature="ssss")
    def GetServerInformation(self):
        return ["stand-in", "test", "1", "1.2"]


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    name = dbus.service.BusName(NAME, bus, do_not_queue=True)
    service = Notifications(bus, sys.argv[1])
    print("ready", flush=True)
    GLib.MainLoop().run()
    del name, service


if __name__ == "__main__":
    main()
