#!/usr/bin/python3
"""Asks X windows to close the way a window manager would: a WM_PROTOCOLS
client message carrying WM_DELETE_WINDOW. Needed because the test display has
no window manager to turn a click on a close button into that request.

    wm_close.py TITLE_REGEX        close every window whose whole title matches
    wm_close.py --id WINDOW_ID     close one window (decimal or 0x hex id)

Exits 0 when at least one request was sent, 1 when no window matched, 2 on a
usage or connection error.
"""
import re
import sys

from Xlib import X, display, error
from Xlib.protocol import event


def window_title(disp, win, net_wm_name, utf8):
    try:
        prop = win.get_full_property(net_wm_name, utf8)
        if prop is not None and prop.value:
            value = prop.value
            return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)
        name = win.get_wm_name()
        if isinstance(name, bytes):
            return name.decode("latin-1")
        return name
    except error.XError:
        return None


def all_windows(win):
    try:
        children = win.query_tree().children
    except error.XError:
        return
    for child in children:
        yield child
        yield from all_windows(child)


def send_close(disp, win):
    wm_protocols = disp.intern_atom("WM_PROTOCOLS")
    wm_delete = disp.intern_atom("WM_DELETE_WINDOW")
    message = event.ClientMessage(
        window=win,
        client_type=wm_protocols,
        data=(32, [wm_delete, X.CurrentTime, 0, 0, 0]),
    )
    win.send_event(message, event_mask=X.NoEventMask)


def main(argv):
    if len(argv) == 3 and argv[1] == "--id":
        selector = ("id", int(argv[2], 0))
    elif len(argv) == 2 and not argv[1].startswith("-"):
        selector = ("title", re.compile(argv[1]))
    else:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        disp = display.Display()
    except Exception as exc:  # no display, refused connection
        print(f"wm_close: cannot open the display: {exc}", file=sys.stderr)
        return 2

    if selector[0] == "id":
        targets = [disp.create_resource_object("window", selector[1])]
    else:
        net_wm_name = disp.intern_atom("_NET_WM_NAME")
        utf8 = disp.intern_atom("UTF8_STRING")
        root = disp.screen().root
        targets = []
        for win in all_windows(root):
            title = window_title(disp, win, net_wm_name, utf8)
            if title is not None and selector[1].fullmatch(title):
                targets.append(win)
    if not targets:
        print("wm_close: no matching window", file=sys.stderr)
        return 1
    for win in targets:
        send_close(disp, win)
    disp.sync()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
