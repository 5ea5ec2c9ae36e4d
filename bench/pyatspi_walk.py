#!/usr/bin/python3
"""The observe walk written over pyatspi: the same reads in the same order (shown state, extents, role,
actions when the role is not clickable, enabled, name, description, text), depth 20, from each window of
the application with the given pid. Prints the walk's wall time in seconds and the number collected."""
import sys
import time

import pyatspi

CLICKABLE = {"push button", "toggle button", "check box", "radio button", "link", "menu item", "menu",
             "check menu item", "radio menu item", "entry", "password text", "text", "combo box", "slider",
             "spin button", "page tab"}
PRESS = {"click", "press", "activate", "toggle", "jump", "open"}


def walk(obj, depth, found):
    if depth > 20 or obj is None:
        return
    states = obj.getState()
    if not (states.contains(pyatspi.STATE_SHOWING) or states.contains(pyatspi.STATE_VISIBLE)):
        return
    try:
        e = obj.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        frame = (e.x, e.y, e.width, e.height)
    except NotImplementedError:
        frame = None
    if frame and frame[2] > 0 and frame[3] > 0:
        role = obj.getRoleName()
        candidate = role in CLICKABLE
        if not candidate:
            try:
                action = obj.queryAction()
                candidate = any(action.getName(i) in PRESS for i in range(action.nActions))
            except NotImplementedError:
                pass
        if candidate and obj.getState().contains(pyatspi.STATE_SENSITIVE):
            label = obj.name or obj.description
            if not label:
                try:
                    label = obj.queryText().getText(0, 400)
                except NotImplementedError:
                    label = ""
            found.append((role, label, frame))
    for child in obj:
        walk(child, depth + 1, found)


def main():
    pid = int(sys.argv[1])
    start = time.monotonic()
    found = []
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == pid:
            for window in app:
                walk(window, 0, found)
    print(f"{time.monotonic() - start:.4f} {len(found)}")


main()
