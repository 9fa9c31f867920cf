// SPDX-License-Identifier: MIT
// Which back end the tests run on, and what they build from its primitives.
#include "backend.h"
#include "process.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

Backend *makeX11Backend();
#ifdef NORVIK_WAYLAND_TESTS
Backend *makeWaylandBackend();
#endif

Backend &backend() {
    static Backend *chosen = nullptr;
    if (!chosen) {
        const char *name = std::getenv("NORVIK_TEST_BACKEND");
        const bool wayland = name && std::strcmp(name, "wayland") == 0;
#ifdef NORVIK_WAYLAND_TESTS
        if (wayland)
            chosen = makeWaylandBackend();
#endif
        if (!chosen && wayland)
            std::abort(); // asked for Wayland in a build without it: no silent X11 run
        if (!chosen)
            chosen = makeX11Backend();
    }
    return *chosen;
}

double testScale() {
    const char *scale = std::getenv("NORVIK_TEST_SCALE");
    return scale ? std::atof(scale) : 1.0;
}

float scaleOf(Fl_Window *w) {
#if FL_API_VERSION >= 10400
    return Fl::screen_scale(w->screen_num());
#else
    (void)w;
    return 1;
#endif
}

void typeText(const std::string &text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '{') {
            const bool upper = c >= 'A' && c <= 'Z';
            const unsigned long sym = c == '\n'   ? XK_Return
                                      : c == '\b' ? XK_BackSpace
                                      : c == '\t' ? XK_Tab
                                      : upper     ? static_cast<unsigned long>(c - 'A' + 'a')
                                                  : static_cast<unsigned char>(c);
            backend().typeKey(sym, upper ? SHIFT : 0);
            continue;
        }
        const size_t end = text.find('}', i);
        std::string name = text.substr(i + 1, end - i - 1);
        i = end;
        unsigned modifiers = 0;
        for (const auto &m : {std::make_pair("Ctrl+", CTRL), std::make_pair("Shift+", SHIFT)})
            if (name.rfind(m.first, 0) == 0) {
                modifiers |= m.second;
                name.erase(0, std::strlen(m.first));
            }
        const unsigned long sym = XStringToKeysym(name.c_str());
        if (sym == NoSymbol)
            std::fprintf(stderr, "typeText: no key named %s\n", name.c_str());
        else if (name.size() == 4 && name.rfind("KP_", 0) == 0 && std::isdigit(name[3])) {
            // A keypad digit: Num Lock on, the key, Num Lock off (other keypad keys as they are)
            backend().typeKey(XK_Num_Lock, RAW);
            backend().typeKey(sym, RAW);
            backend().typeKey(XK_Num_Lock, RAW);
        } else {
            backend().typeKey(sym, modifiers);
        }
    }
}

void click(const char *title, int x, int y, unsigned button) {
    const Place p = backend().window(title);
    backend().pointer(p.x + x, p.y + y);
    backend().button(button, true);
    backend().button(button, false);
}

void click(Fl_Window *w, int x, int y, unsigned button) {
    const float s = scaleOf(w);
    click(w->label(), int(x * s), int(y * s), button);
}

void click(Fl_Widget *w, unsigned button) {
    Fl_Window *top = w->top_window();
    const int x = w == top ? 0 : w->x(), y = w == top ? 0 : w->y();
    click(top, x + w->w() / 2, y + w->h() / 2, button);
    backend().settle();
}

Image grab(Fl_Window *w) {
    Fl::flush();
    backend().settle();
    Place area = backend().window(w->label());
    area.w = int(std::lround(w->w() * scaleOf(w)));
    area.h = int(std::lround(w->h() * scaleOf(w)));
    return backend().grab(area);
}

void windowsChanged() {
    backend().settle();
    if (backend().wayland()) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        waitUntil([&] { return std::chrono::steady_clock::now() > end; });
        backend().settle();
    }
}

namespace {

// Item `index` of the `count` items of the open menu, by a click on it or by keys (Up as
// often as there are items stops at the top, then Down to it); -1: Escape.
void pickItem(const Place &menu, int index, int count, bool byKeys) {
    if (byKeys || index < 0) {
        for (int i = 0; index >= 0 && i < count + index; ++i)
            backend().typeKey(i < count ? XK_Up : XK_Down);
        backend().typeKey(index < 0 ? XK_Escape : XK_Return);
    } else {
        backend().pointer(menu.x + menu.w / 2, menu.y + menu.h * (2 * index + 1) / (2 * count));
        backend().button(1, true);
        backend().button(1, false);
    }
}

} // namespace

int chooseMenuItem(const char *title, int x, int y, int index, int count,
                   const std::function<void()> &beforeRetry) {
    for (int attempt = 1; attempt <= 3; ++attempt) {
        if (attempt > 1)
            beforeRetry();
        Place menu;
        const bool unknown = backend().popup(menu) < 0;
        const Image before = unknown ? backend().grab(Place{}) : Image{};
        click(title, x, y, 3);
        // Checked from waitUntil(), which in a test that runs the toolkit keeps checking
        // inside the menu's own loop, where the menu waits for its item.
        const auto pick = [&] {
            const int shown = backend().popup(menu);
            if (shown == 0 || (shown < 0 && backend().grab(Place{}).pixels == before.pixels))
                return false;
            if (shown < 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            pickItem(menu, index, count, shown < 0);
            return true;
        };
        if (waitUntil(pick, 1))
            return unknown || waitUntil([&] { return backend().popup(menu) == 0; }) ? attempt : 0;
    }
    return 0;
}

bool chooseMenuItemByKeys(const char *opener, int index, int count, Place &menu) {
    typeText(opener);
    return waitUntil([&] {
               return backend().popup(menu) == 1 && (pickItem(menu, index, count, true), true);
           }) &&
           waitUntil([&] {
               Place m;
               return backend().popup(m) == 0;
           });
}

namespace {

pid_t s_clipboardOwner = -1;

} // namespace

std::string readClipboard(bool primary) {
    const std::vector<std::string> reader = backend().clipboardReader(primary);
    return reader.empty() ? "(no such selection here)" : runCollecting(reader);
}

bool ownClipboard(const std::string &text, bool primary) {
    releaseClipboard(); // first: a new owner may get the old one's window
    const std::vector<std::string> owner = backend().clipboardOwner(primary);
    FILE *input = std::tmpfile();
    if (owner.empty() || input == nullptr ||
        std::fwrite(text.data(), 1, text.size(), input) != text.size())
        return false;
    std::rewind(input);
    Streams streams;
    streams.in = fileno(input);
    s_clipboardOwner = spawn(owner, {}, streams);
    std::fclose(input);
    // Owned once another program reads the text back; an empty text reads as no owner.
    return s_clipboardOwner > 0 &&
           (text.empty() || waitUntil([&] { return readClipboard(primary) == text; }));
}

void pauseClipboard(bool paused) {
    if (s_clipboardOwner > 0)
        kill(s_clipboardOwner, paused ? SIGSTOP : SIGCONT);
}

void releaseClipboard() {
    stopProgram(s_clipboardOwner);
    s_clipboardOwner = -1;
}
