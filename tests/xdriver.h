// SPDX-License-Identifier: MIT
// Driving real windows on a private X server: starting an Xvfb, and real key and button
// events through XTest on a connection of the caller's own.
#ifndef NORVIK_TESTS_XDRIVER_H
#define NORVIK_TESTS_XDRIVER_H

#include <X11/Xlib.h>

#include <functional>

#include <string>
#include <sys/types.h>

// Starts an Xvfb on a free display number; returns its pid and sets `name` (":N"), or
// returns -1.
pid_t startXvfb(std::string &name);

// Starts `path` with DISPLAY set to `display` and its output thrown away; returns its pid.
pid_t startProgram(const char *path, const std::string &display);

// The connection the helpers below use: the test's own to the private server.
void useDisplay(Display *display);
Display *testDisplay();

// Runs `step` and checks `done` until it holds or `seconds` pass; returns done().
bool waitFor(const std::function<bool()> &done, const std::function<void()> &step,
             double seconds = 5);

// Gives `win` the keyboard focus and moves the pointer over it.
void focusWindow(Window win);

// One key press and release of the key that types `sym`, with Shift and/or AltGr held if
// the keyboard needs them for that symbol; `extra` is ShiftMask and/or ControlMask to hold
// as well.
void typeKey(unsigned long sym, unsigned extra = 0);

// Switches the server's keyboard to an XKB layout and variant ("us", "intl") with
// setxkbmap; false if that failed.
bool setKeyboardLayout(const char *layout, const char *variant = "");

// Moves the pointer to (x, y) relative to `win`.
void moveTo(Window win, int x, int y);

// A press and release of `button` at (x, y) relative to `win`.
void clickAt(Window win, int x, int y, unsigned button = 1);

// The first top-level window whose name is `title`, or None.
Window findWindow(const char *title);

// A mapped override-redirect top-level window (a popup menu), or None.
Window findPopup();

// Whether some client holds the pointer grabbed, as an open menu does until its loop ends.
bool pointerGrabbed();

// The popup menu once it is mapped and its loop runs (pointer grabbed), or None.
Window openMenu();

// Whether no popup menu is mapped and its loop has ended.
bool menuClosed();

// Clicks item `index` of the `count` equally high items of the popup menu `popup`.
void chooseItem(Window popup, int index, int count);

#endif
