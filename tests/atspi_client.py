#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# norvik as a screen reader sees it through AT-SPI2 (pyatspi), for the tests. Commands:
#   tree            the applications on the bus, norvik's attributes, then every object,
#                   one per line: indent, role|name|states|key binding[|text, "/" between lines]
#   do NAME         the action of the object named NAME, and what it answered
#   slowkeys DELAY  a keystroke listener that takes DELAY seconds over every key and
#                   consumes none (it says "listening", then listens until stopped)
#   events SECONDS [TYPE...]
#                   the events that arrive meanwhile (of the types given, else the focus,
#                   state and name changes), one per line: type|name|detail|data
import sys
import time

import pyatspi
from gi.repository import GLib


def norvik():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "norvik":
            return app
    sys.exit("norvik is not on the accessibility bus")


def line(o):
    states = ",".join(sorted(pyatspi.stateToString(s) for s in o.getState().getStates()))
    try:
        binding = o.queryAction().getKeyBinding(0)
    except NotImplementedError:
        binding = ""
    try:  # the text line by line, which must make up the whole of it
        text = o.queryText()
        lines, offset = [], 0
        while offset < text.characterCount:
            piece, _, offset = text.getTextAtOffset(offset, pyatspi.TEXT_BOUNDARY_LINE_START)
            lines.append(piece)
        assert "".join(lines) == text.getText(0, -1), lines
        binding += "|" + "/".join(piece.rstrip("\n") for piece in lines)
    except NotImplementedError:
        pass
    return f"{o.getRoleName()}|{o.name}|{states}|{binding}".replace("\n", "\\n")


def walk(o, depth=0):
    yield "  " * depth + line(o)
    for child in o:
        yield from walk(child, depth + 1)


def named(o, name):
    if o.name == name:
        return o
    for child in o:
        found = named(child, name)
        if found is not None:
            return found
    return None


command = sys.argv[1]
if command == "tree":
    print("applications:", ",".join(a.name for a in pyatspi.Registry.getDesktop(0) if a))
    app = norvik()
    print(",".join(app.getAttributes()))
    print("\n".join(walk(app)))
elif command == "do":
    print(named(norvik(), sys.argv[2]).queryAction().doAction(0))
elif command == "slowkeys":
    def slow(event):
        time.sleep(float(sys.argv[2]))
        return False

    pyatspi.Registry.registerKeystrokeListener(
        slow, kind=(pyatspi.KEY_PRESSED_EVENT, pyatspi.KEY_RELEASED_EVENT), synchronous=True,
        preemptive=True)
    GLib.idle_add(lambda: print("listening", flush=True))
    pyatspi.Registry.start()
elif command == "events":
    def show(event):
        print(f"{event.type}|{event.source.name}|{event.detail1}|{event.any_data}", flush=True)

    pyatspi.Registry.registerEventListener(
        show, *(sys.argv[3:] or ["object:state-changed:focused", "object:state-changed:enabled",
                                 "object:state-changed:checked",
                                 "object:property-change:accessible-name", "window:activate",
                                 "window:deactivate"]))
    GLib.timeout_add(int(float(sys.argv[2]) * 1000), pyatspi.Registry.stop)
    GLib.idle_add(lambda: print("listening", flush=True))
    pyatspi.Registry.start()
