// SPDX-License-Identifier: MIT
#include "xsession.h"
#include "process.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

Display *s_display = nullptr;

} // namespace

pid_t startXvfb(std::string &name) {
    // Xvfb writes its display number on -displayfd once it accepts connections.
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    const pid_t pid = spawn({"Xvfb", "-displayfd", std::to_string(ready[1]), "-nolisten", "tcp",
                             "-screen", "0", "1024x768x24", "-noreset"});
    close(ready[1]);
    std::string number;
    char c;
    while (read(ready[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(ready[0]);
    if (pid < 0 || number.empty())
        return -1;
    name = ":" + number;
    return pid;
}

void useDisplay(Display *display) {
    s_display = display;
}

Display *testDisplay() {
    return s_display;
}

namespace {

// The first window titled `title` under `under`, a level at a time: a window manager puts
// the top-level windows into frames of its own.
Window findUnder(Window under, const char *title, int levels) {
    Window root, parent, *children = nullptr, found = None;
    unsigned count = 0;
    if (!XQueryTree(s_display, under, &root, &parent, &children, &count))
        return None;
    for (unsigned i = 0; i < count && found == None; ++i) {
        char *name = nullptr;
        if (XFetchName(s_display, children[i], &name) && name) {
            if (std::strcmp(name, title) == 0)
                found = children[i];
            XFree(name);
        }
    }
    for (unsigned i = 0; i < count && found == None && levels > 1; ++i)
        found = findUnder(children[i], title, levels - 1);
    if (children)
        XFree(children);
    return found;
}

} // namespace

Window findWindow(const char *title) {
    return findUnder(DefaultRootWindow(s_display), title, 3);
}

void focusWindow(Window win) {
    XWindowAttributes a;
    XGetWindowAttributes(s_display, win, &a);
    XWarpPointer(s_display, None, win, 0, 0, 0, 0, a.width / 2, a.height / 2);
    XSetInputFocus(s_display, win, RevertToPointerRoot, CurrentTime);
    XSync(s_display, False);
}

void typeKey(unsigned long sym, unsigned modifiers) {
    const KeyCode code = XKeysymToKeycode(s_display, sym);
    if (code == 0) {
        std::fprintf(stderr, "no key types keysym 0x%lx\n", sym);
        return;
    }
    // The level of the key that gives `sym`: 1 wants Shift, 2 AltGr, 3 both.
    int level = 0;
    while (!(modifiers & RAW_KEY) && level < 4 &&
           XkbKeycodeToKeysym(s_display, code, 0, level) != sym)
        ++level;
    level = level == 4 || (modifiers & RAW_KEY) ? 0 : level;
    const KeyCode held[] = {
        KeyCode((modifiers & ControlMask) ? XKeysymToKeycode(s_display, XK_Control_L) : 0),
        KeyCode((modifiers & ShiftMask) || (level & 1) ? XKeysymToKeycode(s_display, XK_Shift_L)
                                                       : 0),
        KeyCode((level & 2) ? XKeysymToKeycode(s_display, XK_ISO_Level3_Shift) : 0),
    };
    for (KeyCode k : held)
        if (k != 0)
            XTestFakeKeyEvent(s_display, k, True, CurrentTime);
    XTestFakeKeyEvent(s_display, code, True, CurrentTime);
    XTestFakeKeyEvent(s_display, code, False, CurrentTime);
    for (KeyCode k : held)
        if (k != 0)
            XTestFakeKeyEvent(s_display, k, False, CurrentTime);
    XSync(s_display, False);
}

bool setKeyboardLayout(const char *layout, const char *variant) {
    if (exitStatus(spawn({"setxkbmap", "-display", DisplayString(s_display), "-layout", layout,
                          "-variant", variant})) != 0)
        return false;
    // The keymap this connection has cached is stale now.
    XSync(s_display, False);
    for (XEvent e; XCheckTypedEvent(s_display, MappingNotify, &e);)
        XRefreshKeyboardMapping(&e.xmapping);
    return true;
}
