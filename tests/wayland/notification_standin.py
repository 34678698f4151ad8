#!/usr/bin/python3
"""A notification server for the tests (org.freedesktop.Notifications): appends every Notify's
summary and body as a JSON line to LOG_FILE.

    notification_standin.py LOG_FILE
"""
import json
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

IFACE = "org.freedesktop.Notifications"


class Server(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.log = log
        self.last = 0

    @dbus.service.method(IFACE, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        self.last += 1
        with open(self.log, "a") as f:
            f.write(json.dumps({"app": str(app), "replaces": int(replaces),
                                "summary": str(summary), "body": str(body)}) + "\n")
        return dbus.UInt32(replaces or self.last)

    @dbus.service.method(IFACE, out_signature="as")
    def GetCapabilities(self):
        return ["body"]

    @dbus.service.method(IFACE, out_signature="ssss")
    def GetServerInformation(self):
        return ("stand-in", "talvero-tests", "1", "1.2")


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    server = Server(bus, sys.argv[1])
    name = dbus.service.BusName(IFACE, bus, do_not_queue=True)
    open(sys.argv[1], "a").close()  # the file's appearance says the name is taken
    GLib.MainLoop().run()
    del name, server


if __name__ == "__main__":
    main()
