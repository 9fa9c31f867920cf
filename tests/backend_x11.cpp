// SPDX-License-Identifier: MIT
// The X11 back end: a private Xvfb, XTest input on the tests' own connection, the server's
// own view of windows and menus, and xclip as the other program on the clipboard.
#include "backend.h"
#include "process.h"
#include "xsession.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <cstdlib>
#include <string>

static_assert(SHIFT == ShiftMask && CTRL == ControlMask && RAW == RAW_KEY,
              "the tests' modifiers are X's");

namespace {

// Windows come and go while the tests look at them (menus, closed windows): a request about
// one that has just gone is no failure of the program. The toolkit, in the same process,
// installs a handler that prints every error: this one holds while a look lasts.
struct QuietErrors {
    XErrorHandler toolkits = XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
    ~QuietErrors() {
        XSync(testDisplay(), False);
        XSetErrorHandler(toolkits);
    }
};

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
        Display *d = XOpenDisplay(name.c_str());
        useDisplay(d);
        int event, error, major, minor, opcode, xkbMajor = XkbMajorVersion,
                                                xkbMinor = XkbMinorVersion;
        if (!d || !XTestQueryExtension(d, &event, &error, &major, &minor) ||
            !XkbQueryExtension(d, &opcode, &xkbEvent_, &error, &xkbMajor, &xkbMinor))
            return false;
        XkbSelectEvents(d, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
        return true;
    }
    void stop() override {
        releaseClipboard();
        if (testDisplay())
            XCloseDisplay(testDisplay());
        useDisplay(nullptr);
        stopProgram(server_);
    }

    bool native(Fl_Window *w, std::string &facts) override {
        XWindowAttributes a;
        const bool shown = fl_display && fl_xid(w) &&
                           XGetWindowAttributes(testDisplay(), fl_xid(w), &a) &&
                           a.map_state == IsViewable;
        facts = std::string("X11, DISPLAY=") + std::getenv("DISPLAY") +
                (shown ? ", mapped" : ", not mapped");
        return shown;
    }

    Place window(const char *title) override {
        QuietErrors quiet;
        return placeOf(findWindow(title));
    }
    int popup(Place &menu) override {
        QuietErrors quiet;
        menu = placeOf(findPopup());
        return menu.found && pointerGrabbed() ? 1 : 0;
    }
    void focus(const char *title) override {
        if (window(title).found)
            focusWindow(findWindow(title));
    }
    void close(const char *title) override {
        // As a window manager does when the user closes the window: WM_DELETE_WINDOW.
        Display *d = testDisplay();
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = findWindow(title);
        e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
        XSendEvent(d, e.xclient.window, False, NoEventMask, &e);
        XSync(d, False);
    }
    std::string identity(const char *title) override {
        XClassHint hint{};
        if (!XGetClassHint(testDisplay(), findWindow(title), &hint))
            return "no class";
        const Place p = window(title);
        const std::string id = std::string(hint.res_name) + "/" + hint.res_class + ", X11, " +
                               std::to_string(p.w) + "x" + std::to_string(p.h);
        XFree(hint.res_name);
        XFree(hint.res_class);
        return id;
    }

    void typeKey(unsigned long sym, unsigned modifiers) override { ::typeKey(sym, modifiers); }
    void pointer(double x, double y) override {
        XTestFakeMotionEvent(testDisplay(), -1, int(x), int(y), CurrentTime);
        XSync(testDisplay(), False);
    }
    void button(unsigned button, bool down) override {
        XTestFakeButtonEvent(testDisplay(), button, down, CurrentTime);
        XSync(testDisplay(), False);
    }
    Image grab(const Place &area) override {
        Display *d = testDisplay();
        const Place all{true, 0, 0, DisplayWidth(d, 0), DisplayHeight(d, 0)};
        const Place &a = area.found ? area : all;
        Image image;
        XImage *x = XGetImage(d, DefaultRootWindow(d), a.x, a.y, unsigned(a.w), unsigned(a.h),
                              AllPlanes, ZPixmap);
        if (!x)
            return image;
        image.w = a.w;
        image.h = a.h;
        for (int row = 0; row < a.h; ++row)
            for (int col = 0; col < a.w; ++col)
                image.pixels.push_back(uint32_t(XGetPixel(x, col, row) & 0xFFFFFF));
        XDestroyImage(x);
        return image;
    }
    std::vector<std::string> clipboardOwner(bool primary) override {
        return {"xclip", "-quiet", "-selection", primary ? "primary" : "clipboard"};
    }
    std::vector<std::string> clipboardReader(bool primary) override {
        return {"xclip", "-o", "-selection", primary ? "primary" : "clipboard"};
    }

    // A round trip on each connection brings every event the server produced into the
    // toolkit's queue, which is then emptied.
    void settle() override {
        XSync(testDisplay(), False);
        if (fl_display == nullptr)
            return;
        XSync(fl_display, False);
        for (int i = 0; i < 200 && (XQLength(fl_display) > 0 || Fl::ready()); ++i)
            Fl::wait(0);
        Fl::wait(0.01);
    }
    int bells() override {
        XSync(testDisplay(), False);
        int rung = 0;
        for (XEvent e; XCheckTypedEvent(testDisplay(), xkbEvent_, &e);)
            rung += reinterpret_cast<XkbEvent *>(&e)->any.xkb_type == XkbBellNotify;
        return rung;
    }

  private:
    static Place placeOf(Window w) {
        Place p;
        XWindowAttributes a;
        Window child;
        if (w == None || !XGetWindowAttributes(testDisplay(), w, &a) || a.map_state != IsViewable)
            return p; // shown only once mapped (a window manager maps it a moment later)
        XTranslateCoordinates(testDisplay(), w, DefaultRootWindow(testDisplay()), 0, 0, &p.x, &p.y,
                              &child);
        p.found = true;
        p.w = a.width;
        p.h = a.height;
        return p;
    }
    // The topmost mapped override-redirect top-level window on the screen: a popup menu, or
    // None.
    static Window findPopup() {
        Display *d = testDisplay();
        Window root, parent, *children = nullptr, found = None;
        unsigned count = 0;
        if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count))
            return None;
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes a;
            if (XGetWindowAttributes(d, children[i], &a) && a.override_redirect &&
                a.map_state == IsViewable && a.width > 1 && a.height > 1 && a.x >= 0 && a.y >= 0)
                found = children[i]; // not a window manager's own, off screen or a pixel big
        }
        if (children)
            XFree(children);
        return found;
    }
    // Whether some client holds the pointer grabbed, as an open menu does until its loop
    // ends.
    static bool pointerGrabbed() {
        Display *d = testDisplay();
        const int result = XGrabPointer(d, DefaultRootWindow(d), False, ButtonPressMask,
                                        GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
        if (result == GrabSuccess)
            XUngrabPointer(d, CurrentTime);
        XSync(d, False);
        return result == AlreadyGrabbed;
    }

    pid_t server_ = -1;
    int xkbEvent_ = 0;
};

} // namespace

Backend *makeX11Backend() {
    return new X11Backend;
}
