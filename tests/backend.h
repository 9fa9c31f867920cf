// SPDX-License-Identifier: MIT
// The display server the GUI and program tests run on, and how they drive windows there
// like a user: X11 (a private Xvfb, XTest input) or Wayland (a private headless sway, a
// virtual keyboard and pointer of the tests' own). NORVIK_TEST_BACKEND=wayland picks
// Wayland, anything else X11. A back end offers a few primitives; everything the tests
// build from them is written once, below the class.
#ifndef NORVIK_TESTS_BACKEND_H
#define NORVIK_TESTS_BACKEND_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class Fl_Widget;
class Fl_Window;

// Modifiers for typeKey(), as X names them on both back ends; RAW leaves out the Shift or
// AltGr that a symbol needs (the keypad's digits, typed with Num Lock on).
constexpr unsigned SHIFT = 1, CTRL = 4, RAW = 0x1000;

// Pixels as shown: 0xRRGGBB, row by row.
struct Image {
    int w = 0, h = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(w) + size_t(x)]; }
};

// A window's content on the screen, in the server's pixels (logical ones on Wayland).
struct Place {
    bool found = false;
    int x = 0, y = 0, w = 0, h = 0;
};

class Backend {
  public:
    virtual ~Backend() = default;
    virtual bool wayland() const = 0;

    // The server for the whole test process, up at the scale NORVIK_TEST_SCALE gives, with
    // the environment pointing at it; and gone.
    virtual bool start() = 0;
    virtual void stop() = 0;
    // Whether the toolkit shows `w` natively on this server; `facts` says what was found.
    virtual bool native(Fl_Window *w, std::string &facts) = 0;

    // A top-level window, the toolkit's or another program's, by its title; and the popup
    // menu that is open with its loop running: found (1), none (0), or unknown (-1: another
    // program's on Wayland, where the compositor tells nobody).
    virtual Place window(const char *title) = 0;
    virtual int popup(Place &menu) = 0;
    // Keyboard focus to a window; closing it as the window manager does when the user asks;
    // how the desktop knows it (X11 class or Wayland app id, and its size).
    virtual void focus(const char *title) = 0;
    virtual void close(const char *title) = 0;
    virtual std::string identity(const char *title) = 0;

    // Input: the key that types `sym` pressed and released, with the modifiers it needs and
    // `modifiers`; the pointer to (x, y) of the screen; a button pressed or released there.
    virtual void typeKey(unsigned long sym, unsigned modifiers = 0) = 0;
    virtual void pointer(double x, double y) = 0;
    virtual void button(unsigned button, bool down) = 0;
    // What the screen shows of a rectangle.
    virtual Image grab(const Place &area) = 0;
    // The programs on the other side of the clipboard (or the primary selection): one that
    // owns it with the text on its standard input, one that prints it.
    virtual std::vector<std::string> clipboardOwner(bool primary) = 0;
    virtual std::vector<std::string> clipboardReader(bool primary) = 0;

    // Everything sent so far has reached the toolkit, where it runs in this process, and the
    // toolkit has handled it.
    virtual void settle() = 0;
    // How often the bell has rung since the last call (the X server's bell; on Wayland the
    // toolkit writes BEL to standard error).
    virtual int bells() = 0;
};

Backend &backend();

// The screen scale the tests run at (NORVIK_TEST_SCALE), and the toolkit's for `w`: its
// units to the server's pixels.
double testScale();
float scaleOf(Fl_Window *w);

// Types `text` as a user on a US keyboard would: each character with its key ("H" is
// Shift+h), "\n" Return, "\b" BackSpace, "\t" Tab, and named keys in braces with
// modifiers: "{Ctrl+a}", "{Shift+Tab}", "{Escape}", "{Caps_Lock}" (pressed: the lock
// toggles), "{KP_1}" (a keypad digit, with Num Lock on for it), "{KP_Add}".
void typeText(const std::string &text);

// Clicks at (x, y) of a toolkit window, in its units, or of another program's window by
// title; the middle of a widget.
void click(Fl_Window *w, int x, int y, unsigned button = 1);
void click(const char *title, int x, int y, unsigned button = 1);
void click(Fl_Widget *w, unsigned button = 1);
// What the screen shows of a toolkit window.
Image grab(Fl_Window *w);
// After a window was shown or hidden: settled, and on Wayland also the time the compositor
// takes to place the window and to let the pointer reach what is now under it.
void windowsChanged();

// A right click at (x, y) of the window titled `title`, then item `index` of the `count`
// items of the menu it opens (-1: Escape instead). A click that opens no menu is tried again
// up to three times, after `beforeRetry`: now and then the toolkit takes a zero-length
// click for the end of a drag, and picks an item at once. Returns the right clicks it took,
// or 0 if none opened a menu or the menu did not close.
int chooseMenuItem(
    const char *title, int x, int y, int index, int count,
    const std::function<void()> &beforeRetry = [] {});
// The same with the menu opened by keys of this process's window ("{Shift+F10}") and the
// item chosen by keys; `menu` is where it opened.
bool chooseMenuItemByKeys(const char *opener, int index, int count, Place &menu);

// The clipboard as another program reads it; another program owning it with `text` until
// released; that program not answering (paused) or answering again.
std::string readClipboard(bool primary = false);
bool ownClipboard(const std::string &text, bool primary = false);
void pauseClipboard(bool paused);
void releaseClipboard();

#endif
