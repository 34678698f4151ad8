#!/usr/bin/python3
"""A desktop portal with GlobalShortcuts for the tests, as KDE Plasma or GNOME run one: it takes
org.freedesktop.portal.Desktop on the session bus, creates sessions, binds shortcuts and answers
on request objects. After each binding it writes what it was asked (the shortcuts with their
preferred triggers) as JSON to STATE_FILE. A test drives it through a control object:
Activate(id) sends Activated for the last session's shortcut, Leave() gives up the name.

    portal_standin.py STATE_FILE [--refuse | --silent]

--refuse answers every binding with a failed Response (the user said no); --silent never answers.
"""
import json
import os
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PORTAL = "org.freedesktop.portal.Desktop"
PATH = "/org/freedesktop/portal/desktop"
SHORTCUTS = "org.freedesktop.portal.GlobalShortcuts"
REQUEST = "org.freedesktop.portal.Request"
CONTROL = "io.github.talvero.TestPortal"
LOOP = GLib.MainLoop()


def sender_part(sender):
    return sender[1:].replace(".", "_")


class Request(dbus.service.Object):
    @dbus.service.signal(REQUEST, signature="ua{sv}")
    def Response(self, code, results):
        pass


class Session(dbus.service.Object):
    def __init__(self, bus, path, portal):
        super().__init__(bus, path)
        self.portal = portal
        self.path = path

    @dbus.service.method("org.freedesktop.portal.Session")
    def Close(self):
        self.portal.closed.append(self.path)
        self.portal.write()
        self.remove_from_connection()


class Portal(dbus.service.Object):
    def __init__(self, bus, state_file, mode):
        super().__init__(bus, PATH)
        self.bus = bus
        self.state_file = state_file
        self.mode = mode
        self.session = None
        self.binds = []
        self.closed = []
        self.objects = []

    def respond(self, sender, token, code, results):
        path = "%s/request/%s/%s" % (PATH, sender_part(sender), token)
        request = Request(self.bus, path)
        self.objects.append(request)
        if self.mode != "silent":
            GLib.idle_add(lambda: request.Response(dbus.UInt32(code), results) and False)
        return dbus.ObjectPath(path)

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, prop):
        if interface == SHORTCUTS and prop == "version":
            return dbus.UInt32(1)
        raise dbus.exceptions.DBusException("no such property",
                                            name="org.freedesktop.DBus.Error.InvalidArgs")

    @dbus.service.method(SHORTCUTS, in_signature="a{sv}", out_signature="o",
                         sender_keyword="sender")
    def CreateSession(self, options, sender=None):
        token = str(options.get("handle_token", "t"))
        session = "%s/session/%s/%s" % (PATH, sender_part(sender),
                                        str(options.get("session_handle_token", "s")))
        self.objects.append(Session(self.bus, session, self))
        self.session = session
        return self.respond(sender, token, 0, {"session_handle": dbus.String(session)})

    @dbus.service.method(SHORTCUTS, in_signature="oa(sa{sv})sa{sv}", out_signature="o",
                         sender_keyword="sender")
    def BindShortcuts(self, session, shortcuts, parent, options, sender=None):
        bound = [{"id": str(i), "preferred_trigger": str(p.get("preferred_trigger", "")),
                  "description": str(p.get("description", ""))} for i, p in shortcuts]
        self.binds.append({"session": str(session), "shortcuts": bound})
        self.write()
        token = str(options.get("handle_token", "t"))
        code = 1 if self.mode == "refuse" else 0
        return self.respond(sender, token, code, {"shortcuts": dbus.Array(
            [(i, {}) for i, _ in shortcuts], signature="(sa{sv})")})

    @dbus.service.signal(SHORTCUTS, signature="osta{sv}")
    def Activated(self, session, shortcut, timestamp, options):
        pass

    def write(self):
        tmp = self.state_file + ".tmp"
        with open(tmp, "w") as f:
            json.dump({"binds": self.binds, "closed": self.closed}, f)
        os.replace(tmp, self.state_file)


class Control(dbus.service.Object):
    def __init__(self, bus, portal, name):
        super().__init__(bus, "/io/github/talvero/TestPortal")
        self.portal = portal
        self.name = name

    @dbus.service.method(CONTROL, in_signature="s")
    def Activate(self, shortcut):
        if self.portal.session:
            self.portal.Activated(dbus.ObjectPath(self.portal.session), shortcut,
                                  dbus.UInt64(0), dbus.Dictionary({}, signature="sv"))

    @dbus.service.method(CONTROL)
    def Leave(self):
        GLib.idle_add(LOOP.quit)


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    mode = sys.argv[2][2:] if len(sys.argv) > 2 else "answer"
    portal = Portal(bus, sys.argv[1], mode)
    name = dbus.service.BusName(PORTAL, bus, do_not_queue=True)
    control = Control(bus, portal, name)
    portal.write()  # the file's appearance says the name is taken
    LOOP.run()
    del control, name


if __name__ == "__main__":
    main()
