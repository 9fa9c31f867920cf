// SPDX-License-Identifier: MIT
// The accessibility bridge: norvik on the AT-SPI2 bus, for screen readers such as Orca.
// The toolkit offers none, so norvik speaks the protocol itself (over D-Bus, with sd-bus,
// in the module norvik-a11y.so, loaded once accessibility is on). Nothing runs until the
// first frame is drawn; the program works the same without it. Built only where sd-bus is
// found (NORVIK_ACCESSIBILITY).
#ifndef NORVIK_A11Y_A11Y_H
#define NORVIK_A11Y_A11Y_H

class Fl_Window;

#ifdef NORVIK_ACCESSIBILITY

// Once the first frame is drawn: asks the session bus, without starting anything, whether
// accessibility is on, and keeps listening; joins the accessibility bus while it is.
void startAccessibility();

// Something a screen reader should say now, once, where the screen shows it another way
// (a refused paste: the bell and the flash).
void announce(const char *text);

// An event for the open popup menu, before the menu handles it: the item it highlights is
// followed from the keys and the pointer.
void followMenuEvent(int event);

// A key press or release (FL_KEYBOARD, FL_KEYUP) in `window`, before norvik acts on it: true
// where a screen reader has it now, and it goes on later (through replayKey()) unless the
// screen reader consumes it.
bool screenReaderTakesKey(int event, Fl_Window *window);

#else

inline void startAccessibility() {}
inline void announce(const char *) {}
inline void followMenuEvent(int) {}
inline bool screenReaderTakesKey(int, Fl_Window *) {
    return false;
}

#endif

#endif
