#!/usr/bin/env python3
"""A stand-in for the desktop portal's GlobalShortcuts interface, for tests on a private
session bus. It answers like xdg-desktop-portal (a request is answered by a Response signal on
the request's object, after the call's reply) and adds org.plinkora.test.FakePortal, through
which a test reads what was bound and fires Activated.

  fake_shortcuts_portal.py [--without-global-shortcuts] [--refuse-binding] [--no-key]
                           [--never-responds]

--no-key binds without assigning a key, as some desktops do until the person picks one;
--never-responds answers calls but sends no Response, like a portal without a backend.
"""
import sys

import dbus
import dbus.lowlevel
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

PATH = "/org/freedesktop/portal/desktop"
SHORTCUTS = "org.freedesktop.portal.GlobalShortcuts"
CONTROL = "org.plinkora.test.FakePortal"
FLAGS = set(sys.argv[1:])


class Unknown(dbus.DBusException):
    _dbus_error_name = "org.freedesktop.DBus.Error.UnknownMethod"


class InvalidArgs(dbus.DBusException):
    _dbus_error_name = "org.freedesktop.DBus.Error.InvalidArgs"


class Portal(dbus.service.FallbackObject):
    def __init__(self, bus):
        super().__init__(bus, PATH)
        self.bus = bus
        self.sessions_created = 0
        self.bindings = 0
        self.open_sessions = set()
        self.last_session = ""
        self.shortcut = ("", "", "")  # id, preferred trigger, description

    def send_signal(self, path, interface, name, signature, *args):
        message = dbus.lowlevel.SignalMessage(path, interface, name)
        message.append(*args, signature=signature)
        self.bus.send_message(message)

    def request(self, sender, token, reply, response, results):
        path = "%s/request/%s/%s" % (PATH, sender[1:].replace(".", "_"), token)
        reply(dbus.ObjectPath(path))
        if "--never-responds" not in FLAGS:
            self.send_signal(path, "org.freedesktop.portal.Request", "Response", "ua{sv}",
                             dbus.UInt32(response), results)

    def offered(self):
        if "--without-global-shortcuts" in FLAGS:
            raise Unknown("Not offered by the fake portal")

    @dbus.service.method("org.freedesktop.DBus.Properties", in_signature="ss",
                         out_signature="v")
    def Get(self, interface, name):
        if "--without-global-shortcuts" in FLAGS or (interface, name) != (SHORTCUTS, "version"):
            raise InvalidArgs("No such interface")
        return dbus.UInt32(1)

    @dbus.service.method(SHORTCUTS, in_signature="a{sv}", out_signature="o",
                         sender_keyword="sender", async_callbacks=("reply", "error"))
    def CreateSession(self, options, sender, reply, error):
        self.offered()
        session = "%s/session/%s/%s" % (PATH, sender[1:].replace(".", "_"),
                                        options["session_handle_token"])
        self.sessions_created += 1
        self.open_sessions.add(session)
        self.last_session = session
        self.request(sender, options["handle_token"], reply, 0, {"session_handle": session})

    @dbus.service.method(SHORTCUTS, in_signature="oa(sa{sv})sa{sv}", out_signature="o",
                         sender_keyword="sender", async_callbacks=("reply", "error"))
    def BindShortcuts(self, session, shortcuts, parent, options, sender, reply, error):
        self.offered()
        for shortcut_id, properties in shortcuts:
            self.shortcut = (str(shortcut_id), str(properties.get("preferred_trigger", "")),
                             str(properties.get("description", "")))
        shortcut_id, trigger, description = self.shortcut
        bound = session in self.open_sessions and "--refuse-binding" not in FLAGS
        self.bindings += bound
        assigned = "" if "--no-key" in FLAGS else trigger
        shown = dbus.Array([(shortcut_id, {"description": description,
                                           "trigger_description": assigned})],
                           signature="(sa{sv})")
        self.request(sender, options["handle_token"], reply, 0 if bound else 1,
                     {"shortcuts": shown})

    @dbus.service.method("org.freedesktop.portal.Session", rel_path_keyword="path")
    def Close(self, path):
        self.open_sessions.discard(PATH + path)

    @dbus.service.method(CONTROL, out_signature="a{sv}")
    def State(self):
        shortcut_id, trigger, description = self.shortcut
        return {"sessionsCreated": dbus.Int32(self.sessions_created),
                "sessionsOpen": dbus.Int32(len(self.open_sessions)),
                "lastSession": self.last_session, "bindings": dbus.Int32(self.bindings),
                "shortcutId": shortcut_id, "trigger": trigger, "description": description}

    @dbus.service.method(CONTROL, in_signature="ss")
    def Activate(self, session, shortcut):
        """As a key press and its release would."""
        for name in ("Activated", "Deactivated"):
            self.send_signal(PATH, SHORTCUTS, name, "osta{sv}",
                             dbus.ObjectPath(session or self.last_session), shortcut,
                             dbus.UInt64(1234), dbus.Dictionary({}, signature="sv"))


class Requests(dbus.service.FallbackObject):
    @dbus.service.method("org.freedesktop.portal.Request")
    def Close(self):
        pass


dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
session_bus = dbus.SessionBus()
objects = (Portal(session_bus), Requests(session_bus, PATH + "/request"))
name = dbus.service.BusName("org.freedesktop.portal.Desktop", session_bus)
GLib.MainLoop().run()
