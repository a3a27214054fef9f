#!/usr/bin/python3
"""Reads a running program's accessibility tree over AT-SPI, as a screen
reader would. Needs the session bus and the accessibility bus that
tests/e2e/atspi_env.sh starts, and Debian's python3-pyatspi.

    atspi_tool.py tree PID                   print every object: role, name,
                                             description, states
    atspi_tool.py names PID NAME...          exit 1 (listing them) unless an
                                             object bears each name
    atspi_tool.py unnamed PID                list focusable objects, menus and
                                             menu items with no name; exit 1
                                             when there are any
    atspi_tool.py text PID NAME              print the text of the object
                                             with that name (a text box)
    atspi_tool.py wait-text PID NAME TEXT [SECONDS]
                                             wait until that text is TEXT
    atspi_tool.py wait-match PID NAME REGEX [SECONDS]
                                             wait until the whole text matches
                                             the Python regular expression
    atspi_tool.py description PID NAME       print the object's description
    atspi_tool.py selection PID NAME         print a text box's first selection
                                             as START<TAB>END<TAB>TEXT
    atspi_tool.py wait-selection PID NAME SELECTION [SECONDS]
                                             wait until that selection (as
                                             printed by selection) is SELECTION
    atspi_tool.py name-starting PID PREFIX [SECONDS]
                                             wait for an object whose name
                                             begins with PREFIX (a label of
                                             several lines) and print its name
    atspi_tool.py rows PID NAME              print the name of each row of a
                                             list or table, one a line
    atspi_tool.py wait-description PID NAME TEXT [SECONDS]
                                             wait until the description is TEXT
    atspi_tool.py checked PID ROLE NAME      print "checked" or "unchecked"
    atspi_tool.py focused PID                print the focused object as
                                             ROLE:NAME
    atspi_tool.py click PID NAME             click the middle of the object
                                             with the real mouse (xdotool)
    atspi_tool.py press PID NAME             do the object's first action (a
                                             button's or menu item's press);
                                             returns when the program has
                                             handled it, so after a modal
                                             window has closed
    atspi_tool.py type PID NAME TEXT         insert TEXT at the end of a text
                                             box, as an input method does
    atspi_tool.py events PID SECONDS COMMAND...
                                             run COMMAND (a shell command),
                                             then print the program's
                                             text-changed and description
                                             events for SECONDS: one line
                                             each, "TYPE<TAB>NAME<TAB>DETAIL"
    atspi_tool.py popup PID SECONDS COMMAND...
                                             run COMMAND, then wait up to
                                             SECONDS for a popup menu of the
                                             program to show, as a screen
                                             reader hears of it: print its
                                             name, then its items' names,
                                             one a line; exit 1 when none
                                             showed
    atspi_tool.py listen PID                 print the program's text changes
                                             as they arrive until ended, one
                                             line each, "TIME<TAB>TYPE<TAB>NAME"
                                             (TIME: wall time, seconds)

Objects are searched in the program whose process id is PID, those on
show first; a NAME may be given as ROLE:NAME ("text:Primary File") to tell
a text box from its label. Exits 2 when
the program never appears on the accessibility bus, 3 when a named object
is missing.
"""
import re
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

FIND_SECONDS = 20


def application(pid, seconds=FIND_SECONDS):
    deadline = time.monotonic() + seconds
    while True:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except GLib.GError:
                pass
        if time.monotonic() > deadline:
            print("no application with process id %d on the accessibility bus" % pid,
                  file=sys.stderr)
            sys.exit(2)
        time.sleep(0.2)


def walk(obj, depth=0):
    """Yields (object, depth) for obj and all its descendants."""
    yield obj, depth
    try:
        count = obj.childCount
    except GLib.GError:
        return
    for i in range(count):
        try:
            child = obj.getChildAtIndex(i)
        except GLib.GError:
            continue
        if child is not None:
            yield from walk(child, depth + 1)


def states(obj):
    try:
        return {pyatspi.stateToString(s) for s in obj.getState().getStates()}
    except GLib.GError:
        return set()


def find(app, name, role=None, want_text=False, seconds=FIND_SECONDS):
    """The first object with the name (and role) on show, else the first
    hidden one (an item of a closed menu), waiting for one to appear. A
    window's hidden button never stands in for a shown one of that name in
    a box over it."""
    if role is None and ":" in name:
        role, name = name.split(":", 1)
    deadline = time.monotonic() + seconds
    while True:
        hidden = None
        for obj, _ in walk(app):
            try:
                if obj.name != name or (role and obj.getRoleName() != role):
                    continue
                if want_text and obj.queryText() is None:
                    continue
                if "showing" in states(obj):
                    return obj
                if hidden is None:
                    hidden = obj
            except (GLib.GError, NotImplementedError):
                continue
        if hidden is not None:
            return hidden
        if time.monotonic() > deadline:
            print("no object named %r%s" % (name, " (%s)" % role if role else ""),
                  file=sys.stderr)
            sys.exit(3)
        time.sleep(0.2)


def text_of(obj):
    text = obj.queryText()
    return text.getText(0, text.characterCount)


def cmd_tree(app, args):
    for obj, depth in walk(app):
        try:
            shown = sorted(states(obj) & {"focusable", "focused", "checked", "showing",
                                          "editable", "enabled"})
            print("%s%s %r %r [%s]" % ("  " * depth, obj.getRoleName(), obj.name,
                                        obj.description, ",".join(shown)))
        except GLib.GError:
            pass
    return 0


def cmd_names(app, args):
    deadline = time.monotonic() + FIND_SECONDS
    while True:
        present = set()
        for obj, _ in walk(app):
            try:
                present.add(obj.name)
            except GLib.GError:
                pass
        missing = [name for name in args if name not in present]
        if not missing or time.monotonic() > deadline:
            break
        time.sleep(0.3)
    for name in missing:
        print("missing: %r" % name)
    return 1 if missing else 0


def cmd_unnamed(app, args):
    bad = []
    for obj, _ in walk(app):
        try:
            role = obj.getRoleName()
            interactive = "focusable" in states(obj) or role in ("menu item", "menu",
                                                                  "check menu item")
            if interactive and not obj.name.strip():
                bad.append("%s %r" % (role, obj.description))
        except GLib.GError:
            pass
    for line in bad:
        print("unnamed: " + line)
    return 1 if bad else 0


def cmd_text(app, args):
    print(text_of(find(app, args[0], want_text=True)))
    return 0


def wait_for(app, args, what, want_text, read, matches=lambda current, expected: current == expected):
    name, expected = args[0], args[1]
    seconds = float(args[2]) if len(args) > 2 else 10
    obj = find(app, name, want_text=want_text)
    deadline = time.monotonic() + seconds
    while True:
        current = read(obj)
        if matches(current, expected):
            return 0
        if time.monotonic() > deadline:
            print("the %s of %r is %r, expected %r" % (what, name, current, expected),
                  file=sys.stderr)
            return 1
        time.sleep(0.1)


def cmd_wait_text(app, args):
    return wait_for(app, args, "text", True, text_of)


def cmd_wait_match(app, args):
    return wait_for(app, args, "text", True, text_of,
                    lambda current, pattern: re.fullmatch(pattern, current) is not None)


def cmd_wait_description(app, args):
    return wait_for(app, args, "description", False, lambda obj: obj.description)


def selection_of(obj):
    text = obj.queryText()
    if text.getNSelections() == 0:
        return ""
    start, end = text.getSelection(0)
    return "%d\t%d\t%s" % (start, end, text.getText(start, end))


def cmd_selection(app, args):
    print(selection_of(find(app, args[0], want_text=True)))
    return 0


def cmd_wait_selection(app, args):
    return wait_for(app, args, "selection", True, selection_of)


def cmd_description(app, args):
    print(find(app, args[0]).description)
    return 0


def cmd_name_starting(app, args):
    prefix = args[0]
    seconds = float(args[1]) if len(args) > 1 else 10
    deadline = time.monotonic() + seconds
    while True:
        for obj, _ in walk(app):
            try:
                if obj.name.startswith(prefix):
                    print(obj.name)
                    return 0
            except GLib.GError:
                continue
        if time.monotonic() > deadline:
            print("no object's name begins with %r" % prefix, file=sys.stderr)
            return 3
        time.sleep(0.2)


def cmd_rows(app, args):
    """A row's name is that of its first cell, which a screen reader reads
    as it moves to the row; the header's cells are left out."""
    table = find(app, args[0]).queryTable()
    for row in range(table.nRows):
        cell = table.getAccessibleAt(row, 0)
        print(cell.name if cell is not None else "")
    return 0


def cmd_focused(app, args):
    deadline = time.monotonic() + 5
    while True:
        for obj, _ in walk(app):
            try:
                if "focused" in states(obj) and obj.getRoleName() not in (
                        "menu item", "menu bar", "popup menu"):
                    print("%s:%s" % (obj.getRoleName(), obj.name))
                    return 0
            except GLib.GError:
                continue
        if time.monotonic() > deadline:
            print("nothing has the focus", file=sys.stderr)
            return 1
        time.sleep(0.1)


def cmd_click(app, args):
    obj = find(app, args[0])
    extents = obj.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    x = extents.x + extents.width // 2
    y = extents.y + extents.height // 2
    subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"], check=True)
    return 0


def cmd_press(app, args):
    action = find(app, args[0]).queryAction()
    return 0 if action.doAction(0) else 1


def cmd_type(app, args):
    obj = find(app, args[0], want_text=True)
    end = obj.queryText().characterCount
    return 0 if obj.queryEditableText().insertText(end, args[1], len(args[1])) else 1


def cmd_checked(app, args):
    obj = find(app, args[1], role=args[0])
    print("checked" if "checked" in states(obj) else "unchecked")
    return 0


def cmd_events(app, args):
    seconds = float(args[0])
    command = " ".join(args[1:])
    pid = app.get_process_id()
    seen = []

    def listener(event):
        try:
            source = event.source
            if source is None or source.get_process_id() != pid:
                return
            if event.type.startswith("object:text-changed"):
                detail = event.any_data
            else:
                detail = source.description
            seen.append("%s\t%s\t%s" % (event.type, source.name, detail))
        except GLib.GError:
            pass

    kinds = ["object:text-changed", "object:property-change:accessible-description"]
    pyatspi.Registry.registerEventListener(listener, *kinds)

    def act():
        subprocess.run(command, shell=True, check=False)
        GLib.timeout_add(int(seconds * 1000), lambda: pyatspi.Registry.stop() or False)
        return False

    # Give the registry a moment to pass the listener on to the program.
    GLib.timeout_add(500, act)
    pyatspi.Registry.start()
    pyatspi.Registry.deregisterEventListener(listener, *kinds)
    for line in seen:
        print(line.replace("\n", "\\n"))
    return 0


def cmd_popup(app, args):
    """A popup menu (a context menu) is no child of the application's
    windows: a screen reader hears of it as it shows."""
    seconds = float(args[0])
    command = " ".join(args[1:])
    pid = app.get_process_id()
    lines = []

    def listener(event):
        try:
            source = event.source
            if (lines or source is None or source.get_process_id() != pid or
                    source.getRoleName() != "popup menu" or event.detail1 != 1):
                return
            lines.append(source.name)
            for i in range(source.childCount):
                child = source.getChildAtIndex(i)
                if child is not None and child.getRoleName() != "separator":
                    lines.append(child.name)
            pyatspi.Registry.stop()
        except GLib.GError:
            pass

    pyatspi.Registry.registerEventListener(listener, "object:state-changed:showing")

    def act():
        subprocess.run(command, shell=True, check=False)
        GLib.timeout_add(int(seconds * 1000), lambda: pyatspi.Registry.stop() or False)
        return False

    GLib.timeout_add(500, act)
    pyatspi.Registry.start()
    pyatspi.Registry.deregisterEventListener(listener, "object:state-changed:showing")
    for line in lines:
        print(line)
    return 0 if lines else 1


def cmd_listen(app, args):
    """Prints each change of the program's texts as it arrives, with the wall
    time it arrived, until the tool is ended: a program's own moment for a
    key that changed a text."""
    pid = app.get_process_id()

    def listener(event):
        try:
            source = event.source
            if source is None or source.get_process_id() != pid:
                return
            print("%.4f\t%s\t%s" % (time.time(), event.type, source.name), flush=True)
        except GLib.GError:
            pass

    pyatspi.Registry.registerEventListener(listener, "object:text-changed")
    print("listening", flush=True)
    pyatspi.Registry.start()
    return 0


COMMANDS = {
    "tree": cmd_tree,
    "names": cmd_names,
    "unnamed": cmd_unnamed,
    "text": cmd_text,
    "wait-text": cmd_wait_text,
    "wait-description": cmd_wait_description,
    "wait-match": cmd_wait_match,
    "description": cmd_description,
    "selection": cmd_selection,
    "wait-selection": cmd_wait_selection,
    "name-starting": cmd_name_starting,
    "rows": cmd_rows,
    "checked": cmd_checked,
    "click": cmd_click,
    "press": cmd_press,
    "type": cmd_type,
    "focused": cmd_focused,
    "events": cmd_events,
    "popup": cmd_popup,
    "listen": cmd_listen,
}


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in COMMANDS:
        print(__doc__, file=sys.stderr)
        return 2
    app = application(int(sys.argv[2]))
    return COMMANDS[sys.argv[1]](app, sys.argv[3:])


if __name__ == "__main__":
    sys.exit(main())
