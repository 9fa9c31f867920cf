// SPDX-License-Identifier: MIT
// Starting a private Xvfb (on a display number found free through -displayfd, so several
// may run at once) and the XTest helpers that drive windows on it.
#include "xdriver.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

Display *s_display = nullptr;

void roundTrip() {
    XSync(s_display, False);
}

} // namespace

pid_t startXvfb(std::string &name) {
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        std::string fd = std::to_string(ready[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
               "1024x768x24", "-noreset", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    // Xvfb writes its display number once it accepts connections.
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

pid_t startProgram(const char *path, const std::string &display) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("DISPLAY", display.c_str(), 1);
        int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        execl(path, path, static_cast<char *>(nullptr));
        _exit(127);
    }
    return pid;
}

void useDisplay(Display *display) {
    s_display = display;
}

Display *testDisplay() {
    return s_display;
}

bool waitFor(const std::function<bool()> &done, const std::function<void()> &step, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return done();
        step();
    }
    return true;
}

void focusWindow(Window win) {
    XWindowAttributes a;
    XGetWindowAttributes(s_display, win, &a);
    XWarpPointer(s_display, None, win, 0, 0, 0, 0, a.width / 2, a.height / 2);
    XSetInputFocus(s_display, win, RevertToPointerRoot, CurrentTime);
    roundTrip();
}

void typeKey(unsigned long sym, unsigned extra) {
    KeyCode code = XKeysymToKeycode(s_display, sym);
    if (code == 0) {
        std::fprintf(stderr, "no key types keysym 0x%lx\n", sym);
        return;
    }
    // The level of the key that gives `sym`: 1 wants Shift, 2 AltGr, 3 both.
    int level = 0;
    while (level < 4 && XkbKeycodeToKeysym(s_display, code, 0, level) != sym)
        ++level;
    level = level == 4 ? 0 : level;
    const bool shift = (extra & ShiftMask) || (level & 1);
    const KeyCode held[] = {
        KeyCode((extra & ControlMask) ? XKeysymToKeycode(s_display, XK_Control_L) : 0),
        KeyCode(shift ? XKeysymToKeycode(s_display, XK_Shift_L) : 0),
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
    roundTrip();
}

bool setKeyboardLayout(const char *layout, const char *variant) {
    const std::string command = std::string("setxkbmap -display '") + DisplayString(s_display) +
                                "' -layout " + layout + " -variant '" + variant + "'";
    if (std::system(command.c_str()) != 0)
        return false;
    // The keymap this connection has cached is stale now.
    XSync(s_display, False);
    for (XEvent e; XCheckTypedEvent(s_display, MappingNotify, &e);)
        XRefreshKeyboardMapping(&e.xmapping);
    return true;
}

void moveTo(Window win, int x, int y) {
    int rootX, rootY;
    Window child;
    XTranslateCoordinates(s_display, win, DefaultRootWindow(s_display), x, y, &rootX, &rootY,
                          &child);
    XTestFakeMotionEvent(s_display, -1, rootX, rootY, CurrentTime);
    roundTrip();
}

void clickAt(Window win, int x, int y, unsigned button) {
    moveTo(win, x, y);
    XTestFakeButtonEvent(s_display, button, True, CurrentTime);
    XTestFakeButtonEvent(s_display, button, False, CurrentTime);
    roundTrip();
}

Window findWindow(const char *title) {
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window found = None;
    if (!XQueryTree(s_display, DefaultRootWindow(s_display), &root, &parent, &children, &count))
        return None;
    for (unsigned i = 0; i < count && found == None; ++i) {
        char *name = nullptr;
        if (XFetchName(s_display, children[i], &name) && name) {
            if (std::strcmp(name, title) == 0)
                found = children[i];
            XFree(name);
        }
    }
    if (children)
        XFree(children);
    return found;
}

Window findPopup() {
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window found = None;
    if (!XQueryTree(s_display, DefaultRootWindow(s_display), &root, &parent, &children, &count))
        return None;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(s_display, children[i], &a) && a.override_redirect &&
            a.map_state == IsViewable)
            found = children[i]; // the topmost one
    }
    if (children)
        XFree(children);
    return found;
}

bool pointerGrabbed() {
    Window root = DefaultRootWindow(s_display);
    int result = XGrabPointer(s_display, root, False, ButtonPressMask, GrabModeAsync, GrabModeAsync,
                              None, None, CurrentTime);
    if (result == GrabSuccess)
        XUngrabPointer(s_display, CurrentTime);
    XSync(s_display, False);
    return result == AlreadyGrabbed;
}

Window openMenu() {
    Window menu = findPopup();
    return menu != None && pointerGrabbed() ? menu : None;
}

bool menuClosed() {
    return findPopup() == None && !pointerGrabbed();
}

void chooseItem(Window popup, int index, int count) {
    XWindowAttributes a;
    XGetWindowAttributes(s_display, popup, &a);
    clickAt(popup, a.width / 2, a.height * (2 * index + 1) / (2 * count));
}
