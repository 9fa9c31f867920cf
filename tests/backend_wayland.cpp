// SPDX-License-Identifier: MIT
// The Wayland back end of the GUI tests: a private headless sway, the test's own virtual
// keyboard and pointer, the compositor's tree for where windows are, grim for what it
// shows, and wl-clipboard as the other program on the clipboard.
#include "backend.h"
#include "wldriver.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/platform.H>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

// Popups (menus, tooltips) are placed relative to the window they belong to.
bool isPopup(const Fl_Window *w) {
    return w->menu_window() || w->tooltip_window();
}

Fl_Window *shownMenu() {
    for (Fl_Window *w = Fl::first_window(); w; w = Fl::next_window(w))
        if (w->menu_window() && w->shown() && w->visible())
            return w;
    return nullptr;
}

Image parsePpm(const std::string &ppm) {
    Image image;
    int w = 0, h = 0, max = 0, used = 0;
    if (std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &w, &h, &max, &used) != 3 || max != 255)
        return image;
    const size_t start = size_t(used) + 1;
    if (ppm.size() < start + size_t(w) * size_t(h) * 3)
        return image;
    image.w = w;
    image.h = h;
    for (size_t i = 0; i < size_t(w) * size_t(h); ++i) {
        const auto *p = reinterpret_cast<const unsigned char *>(ppm.data() + start + 3 * i);
        image.pixels.push_back(uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
    }
    return image;
}

class WaylandBackend : public Backend {
  public:
    bool wayland() const override { return true; }

    bool start() override {
        const char *scale = std::getenv("NORVIK_TEST_SCALE");
        sway_ = startSway(scale ? std::atof(scale) : 1.0);
        // The toolkit rings the bell by writing BEL to standard error: pass what it writes
        // on, counting the bells.
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        stderr_ = dup(2);
        dup2(fds[1], 2);
        close(fds[1]);
        errors_ = fds[0];
        fcntl(errors_, F_SETFL, O_NONBLOCK);
        return sway_ > 0 && connectInput();
    }
    void stop() override {
        releaseClipboard();
        bells();
        dup2(stderr_, 2);
        stopSway(sway_);
    }

    // No X display to fall back on, the toolkit on a Wayland connection, and the compositor
    // showing the window as an xdg-shell toplevel.
    bool native(Fl_Window *w, std::string &facts) override {
        const SwayWindow seen = swayWindow(w->label());
        facts = std::string("DISPLAY ") + (std::getenv("DISPLAY") ? "set" : "unset") +
                ", toolkit on " + (fl_wl_display() ? "Wayland" : "no Wayland connection") +
                ", compositor: " +
                (seen.found ? seen.shell + " window, app id " + seen.appId : "no such window");
        return !std::getenv("DISPLAY") && fl_wl_display() && fl_wl_xid(w) && seen.found &&
               seen.shell == "xdg_shell";
    }

    // The compositor gives the keyboard to the window under the pointer.
    void focus(Fl_Window *w) override {
        moveTo(w, w->w() / 2, w->h() / 2);
        settle();
    }
    void typeKey(unsigned long sym, unsigned modifiers) override { wlTypeKey(sym, modifiers); }
    void moveTo(Fl_Window *w, int x, int y) override {
        double X, Y;
        where(w, x, y, X, Y);
        wlMoveTo(X, Y);
    }
    void click(Fl_Window *w, int x, int y, unsigned button) override {
        double X, Y;
        where(w, x, y, X, Y);
        wlClick(X, Y, button);
    }
    // The compositor has our events (each input call ends with a round trip); a round trip
    // on the toolkit's connection brings in what the compositor sent it, then the toolkit
    // handles it.
    void settle() override {
        drainErrors();
        Fl::flush();
        wl_display_roundtrip(fl_wl_display());
        for (int i = 0; i < 200 && Fl::ready(); ++i)
            Fl::wait(0);
        Fl::wait(0.01);
    }
    void windowsChanged() override {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        waitWhileRunning([&] { return std::chrono::steady_clock::now() > end; });
        settle();
    }
    // grim writes what the compositor shows of the area, at the output's scale. Without a
    // cursor plane the pointer is drawn into the picture: it goes to a corner first.
    Image grab(Fl_Window *w) override {
        Fl::flush();
        wlMoveTo(0, 0);
        settle();
        double X, Y;
        where(w, 0, 0, X, Y);
        const float s = scaleOf(w);
        char geometry[64];
        std::snprintf(geometry, sizeof geometry, "%d,%d %dx%d", int(X), int(Y),
                      int(w->w() * s + 0.5f), int(w->h() * s + 0.5f));
        return parsePpm(runCollecting({"grim", "-t", "ppm", "-g", geometry, "-"}));
    }

    bool menuOpen() override { return shownMenu() != nullptr && Fl::grab() != nullptr; }
    bool menuClosed() override { return shownMenu() == nullptr && Fl::grab() == nullptr; }
    void chooseItem(int index, int count) override {
        if (Fl_Window *menu = shownMenu())
            click(menu, menu->w() / 2, menu->h() * (2 * index + 1) / (2 * count), 1);
    }

    void typeKeypad(const std::vector<unsigned long> &syms) override { wlTypeKeypad(syms); }

    std::string readClipboard(bool primary) override {
        if (primary)
            return "(no primary selection on Wayland)";
        return runCollecting({"wl-paste", "--no-newline"});
    }
    bool ownClipboard(const std::string &text, bool primary) override {
        // Owned once another reader gets the text back (an empty text reads as nothing).
        return !primary &&
               owner_.start({"wl-copy", "--foreground", "--type", "text/plain;charset=utf-8"},
                            text) &&
               waitWhileRunning([&] {
                   return text.empty() || text.size() > 4096 || readClipboard(false) == text;
               });
    }
    void releaseClipboard() override { owner_.stop(); }
    void pauseClipboard(bool paused) override { owner_.signal(paused ? SIGSTOP : SIGCONT); }

    bool windowShown(const char *title) override { return swayWindow(title).found; }
    void focusWindow(const char *title) override {
        swayCommand(std::string("[title=\"^") + title + "$\"] focus");
    }
    void clickWindow(const char *title, int x, int y, unsigned button) override {
        const SwayWindow w = swayWindow(title);
        wlClick(w.x + x, w.y + y, button);
    }
    void closeWindow(const char *title) override {
        swayCommand(std::string("[title=\"^") + title + "$\"] kill");
    }
    std::string identity(const char *title) override {
        const SwayWindow w = swayWindow(title);
        return "app id " + w.appId + ", " + w.shell + ", " + std::to_string(w.w) + "x" +
               std::to_string(w.h);
    }
    // The compositor tells nobody where another program's popup is: the menu is chosen
    // from with its keys once the screen shows it. Up (which stops at the top) as often as
    // there are items, then Down to the item: wherever the menu opened.
    bool chooseFromMenu(const char *title, int x, int y, int index, int count) override {
        const SwayWindow w = swayWindow(title);
        wlMoveTo(w.x + x, w.y + y);
        const std::string before = grabScreen();
        wlClick(w.x + x, w.y + y, 3);
        if (!wlWaitUntil([&] { return grabScreen() != before; }))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        for (int i = 0; i < count; ++i)
            wlTypeKey(XKB_KEY_Up);
        for (int i = 0; i < index; ++i)
            wlTypeKey(XKB_KEY_Down);
        wlTypeKey(XKB_KEY_Return);
        return true;
    }

    int bells() override {
        drainErrors();
        const int rung = bells_;
        bells_ = 0;
        return rung;
    }

  private:
    // Passes on what was written to standard error but the bells, which it counts.
    void drainErrors() {
        char buf[4096];
        for (ssize_t n; (n = read(errors_, buf, sizeof buf)) > 0;) {
            std::string passed;
            for (ssize_t i = 0; i < n; ++i)
                if (buf[i] == '\a')
                    ++bells_;
                else
                    passed += buf[i];
            if (!passed.empty() && write(stderr_, passed.data(), passed.size()) < 0)
                break;
        }
    }

    // (x, y) of `w` in the layout's logical pixels: a toplevel's place comes from the
    // compositor, a popup's from the toolkit, relative to the toplevel it belongs to.
    void where(Fl_Window *w, int x, int y, double &X, double &Y) {
        const float s = scaleOf(w);
        if (!isPopup(w))
            toplevel_ = w;
        const SwayWindow top = swayWindow(toplevel_ ? toplevel_->label() : w->label());
        X = top.x + (isPopup(w) ? w->x() * s : 0) + x * s;
        Y = top.y + (isPopup(w) ? w->y() * s : 0) + y * s;
    }

    pid_t sway_ = -1;
    ClipboardOwner owner_;
    int stderr_ = -1, errors_ = -1, bells_ = 0;
    Fl_Window *toplevel_ = nullptr;
};

} // namespace

Backend *makeWaylandBackend() {
    return new WaylandBackend;
}
