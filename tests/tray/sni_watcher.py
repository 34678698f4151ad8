#!/usr/bin/python3
"""A StatusNotifierWatcher for the tray tests, as a panel runs one: it takes the name
org.kde.StatusNotifierWatcher on the session bus, accepts item registrations, and after each
registration or change of an item writes what it sees (item, status, icon, title and the labels
of the item's dbusmenu) as one JSON object to the file given as its argument.

    sni_watcher.py STATE_FILE
"""
import json
import os
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"


def labels_of(layout):
    _, props, children = layout
    out = []
    for child in children:
        _, cprops, _ = child
        if cprops.get("type") == "separator":
            out.append("-")
        else:
            out.append(str(cprops.get("label", "")))
    return out


class Watcher(dbus.service.Object):
    def __init__(self, bus, state_file):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.bus = bus
        self.state_file = state_file
        self.items = {}  # "bus name + path" -> (bus name, path)

    @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        path = service if service.startswith("/") else "/StatusNotifierItem"
        name = sender if service.startswith("/") else service
        self.items[name + path] = (name, path)
        for signal in ("NewStatus", "NewIcon", "NewTitle", "NewToolTip"):
            self.bus.add_signal_receiver(lambda *a: self.write(), signal_name=signal,
                                         dbus_interface=ITEM, bus_name=name, path=path)
        self.bus.add_signal_receiver(lambda *a: self.write(), dbus_interface=MENU,
                                     bus_name=name)
        self.StatusNotifierItemRegistered(name + path)
        GLib.idle_add(self.write)

    @dbus.service.method(WATCHER, in_signature="s")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, service):
        pass

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, prop):
        return self.GetAll(interface)[prop]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {"IsStatusNotifierHostRegistered": True, "ProtocolVersion": dbus.Int32(0),
                "RegisteredStatusNotifierItems": dbus.Array(list(self.items), signature="s")}

    def write(self):
        state = {"items": []}
        for name, path in list(self.items.values()):
            entry = {"bus": name, "path": path}
            try:
                obj = self.bus.get_object(name, path)
                props = obj.GetAll(ITEM, dbus_interface=dbus.PROPERTIES_IFACE)
                for key in ("Id", "Status", "IconName", "IconThemePath", "Title", "Menu"):
                    entry[key] = str(props.get(key, ""))
                menu = self.bus.get_object(name, entry["Menu"])
                _, layout = menu.GetLayout(0, -1, [], dbus_interface=MENU)
                entry["labels"] = labels_of(layout)
                entry["ids"] = [int(c[0]) for c in layout[2]]
            except dbus.DBusException as e:
                entry["error"] = str(e)
            state["items"].append(entry)
        tmp = self.state_file + ".tmp"
        with open(tmp, "w") as f:
            json.dump(state, f)
        os.replace(tmp, self.state_file)
        return False


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    # The object first, then the name: an item that sees the name may call at once.
    watcher = Watcher(bus, sys.argv[1])
    name = dbus.service.BusName(WATCHER, bus, do_not_queue=True)
    watcher.write()  # the file's appearance says the name is taken
    GLib.MainLoop().run()
    del name, watcher


if __name__ == "__main__":
    main()
