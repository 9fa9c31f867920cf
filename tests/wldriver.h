// SPDX-License-Identifier: MIT
// Driving real windows on a private headless Wayland compositor (sway): starting it, asking
// it where windows are, and real input through a virtual keyboard and a virtual pointer of
// the test's own. The Wayland counterpart of xdriver.h.
#ifndef NORVIK_TESTS_WLDRIVER_H
#define NORVIK_TESTS_WLDRIVER_H

#include <functional>
#include <string>
#include <vector>
#include <sys/types.h>

// Starts sway with no GPU, no input devices and one 800 x 600 output (in logical pixels) at
// `scale`, in a runtime folder of its own; sets WAYLAND_DISPLAY, SWAYSOCK and
// XDG_RUNTIME_DIR in this process for it and unsets DISPLAY. Returns its pid, or -1.
pid_t startSway(double scale = 1);

// Waits up to `seconds` for `done`, sleeping between looks: for another program, with no
// toolkit loop to run.
bool wlWaitUntil(const std::function<bool()> &done, double seconds = 5);

// Ends the compositor that startSway() started and removes its runtime folder.
void stopSway(pid_t sway);

// A toplevel window as the compositor sees it.
struct SwayWindow {
    bool found = false;
    std::string appId, shell;
    int x = 0, y = 0, w = 0, h = 0; // its content, in logical pixels of the layout
};

// The first toplevel titled `title`, from the compositor's tree.
SwayWindow swayWindow(const char *title);

// The whole output as the compositor shows it, as a binary PPM (P6) image.
std::string grabScreen();

// Runs a sway command (eg. "[title=\"...\"] kill"); true if it succeeded.
bool swayCommand(const std::string &command);

// The test's own input devices, on a connection of their own; false if the compositor
// offers no virtual keyboard or pointer.
bool connectInput();

// A press and release of the key that types `sym` (an X keysym; xkbcommon's are the same)
// on a US keyboard, with Shift if that needs it; `modifiers` adds ShiftMask (1) and/or
// ControlMask (4) as X names them. Returns once the compositor has handled it.
void wlTypeKey(unsigned long sym, unsigned modifiers = 0);

// Keys of the numeric keypad (KP_1, KP_Add, KP_Enter...), typed with Num Lock on.
void wlTypeKeypad(const std::vector<unsigned long> &syms);

// Moves the pointer to (x, y) of the layout, in logical pixels.
void wlMoveTo(double x, double y);

// A press and release of `button` (1 left, 2 middle, 3 right) at (x, y) of the layout.
void wlClick(double x, double y, unsigned button = 1);

#endif
