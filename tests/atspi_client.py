#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# norvik as a screen reader sees it through AT-SPI2 (pyatspi), for the tests. Commands:
#   tree            the applications on the bus, norvik's attributes, then every object,
#                   one per line: indent, role|name|states|key binding[|text, "/" between
#                   lines][|member of its group's members|its place in it]
#   do NAME         the action of the object named NAME, and what it answered
#   places COORDS   where things are, in window (and with "screen", screen) coordinates: each
#                   window's children inside it, in reading order, each found at its centre;
#                   each text's lines one under another, each character found at its centre.
#                   A line per fault, then how many objects and characters it looked at
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
    for relation in o.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_MEMBER_OF:
            group = (relation.getTarget(i).name for i in range(relation.getNTargets()))
            attributes = dict(a.split(":", 1) for a in o.getAttributes())
            binding += f"|member of {','.join(group)}|{attributes['posinset']} of {attributes['setsize']}"
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
elif command == "places":
    faults, objects, characters = [], 0, 0
    kinds = [pyatspi.XY_WINDOW] + ([pyatspi.XY_SCREEN] if "screen" in sys.argv[2] else [])
    for window in norvik():
        _, _, width, height = window.queryComponent().getExtents(pyatspi.XY_WINDOW)
        last = None
        for child in window:
            objects += 1
            x, y, w, h = child.queryComponent().getExtents(pyatspi.XY_WINDOW)
            if x < 0 or y < 0 or w <= 0 or h <= 0 or x + w > width or y + h > height:
                faults.append(f"{child.name}: {x},{y} {w}x{h} outside {width}x{height}")
            if last is not None:  # in a row if not half its height off the one before
                row = abs(y - last[0]) < min(h, last[2]) // 2
                if (row and x <= last[1]) or (not row and y < last[0]):
                    faults.append(f"{child.name}: before the object it follows")
            last = (y, x, h)
            for kind in kinds:
                x, y, w, h = child.queryComponent().getExtents(kind)
                at = window.queryComponent().getAccessibleAtPoint(x + w // 2, y + h // 2, kind)
                if at is None or at.name != child.name:
                    faults.append(f"{child.name}: not at its centre ({kind})")
            if not child.getState().contains(pyatspi.STATE_MULTI_LINE):
                continue  # a window's text, laid out line by line
            text, offset, bottom = child.queryText(), 0, None
            while offset < text.characterCount:
                piece, start, offset = text.getTextAtOffset(offset, pyatspi.TEXT_BOUNDARY_LINE_START)
                end = start + len(piece.rstrip("\n"))
                _, y, _, h = text.getRangeExtents(start, end, pyatspi.XY_WINDOW)
                if bottom is not None and y < bottom:
                    faults.append(f"{piece!r}: not below the line before it")
                bottom = y + h
                for at in range(start, end):
                    characters += 1
                    x, y, w, h = text.getCharacterExtents(at, pyatspi.XY_WINDOW)
                    if text.getOffsetAtPoint(x + w // 2, y + h // 2, pyatspi.XY_WINDOW) != at:
                        faults.append(f"{piece!r}: character {at - start} not at its centre")
    print("\n".join(faults + [f"looked at {objects} objects, {characters} characters"]))
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
