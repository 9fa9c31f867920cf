// SPDX-License-Identifier: MIT
// The display server the in-process GUI tests run on, and how they drive the toolkit's own
// windows there like a user: X11 (a private Xvfb, XTest events) or Wayland (a private
// headless sway, a virtual keyboard and pointer). NORVIK_TEST_BACKEND=wayland picks
// Wayland; anything else X11. One suite, two back ends.
#ifndef NORVIK_TESTS_BACKEND_H
#define NORVIK_TESTS_BACKEND_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class Fl_Window;

// Modifiers for typeKey(), as X names them (ShiftMask, ControlMask) on both back ends.
constexpr unsigned SHIFT = 1, CTRL = 4;

// Pixels as drawn: 0xRRGGBB, row by row, at the screen's resolution.
struct Image {
    int w = 0, h = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(w) + size_t(x)]; }
};

class Backend {
  public:
    virtual ~Backend() = default;
    virtual bool wayland() const = 0;

    // The server for the whole test process: up, with the toolkit's environment pointing at
    // it, or false.
    virtual bool start() = 0;
    virtual void stop() = 0;

    // Whether `w` really is a window of this back end's server, shown by the toolkit running
    // natively on it; `facts` says what was found.
    virtual bool native(Fl_Window *w, std::string &facts) = 0;

    // Keyboard focus to `w`, the pointer over it.
    virtual void focus(Fl_Window *w) = 0;
    // A press and release of the key typing keysym `sym` (Shift added when the US keyboard
    // needs it), with `modifiers` (SHIFT, CTRL) held.
    virtual void typeKey(unsigned long sym, unsigned modifiers = 0) = 0;
    // The pointer to (x, y) of `w`, in the toolkit's units (scaled windows included).
    virtual void moveTo(Fl_Window *w, int x, int y) = 0;
    virtual void click(Fl_Window *w, int x, int y, unsigned button = 1) = 0;
    // Everything sent so far has reached the toolkit, and the toolkit has handled it.
    virtual void settle() = 0;
    // After a window of the toolkit's was shown or hidden: as settle(), and on Wayland also
    // the time the compositor takes to place the window (it moves once) and to let the
    // pointer reach what is now under it, about 0.3 s.
    virtual void windowsChanged() = 0;
    // What the server shows of `w`, at the screen's resolution.
    virtual Image grab(Fl_Window *w) = 0;

    // A popup menu (or tooltip) is shown, and for a menu its loop runs; none is left.
    virtual bool menuOpen() = 0;
    virtual bool menuClosed() = 0;
    // A click on item `index` of the `count` equally high items of the open menu.
    virtual void chooseItem(int index, int count) = 0;

    // Keys of the numeric keypad (KP_1, KP_Add, KP_Enter...) with Num Lock on.
    virtual void typeKeypad(const std::vector<unsigned long> &syms) = 0;

    // The clipboard (or X11's primary selection) as another program reads it, and another
    // program owning it with `text` until releaseClipboard(). The toolkit keeps running
    // while they wait. Wayland has no primary selection here.
    virtual std::string readClipboard(bool primary = false) = 0;
    virtual bool ownClipboard(const std::string &text, bool primary = false) = 0;
    virtual void releaseClipboard() = 0;
    // The program owning the clipboard stops answering (as one that hangs), or goes on.
    virtual void pauseClipboard(bool paused) = 0;
    // Another program's windows, known by their titles: shown (mapped), given the keyboard
    // focus, clicked at (x, y) of their own, closed as the window manager or compositor
    // closes them when the user asks.
    virtual bool windowShown(const char *title) = 0;
    virtual void focusWindow(const char *title) = 0;
    virtual void clickWindow(const char *title, int x, int y, unsigned button = 1) = 0;
    virtual void closeWindow(const char *title) = 0;
    // How the desktop knows the window: its X11 class ("name/Class") or its Wayland app id,
    // and the kind of window it is.
    virtual std::string identity(const char *title) = 0;
    // A right click at (x, y) of the window, then a click on item `index` of the `count`
    // items of the menu it opens; false if no menu opened.
    virtual bool chooseFromMenu(const char *title, int x, int y, int index, int count) = 0;

    // How often the toolkit has rung the bell since the last call (the X server's bell; on
    // Wayland the toolkit writes BEL to standard error).
    virtual int bells() = 0;
};

Backend &backend();

// Waits up to `seconds` for `done`, the toolkit running meanwhile.
bool waitWhileRunning(const std::function<bool()> &done, double seconds = 5);

// What `argv` writes on its standard output until it ends (its input is empty), the
// toolkit running meanwhile: the program may ask it for a selection it owns.
std::string runCollecting(const std::vector<const char *> &argv);

// Another program offering `text` on a clipboard for as long as it runs (xclip, wl-copy):
// the text goes to its standard input from a file of its own.
class ClipboardOwner {
  public:
    bool start(const std::vector<const char *> &argv, const std::string &text);
    void stop();
    void signal(int number);

  private:
    int pid_ = -1;
    char file_[32] = {};
};

// The toolkit's scale factor for `w`: its units to logical pixels of the server.
float scaleOf(Fl_Window *w);

#endif
