#!/usr/bin/python3
"""A stand-in for the desktop portal on a test's private session bus: owns
org.freedesktop.portal.Desktop, answers org.freedesktop.portal.Inhibit.Inhibit
with a request object that has org.freedesktop.portal.Request.Close, and
records every call as it comes and every answer as it goes, one tab-separated
line each:

    Inhibit <TAB> FLAGS <TAB> REASON <TAB> REQUEST_PATH
    Answer <TAB> REQUEST_PATH
    Close <TAB> REQUEST_PATH

    portal_stub.py RECORD_FILE [ANSWER_DELAY_SECONDS]

With a delay, Inhibit is answered that long after it came, as a busy portal
would: the request exists, and can be closed, from the start.

The record file is created once the name is owned, so a test that waits for
it knows the portal answers. Runs until killed.
"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PORTAL_NAME = "org.freedesktop.portal.Desktop"
PORTAL_PATH = "/org/freedesktop/portal/desktop"


class Recorder:
    def __init__(self, path):
        self.file = open(path, "w", encoding="utf-8")

    def write(self, *fields):
        self.file.write("\t".join(str(field) for field in fields) + "\n")
        self.file.flush()


class Request(dbus.service.Object):
    def __init__(self, bus, path, recorder):
        super().__init__(bus, path)
        self.path = path
        self.recorder = recorder

    @dbus.service.method("org.freedesktop.portal.Request", in_signature="", out_signature="")
    def Close(self):
        self.recorder.write("Close", self.path)
        self.remove_from_connection()


class Portal(dbus.service.Object):
    def __init__(self, bus, recorder, answer_delay):
        super().__init__(bus, PORTAL_PATH)
        self.bus = bus
        self.recorder = recorder
        self.answer_delay_ms = int(answer_delay * 1000)
        self.requests = 0

    @dbus.service.method("org.freedesktop.portal.Inhibit", in_signature="sua{sv}",
                         out_signature="o", sender_keyword="sender",
                         async_callbacks=("answer", "fail"))
    def Inhibit(self, window, flags, options, sender=None, answer=None, fail=None):
        # The portal's own form: .../request/SENDER/TOKEN, the sender's
        # unique name without its colon and with its dots as underscores.
        self.requests += 1
        path = "%s/request/%s/t%d" % (PORTAL_PATH, sender[1:].replace(".", "_"), self.requests)
        Request(self.bus, path, self.recorder)
        self.recorder.write("Inhibit", int(flags), str(options.get("reason", "")), path)

        def send_answer():
            self.recorder.write("Answer", path)
            answer(dbus.ObjectPath(path))
            return False

        GLib.timeout_add(self.answer_delay_ms, send_answer)


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__, file=sys.stderr)
        return 2
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    # Both are held for as long as the loop runs: a dropped BusName gives
    # its name back.
    name = dbus.service.BusName(PORTAL_NAME, bus, do_not_queue=True)
    answer_delay = float(sys.argv[2]) if len(sys.argv) == 3 else 0.0
    portal = Portal(bus, Recorder(sys.argv[1]), answer_delay)
    GLib.MainLoop().run()
    del name, portal
    return 0


if __name__ == "__main__":
    sys.exit(main())
