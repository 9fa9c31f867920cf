// SPDX-License-Identifier: MIT
// The built program, started as a user starts it, on a private display server: its window,
// how it ends, what it does with a bad command line or a dying server, and a monkey.
// gtest before any X header: Xlib defines None as a macro.
#include <gtest/gtest.h>

#include "backend.h"
#include "launch.h"
#include "process.h"
#include "xsession.h"

#include <FL/Enumerations.H>
#include <X11/Xatom.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char TITLE[] = "norvik - Programmers' calculator";

bool shown(const char *title) {
    return backend().window(title).found;
}

// The program running normally on the test's server, its window mapped.
class Program : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(waitUntil([] { return shown(TITLE); }, 10)) << "no window titled " << TITLE;
        windowsChanged(); // on Wayland the compositor places it once more as it settles
    }
    // Tests of X11 itself (its server, its menus' grabs, its keyboard layouts).
    static bool x11Only() { return backend().wayland(); }
    void TearDown() override {
        EXPECT_EQ(run_.out(), "") << "stdout";
        EXPECT_EQ(run_.err(), "") << "stderr";
    }
    void closeAuxiliaryWindows() {
        for (const char *title : {"About norvik", "norvik Shortcuts"}) {
            if (shown(title)) {
                backend().close(title);
                waitUntil([&] { return !shown(title); });
            }
        }
    }
    Launch run_;
};

TEST_F(Program, MapsItsWindowAndEndsOnEscape) {
    // Window managers and docks match it to its desktop entry (StartupWMClass on X11, the
    // app id on Wayland, both from norvik.desktop) and show its icon.
    EXPECT_EQ(backend().identity(TITLE), backend().wayland() ? "app id norvik, xdg_shell, 303x139"
                                                             : "norvik/Norvik, X11, 303x139");
    if (!backend().wayland()) {
        Atom type;
        int format;
        unsigned long items = 0, rest;
        unsigned char *icon = nullptr;
        XGetWindowProperty(testDisplay(), findWindow(TITLE),
                           XInternAtom(testDisplay(), "_NET_WM_ICON", False), 0, 4096, False,
                           XA_CARDINAL, &type, &format, &items, &rest, &icon);
        EXPECT_EQ(items, 2u + 32 * 32) << "a 32 x 32 icon";
        if (icon)
            XFree(icon);
    }
    backend().focus(TITLE);
    typeText("1+2\n{Escape}");
    EXPECT_EQ(run_.end(), 0);
}

// On CA, near a corner that the About window leaves free: X11 without a window manager
// puts it at 0,0 too, a compositor centres both.
TEST_F(Program, QuitEndsItWhileAboutIsOpen) {
    ASSERT_TRUE(chooseMenuItem(TITLE, 301, 137, 0, 3));
    ASSERT_TRUE(waitUntil([] { return shown("About norvik"); }));
    windowsChanged();
    ASSERT_TRUE(chooseMenuItem(TITLE, 301, 137, 2, 3));
    EXPECT_EQ(run_.end(), 0);
}

TEST_F(Program, EndsWhenTheWindowManagerClosesIt) {
    backend().close(TITLE);
    EXPECT_EQ(run_.end(), 0);
}

// A seeded storm of keys (with and without Shift and Ctrl), left and right clicks and the
// About and Keyboard Shortcuts items; never Escape or Quit. NORVIK_SEED changes it.
TEST_F(Program, SurvivesAMonkey) {
    if (x11Only())
        GTEST_SKIP() << "X11: the monkey drives the X server directly";
    // Away from the screen's edges, so that no menu has to be pushed back on screen.
    XMoveWindow(testDisplay(), findWindow(TITLE), 300, 300);
    ASSERT_TRUE(waitUntil([] { return backend().window(TITLE).x == 300; }));
    // The display's pixels: what the user reads, compared between two moments.
    const auto display = [] {
        Place p = backend().window(TITLE);
        return backend().grab(Place{true, p.x + 2, p.y + 5, 300, 27}).pixels;
    };
    backend().focus(TITLE);
    backend().typeKey(XK_2);
    usleep(100000);
    const std::vector<uint32_t> two = display(); // "2", drawn

    const char *seedText = std::getenv("NORVIK_SEED");
    const unsigned seed = seedText ? unsigned(std::strtoul(seedText, nullptr, 0)) : 4242;
    std::mt19937 rng(seed);
    const unsigned long keys[] = {
        XK_0,          XK_1,        XK_2,       XK_3,       XK_4,      XK_5,         XK_6,
        XK_7,          XK_8,        XK_9,       XK_a,       XK_b,      XK_c,         XK_d,
        XK_e,          XK_f,        XK_h,       XK_o,       XK_s,      XK_u,         XK_plus,
        XK_minus,      XK_asterisk, XK_slash,   XK_percent, XK_bar,    XK_ampersand, XK_asciicircum,
        XK_asciitilde, XK_less,     XK_greater, XK_equal,   XK_Return, XK_BackSpace, XK_space,
        XK_Tab,        XK_Left,     XK_Up};
    // Ctrl only on letters: with + - = 0 it is the toolkit's own zoom (FLTK 1.4).
    const unsigned modifiers[] = {0, 0, 0, SHIFT, CTRL};
    int events = 0, menus = 0, lostClicks = 0;
    while (events < 5000) {
        const unsigned pick = rng() % 100;
        if (pick < 70) {
            const unsigned long sym = keys[rng() % (sizeof keys / sizeof *keys)];
            const unsigned mod = modifiers[rng() % 5];
            backend().typeKey(sym, sym >= XK_a && sym <= XK_z ? mod : mod & SHIFT);
            events += 2;
        } else if (pick < 97) {
            const int x = int(rng() % 303); // drawn in this order whatever the compiler
            click(TITLE, x, int(rng() % 139), 1);
            events += 3;
        } else {
            // About or Keyboard Shortcuts, then the user closes the window it opened. A lost
            // right click may have picked an item at once: what it opened goes first.
            const int item = int(rng() % 2);
            ++menus;
            const int x = int(rng() % 303);
            const int clicks = chooseMenuItem(TITLE, x, int(rng() % 139), item, 3,
                                              [&] { closeAuxiliaryWindows(); });
            ASSERT_GT(clicks, 0) << "three right clicks opened no menu";
            lostClicks += clicks - 1;
            const char *title = item == 0 ? "About norvik" : "norvik Shortcuts";
            ASSERT_TRUE(waitUntil([&] { return shown(title); })) << "menu item " << item;
            closeAuxiliaryWindows();
            events += 6;
        }
        ASSERT_TRUE(run_.running())
            << "seed " << seed << ", after " << events << " events; ended with " << run_.end(0.1)
            << ", stderr: " << run_.err();
    }

    // Check that it still calculates.
    backend().focus(TITLE);
    typeText("{Ctrl+a}D1+1\n");
    EXPECT_TRUE(waitUntil([&] { return display() == two; }))
        << "1 + 1 Enter does not show 2; seed " << seed;
    EXPECT_TRUE(run_.running());
    // Now and then the toolkit takes XTest's zero-length right click for a drag and picks
    // an item at once; many such would mean the menu itself is in trouble.
    EXPECT_LE(lostClicks, menus / 10) << lostClicks << " of " << menus << " right clicks lost";
    std::printf("monkey: seed %u, %d events, %d menus, %d right clicks lost\n", seed, events, menus,
                lostClicks);
}

// What the program's Ctrl+C puts on the clipboard, read by another program once the
// program has taken the clipboard over.
std::string copiedValue(const char *title) {
    Display *d = testDisplay();
    const Atom clipboard = XInternAtom(d, "CLIPBOARD", False);
    XSetSelectionOwner(d, clipboard, None, CurrentTime);
    backend().focus(title);
    typeText("{Ctrl+c}");
    if (!waitUntil([&] { return XGetSelectionOwner(d, clipboard) != None; }))
        return "(nothing copied)";
    return readClipboard();
}

// A Compose table of the user's own wins over norvik's, whether XCOMPOSEFILE names it or
// it is ~/.XCompose. This one makes dead "^" then Space a "~": NOT, not XOR.
TEST(ComposeTable, TheUsersOwnWins) {
    if (backend().wayland())
        GTEST_SKIP() << "X11: layouts are switched on the X server";
    char home[] = "/tmp/norvik-home-XXXXXX";
    ASSERT_NE(mkdtemp(home), nullptr);
    const std::string table = std::string(home) + "/.XCompose";
    if (FILE *f = std::fopen(table.c_str(), "w")) {
        std::fputs("<dead_circumflex> <space> : \"~\" asciitilde\n", f);
        std::fclose(f);
    }
    ASSERT_TRUE(setKeyboardLayout("us", "intl"));
    const struct {
        std::vector<std::string> environment;
        const char *copied, *why;
    } rows[] = {
        {{"XCOMPOSEFILE=" + table}, "4294967283", "XCOMPOSEFILE: ~12"},
        {{"HOME=" + std::string(home)}, "4294967283", "~/.XCompose: ~12"},
        {{}, "12", "norvik's own: 12 ^, waiting for the operand"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.why);
        Launch run({}, r.environment);
        ASSERT_TRUE(waitUntil([] { return shown(TITLE); }));
        backend().focus(TITLE);
        typeText("12{dead_circumflex} ");
        EXPECT_EQ(copiedValue(TITLE), r.copied);
        typeText("{Escape}");
        EXPECT_EQ(run.end(), 0);
    }
    setKeyboardLayout("us");
    unlink(table.c_str());
    rmdir(home);
}

// The font configuration loads on a thread of its own during start-up: by the time the
// window is drawn the thread is gone, and what is drawn is what norvik draws without it.
TEST(StartUp, FontThreadLeavesTheSameFirstFrameAndNoThread) {
    struct Seen {
        long threads;
        std::vector<uint32_t> pixels;
    } seen[2];
    const char *const binaries[] = {NORVIK_BINARY, NORVIK_NO_FONT_THREAD_BINARY};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(binaries[i]);
        // With the thread, every change of the environment watched: none may come while it
        // runs. (Not where the address sanitizer's runtime must be loaded first, nor on
        // Wayland, where the decoration library runs threads of its own.)
        std::vector<std::string> environment;
#ifndef __SANITIZE_ADDRESS__
        if (i == 0 && !backend().wayland())
            environment.push_back(std::string("LD_PRELOAD=") + ENV_WATCH);
#endif
        Launch run({}, environment, binaries[i]);
        ASSERT_TRUE(waitUntil([] { return shown(TITLE); }));
        windowsChanged();
        // Drawn: two looks in a row show the same, and more than one colour.
        std::vector<uint32_t> last;
        ASSERT_TRUE(waitUntil([&] {
            const std::vector<uint32_t> now = backend().grab(backend().window(TITLE)).pixels;
            const bool same = now == last && !now.empty() &&
                              std::count(now.begin(), now.end(), now[0]) < long(now.size());
            last = now;
            usleep(50000);
            return same;
        }));
        seen[i] = {run.threads(), last};
        backend().close(TITLE);
        EXPECT_EQ(run.end(), 0);
        EXPECT_EQ(run.err(), "");
    }
    EXPECT_EQ(seen[0].threads, seen[1].threads) << "a thread left running";
    EXPECT_EQ(seen[0].pixels, seen[1].pixels) << "the first frame differs";
}

// A whole session writes no file, in HOME or in /etc; but FLTK 1.3, which writes its own
// preferences whenever it reads them and offers no way not to, writes those.
TEST(Session, WritesNoFile) {
    char home[] = "/tmp/norvik-home-XXXXXX";
    ASSERT_NE(mkdtemp(home), nullptr);
    const std::string before = std::string(home) + "/.before";
    std::fclose(std::fopen(before.c_str(), "w"));
    usleep(10000); // a time stamp later than its own
    {
        Launch run({}, {"HOME=" + std::string(home)});
        ASSERT_TRUE(waitUntil([] { return shown(TITLE); }, 10));
        windowsChanged();
        backend().focus(TITLE);
        typeText("1+2\n{Ctrl+c}{Ctrl+v}");
        usleep(300000); // the paste answered before the next key, which would overtake it
        typeText("{Tab} ");
        for (int item : {0, 1}) {
            ASSERT_TRUE(chooseMenuItem(TITLE, 301, 137, item, 3));
            ASSERT_TRUE(
                waitUntil([&] { return shown(item ? "norvik Shortcuts" : "About norvik"); }));
            windowsChanged();
        }
        backend().close("norvik Shortcuts"); // which opened under the pointer
        ASSERT_TRUE(waitUntil([] { return !shown("norvik Shortcuts"); }));
        ASSERT_TRUE(chooseMenuItem(TITLE, 301, 137, 2, 3));
        EXPECT_EQ(run.end(), 0);
        EXPECT_EQ(run.err(), "");
    }
    std::string written = runCollecting({"find", home, "/etc", "-newer", before});
#if FL_API_VERSION < 10400
    for (const std::string &fltk :
         {std::string(home), std::string(home) + "/.fltk", std::string(home) + "/.fltk/fltk.org",
          std::string(home) + "/.fltk/fltk.org/fltk.prefs", std::string("/etc"),
          std::string("/etc/fltk"), std::string("/etc/fltk/fltk.org"),
          std::string("/etc/fltk/fltk.org/fltk.prefs")})
        for (size_t at; (at = ("\n" + written).find("\n" + fltk + "\n")) != std::string::npos;)
            written.erase(at, fltk.size() + 1);
#endif
    EXPECT_EQ(written, "");
    runCollecting({"rm", "-rf", home});
}

TEST(BadStart, UnknownOptionGivesTheUsageAndFails) {
    Launch run({"--frobnicate"});
    const int status = run.end();
    EXPECT_TRUE(status > 0 && status < 128) << status;
    EXPECT_NE(run.err().find("--frobnicate"), std::string::npos) << run.err();
    EXPECT_NE(run.err().find("-g[eometry]"), std::string::npos) << "the toolkit's options";
    EXPECT_FALSE(shown(TITLE));
}

TEST(BadStart, UnreachableDisplayFailsClearly) {
    if (backend().wayland())
        GTEST_SKIP() << "X11: -display";
    Launch run({"-display", ":4093"});
    const int status = run.end();
    EXPECT_TRUE(status > 0 && status < 128) << status;
    EXPECT_NE(run.err().find(":4093"), std::string::npos) << run.err();
}

TEST(BadStart, EndsWhenTheXServerGoesAway) {
    if (backend().wayland())
        GTEST_SKIP() << "X11: its own server";
    std::string name;
    const pid_t server = startXvfb(name);
    ASSERT_GT(server, 0);
    Display *d = XOpenDisplay(name.c_str());
    ASSERT_NE(d, nullptr);
    Launch run({}, {"DISPLAY=" + name});
    const bool up = waitUntil([&] { // mapped: started up (the input method makes windows too)
        Window root, parent, *children = nullptr;
        unsigned n = 0;
        XWindowAttributes a;
        XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n);
        bool mapped = false;
        for (unsigned i = 0; i < n; ++i)
            mapped =
                mapped || (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable);
        if (children)
            XFree(children);
        return mapped;
    });
    XCloseDisplay(d);
    stopProgram(server, SIGKILL);
    ASSERT_TRUE(up) << "the program never showed its window";
    const int status = run.end(1.0);
    EXPECT_NE(status, -1) << "still running a second after the server died";
    EXPECT_TRUE(status > 0 && status < 128) << "ended by a signal: " << status;
    EXPECT_EQ(run.err(),
              "norvik: the connection to the X server " + name + " is lost; norvik ends\n");
}

// The toolkit's menu loop once crashed on navigation keys while the pointer was outside the
// open menu; whatever the toolkit does with them, the program must go on.
TEST_F(Program, MenuKeysWithThePointerOutsideTheMenu) {
    if (x11Only())
        GTEST_SKIP() << "X11: the menu's pointer grab";
    for (unsigned long sym : {XK_BackSpace, XK_Tab, XK_Up, XK_Down, XK_Left, XK_Right}) {
        SCOPED_TRACE(sym);
        click(TITLE, 150, 100, 3);
        Place menu;
        ASSERT_TRUE(waitUntil([&] { return backend().popup(menu) == 1; }));
        backend().pointer(800, 600);
        backend().typeKey(sym);
        backend().typeKey(sym, SHIFT);
        backend().typeKey(XK_Escape); // closes the menu only
        ASSERT_TRUE(waitUntil([&] { return backend().popup(menu) == 0; }));
        ASSERT_TRUE(run_.running()) << "ended with " << run_.end(0.1);
    }
}

} // namespace
