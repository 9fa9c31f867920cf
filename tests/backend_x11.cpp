// SPDX-License-Identifier: MIT
// The X11 back end of the GUI tests: a private Xvfb, XTest events on the test's own
// connection, the server's own view of windows and menus, and xclip as the other program
// on the clipboard.
#include "backend.h"
#include "xdriver.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/platform.H>
#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

class X11Backend : public Backend {
  public:
    bool wayland() const override { return false; }

    bool start() override {
        // The toolkit's own scaling stands in for a high-resolution screen.
        if (const char *scale = std::getenv("NORVIK_TEST_SCALE"))
            setenv("FLTK_SCALING_FACTOR", scale, 1);
        unsetenv("WAYLAND_DISPLAY");
        std::string name;
        server_ = startXvfb(name);
        if (server_ <= 0)
            return false;
        setenv("DISPLAY", name.c_str(), 1);
        // Windows come and go while the tests look at them (menus, closed windows): a
        // request about one that has just gone is no failure of the program.
        XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
        display_ = XOpenDisplay(name.c_str());
        useDisplay(display_);
        int ev, err, major, minor;
        if (!display_ || !XTestQueryExtension(display_, &ev, &err, &major, &minor))
            return false;
        int opcode, error, xkbMajor = XkbMajorVersion, xkbMinor = XkbMinorVersion;
        if (!XkbQueryExtension(display_, &opcode, &xkbEvent_, &error, &xkbMajor, &xkbMinor))
            return false;
        XkbSelectEvents(display_, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
        return true;
    }
    void stop() override {
        releaseClipboard();
        if (display_)
            XCloseDisplay(display_);
        useDisplay(nullptr);
        if (server_ > 0) {
            kill(server_, SIGTERM);
            waitpid(server_, nullptr, 0);
        }
    }

    bool native(Fl_Window *w, std::string &facts) override {
        XWindowAttributes a;
        const bool shown = fl_display && fl_xid(w) &&
                           XGetWindowAttributes(testDisplay(), fl_xid(w), &a) &&
                           a.map_state == IsViewable;
        facts = std::string("X11, DISPLAY=") +
                (std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "") +
                (shown ? ", mapped" : ", not mapped");
        return shown;
    }

    void focus(Fl_Window *w) override { ::focusWindow(fl_xid(w)); }
    void typeKey(unsigned long sym, unsigned modifiers) override { ::typeKey(sym, modifiers); }
    void moveTo(Fl_Window *w, int x, int y) override {
        const float s = scaleOf(w);
        ::moveTo(fl_xid(w), int(x * s), int(y * s));
    }
    void click(Fl_Window *w, int x, int y, unsigned button) override {
        const float s = scaleOf(w);
        clickAt(fl_xid(w), int(x * s), int(y * s), button);
    }
    // A round trip on each connection brings every event the server produced into the
    // toolkit's queue, which is then emptied.
    void settle() override {
        XSync(testDisplay(), False);
        XSync(fl_display, False);
        for (int i = 0; i < 200 && (XQLength(fl_display) > 0 || Fl::ready()); ++i)
            Fl::wait(0);
        Fl::wait(0.01);
    }
    void windowsChanged() override { settle(); }
    Image grab(Fl_Window *w) override {
        Fl::flush();
        XSync(fl_display, False);
        XWindowAttributes a;
        XGetWindowAttributes(testDisplay(), fl_xid(w), &a);
        Image image;
        XImage *x = XGetImage(testDisplay(), fl_xid(w), 0, 0, unsigned(a.width), unsigned(a.height),
                              AllPlanes, ZPixmap);
        if (!x)
            return image;
        image.w = a.width;
        image.h = a.height;
        for (int row = 0; row < a.height; ++row)
            for (int col = 0; col < a.width; ++col)
                image.pixels.push_back(uint32_t(XGetPixel(x, col, row) & 0xFFFFFF));
        XDestroyImage(x);
        return image;
    }

    bool menuOpen() override { return openMenu() != None; }
    bool menuClosed() override { return ::menuClosed(); }
    void chooseItem(int index, int count) override { ::chooseItem(findPopup(), index, count); }

    // The keypad as a user with Num Lock on types on it: the keys' own codes, no Shift.
    void typeKeypad(const std::vector<unsigned long> &syms) override {
        Display *d = testDisplay();
        XkbLockModifiers(d, XkbUseCoreKbd, Mod2Mask, Mod2Mask);
        for (unsigned long sym : syms) {
            const KeyCode code = XKeysymToKeycode(d, sym);
            XTestFakeKeyEvent(d, code, True, CurrentTime);
            XTestFakeKeyEvent(d, code, False, CurrentTime);
        }
        XkbLockModifiers(d, XkbUseCoreKbd, Mod2Mask, 0);
        XSync(d, False);
    }

    std::string readClipboard(bool primary) override {
        return runCollecting({"xclip", "-o", "-selection", primary ? "primary" : "clipboard"});
    }
    // Another program owning the selection until released, once the server says so.
    bool ownClipboard(const std::string &text, bool primary) override {
        owner_.stop(); // first: a new owner may get the old one's window id
        const Atom atom = XInternAtom(testDisplay(), primary ? "PRIMARY" : "CLIPBOARD", False);
        const Window before = XGetSelectionOwner(testDisplay(), atom);
        return owner_.start({"xclip", "-quiet", "-selection", primary ? "primary" : "clipboard"},
                            text) &&
               waitFor(
                   [&] {
                       const Window now = XGetSelectionOwner(testDisplay(), atom);
                       return now != None && now != before;
                   },
                   [] { Fl::wait(0.005); });
    }
    void releaseClipboard() override { owner_.stop(); }
    void pauseClipboard(bool paused) override { owner_.signal(paused ? SIGSTOP : SIGCONT); }

    bool windowShown(const char *title) override {
        XWindowAttributes a;
        const Window w = findWindow(title);
        return w != None && XGetWindowAttributes(testDisplay(), w, &a) && a.map_state == IsViewable;
    }
    void focusWindow(const char *title) override { ::focusWindow(findWindow(title)); }
    void clickWindow(const char *title, int x, int y, unsigned button) override {
        clickAt(findWindow(title), x, y, button);
    }
    // As a window manager does when the user closes the window: WM_DELETE_WINDOW.
    void closeWindow(const char *title) override {
        Display *d = testDisplay();
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = findWindow(title);
        e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(d, e.xclient.window, False, NoEventMask, &e);
        XSync(d, False);
    }
    std::string identity(const char *title) override {
        XClassHint hint{};
        if (!XGetClassHint(testDisplay(), findWindow(title), &hint))
            return "no class";
        XWindowAttributes a{};
        XGetWindowAttributes(testDisplay(), findWindow(title), &a);
        const std::string id = std::string(hint.res_name) + "/" + hint.res_class + ", X11, " +
                               std::to_string(a.width) + "x" + std::to_string(a.height);
        XFree(hint.res_name);
        XFree(hint.res_class);
        return id;
    }
    // A right click that opens no menu is tried again, up to three times: now and then the
    // toolkit takes XTest's zero-length click for the end of a drag.
    bool chooseFromMenu(const char *title, int x, int y, int index, int count) override {
        Window menu = None;
        for (int attempt = 0; attempt < 3 && menu == None; ++attempt) {
            clickAt(findWindow(title), x, y, 3);
            waitFor([&] { return (menu = openMenu()) != None; }, [] { usleep(2000); }, 1);
        }
        if (menu == None)
            return false;
        ::chooseItem(menu, index, count);
        return waitFor(::menuClosed, [] { usleep(2000); });
    }

    int bells() override {
        XSync(testDisplay(), False);
        int rung = 0;
        for (XEvent e; XCheckTypedEvent(testDisplay(), xkbEvent_, &e);)
            rung += reinterpret_cast<XkbEvent *>(&e)->any.xkb_type == XkbBellNotify;
        return rung;
    }

  private:
    pid_t server_ = -1;
    ClipboardOwner owner_;
    Display *display_ = nullptr;
    int xkbEvent_ = 0;
};

} // namespace

Backend *makeX11Backend() {
    return new X11Backend;
}
