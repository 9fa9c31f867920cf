// SPDX-License-Identifier: MIT
// A private X server and real input on it, for the GUI tests' X11 back end, the screenshot
// tool and the benchmark: an Xvfb, windows found by title, keys typed through XTest on a
// connection of the caller's own.
#ifndef NORVIK_TESTS_XSESSION_H
#define NORVIK_TESTS_XSESSION_H

#include <X11/Xlib.h>
#include <X11/X.h>

#include <string>
#include <sys/types.h>

// Starts an Xvfb on a free display number; returns its pid and sets `name` (":N"), or -1.
pid_t startXvfb(std::string &name);

// The connection the functions below use.
void useDisplay(Display *display);
Display *testDisplay();

// The first top-level window titled `title`, or None.
Window findWindow(const char *title);

// Gives `win` the keyboard focus and moves the pointer over it.
void focusWindow(Window win);

// A press and release of the key that types `sym`, holding Shift and/or AltGr where the
// keyboard needs them for it, and `modifiers` (ShiftMask, ControlMask) besides; with
// RAW_KEY, without what the symbol needs (the keypad's digits, typed with Num Lock on).
constexpr unsigned RAW_KEY = 0x1000;
void typeKey(unsigned long sym, unsigned modifiers = 0);

// Switches the server's keyboard to an XKB layout and variant ("us", "intl"); false if
// that failed.
bool setKeyboardLayout(const char *layout, const char *variant = "");

#endif
