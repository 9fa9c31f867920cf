// SPDX-License-Identifier: MIT
// The built program, started as a user starts it, on a private display server: its window,
// how it ends, what it does with a bad command line or a dying server, and a monkey.
// gtest before any X header: Xlib defines None as a macro.
#include <gtest/gtest.h>

#include "backend.h"
#include "xdriver.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const char TITLE[] = "norvik - Programmers' calculator";

std::string readAll(const char *path) {
    std::string text;
    if (FILE *f = std::fopen(path, "r")) {
        for (int c; (c = std::fgetc(f)) != EOF;)
            text += static_cast<char>(c);
        std::fclose(f);
    }
    return text;
}

// One run of the program with its output and error streams caught in files.
class Launch {
  public:
    explicit Launch(std::vector<std::string> args = {}, const char *display = nullptr,
                    const std::vector<std::string> &environment = {}) {
        std::snprintf(out_, sizeof out_, "/tmp/norvik-out-XXXXXX");
        std::snprintf(err_, sizeof err_, "/tmp/norvik-err-XXXXXX");
        int out = mkstemp(out_), err = mkstemp(err_);
        args.insert(args.begin(), NORVIK_BINARY);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out, 1);
            dup2(err, 2);
            if (display)
                setenv("DISPLAY", display, 1);
            for (const std::string &setting : environment)
                putenv(strdup(setting.c_str()));
            std::vector<char *> argv;
            for (std::string &a : args)
                argv.push_back(&a[0]);
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out);
        close(err);
    }
    ~Launch() {
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        unlink(out_);
        unlink(err_);
    }
    bool running() {
        if (ended_)
            return false;
        const pid_t got = waitpid(pid_, &status_, WNOHANG);
        ended_ = got == pid_;
        return got == 0;
    }
    // Waits up to `seconds` for the end: the exit status, 128 + signal, or -1 if running.
    int end(double seconds = 5) {
        ended_ = ended_ || waitFor([&] { return waitpid(pid_, &status_, WNOHANG) == pid_; },
                                   [] { usleep(2000); }, seconds);
        if (!ended_)
            return -1;
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
    }
    std::string out() const { return readAll(out_); }
    std::string err() const { return readAll(err_); }

  private:
    pid_t pid_ = -1;
    int status_ = 0;
    bool ended_ = false;
    char out_[32], err_[32];
};

// The program running normally on the test's server, its window mapped.
class Program : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(waitFor([] { return backend().windowShown(TITLE); }, [] { usleep(10000); }, 10))
            << "no window titled " << TITLE;
        if (backend().wayland()) // the compositor places it once more as it settles
            usleep(300000);
        else
            win_ = findWindow(TITLE);
    }
    // Tests of X11 itself (its server, its menus' grabs, its keyboard layouts).
    static bool x11Only() { return backend().wayland(); }
    void TearDown() override {
        EXPECT_EQ(run_.out(), "") << "stdout";
        EXPECT_EQ(run_.err(), "") << "stderr";
    }
    void closeAuxiliaryWindows() {
        for (const char *title : {"About norvik", "norvik Shortcuts"}) {
            if (backend().windowShown(title)) {
                backend().closeWindow(title);
                waitFor([&] { return !backend().windowShown(title); }, [] { usleep(2000); });
            }
        }
    }
    // Right click at (x, y) of the main window, then a click on menu item `item`. A click
    // that opens no menu is tried again, up to three times; lostClicks_ counts them.
    void choose(int x, int y, int item) {
        Window menu = None;
        for (int attempt = 0; attempt < 3 && menu == None; ++attempt) {
            clickAt(win_, x, y, 3);
            if (!waitFor([&] { return (menu = openMenu()) != None; }, [] { usleep(2000); }, 1)) {
                // The toolkit took the release for the end of a drag and picked the item it
                // had placed under the pointer (the last one picked): close what it opened.
                ++lostClicks_;
                closeAuxiliaryWindows();
            }
        }
        ASSERT_NE(menu, None) << "three right clicks opened no menu";
        XGetWindowAttributes(testDisplay(), menu, &lastMenu_);
        chooseItem(menu, item, 3);
        ASSERT_TRUE(waitFor(menuClosed, [] { usleep(2000); }));
    }
    int lostClicks_ = 0;
    XWindowAttributes lastMenu_{};
    Launch run_;
    Window win_ = None;
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
        XGetWindowProperty(testDisplay(), win_, XInternAtom(testDisplay(), "_NET_WM_ICON", False),
                           0, 4096, False, XA_CARDINAL, &type, &format, &items, &rest, &icon);
        EXPECT_EQ(items, 2u + 32 * 32) << "a 32 x 32 icon";
        if (icon)
            XFree(icon);
    }
    backend().focusWindow(TITLE);
    for (unsigned long sym : {XK_1, XK_plus, XK_2, XK_Return, XK_Escape})
        backend().typeKey(sym);
    EXPECT_EQ(run_.end(), 0);
}

// On CA, near a corner that the About window leaves free: X11 without a window manager
// puts it at 0,0 too, a compositor centres both.
TEST_F(Program, QuitEndsItWhileAboutIsOpen) {
    ASSERT_TRUE(backend().chooseFromMenu(TITLE, 301, 137, 0, 3));
    ASSERT_TRUE(
        waitFor([] { return backend().windowShown("About norvik"); }, [] { usleep(2000); }));
    if (backend().wayland())
        usleep(300000);
    ASSERT_TRUE(backend().chooseFromMenu(TITLE, 301, 137, 2, 3));
    EXPECT_EQ(run_.end(), 0);
}

TEST_F(Program, EndsWhenTheWindowManagerClosesIt) {
    backend().closeWindow(TITLE);
    EXPECT_EQ(run_.end(), 0);
}

// The display's pixels: what the user reads, compared between two moments.
std::vector<char> displayPixels(Window w) {
    XImage *image = XGetImage(testDisplay(), w, 2, 5, 300, 27, AllPlanes, ZPixmap);
    if (!image)
        return {};
    std::vector<char> pixels(image->data, image->data + image->bytes_per_line * image->height);
    XDestroyImage(image);
    return pixels;
}

// A seeded storm of keys (with and without Shift and Ctrl), left and right clicks and the
// About and Keyboard Shortcuts items; never Escape or Quit. NORVIK_SEED changes it.
TEST_F(Program, SurvivesAMonkey) {
    if (x11Only())
        GTEST_SKIP() << "X11: the monkey drives the X server directly";
    // Away from the screen's edges, so that no menu has to be pushed back on screen.
    XMoveWindow(testDisplay(), win_, 300, 300);
    ASSERT_TRUE(waitFor(
        [this] {
            XWindowAttributes a;
            return XGetWindowAttributes(testDisplay(), win_, &a) && a.x == 300 && a.y == 300;
        },
        [] { usleep(2000); }));
    focusWindow(win_);
    typeKey(XK_2);
    std::vector<char> two;
    ASSERT_TRUE(waitFor([&] { return !(two = displayPixels(win_)).empty(); }, [] {}));
    usleep(100000);
    two = displayPixels(win_); // "2", drawn

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
    const unsigned modifiers[] = {0, 0, 0, ShiftMask, ControlMask};
    int events = 0, menus = 0;
    while (events < 5000) {
        const unsigned pick = rng() % 100;
        if (pick < 70) {
            const unsigned long sym = keys[rng() % (sizeof keys / sizeof *keys)];
            const unsigned mod = modifiers[rng() % 5];
            typeKey(sym, sym >= XK_a && sym <= XK_z ? mod : mod & ShiftMask);
            events += 2;
            // Space on the menu button, when Tab or an arrow has given it the focus, opens the
            // menu from the keyboard, where the next click may choose Quit: a user quitting,
            // not a fault. A user who did not mean it closes the menu.
            if (sym == XK_space &&
                waitFor([] { return openMenu() != None; }, [] { usleep(2000); }, 0.03)) {
                typeKey(XK_Escape);
                ASSERT_TRUE(waitFor(menuClosed, [] { usleep(2000); }));
            }
        } else if (pick < 97) {
            const int x = int(rng() % 303); // drawn in this order whatever the compiler
            clickAt(win_, x, int(rng() % 139), 1);
            events += 3;
        } else {
            // About or Keyboard Shortcuts, then the user closes the window it opened.
            const int item = int(rng() % 2);
            ++menus;
            const int x = int(rng() % 303);
            choose(x, int(rng() % 139), item);
            const char *title = item == 0 ? "About norvik" : "norvik Shortcuts";
            ASSERT_TRUE(waitFor([&] { return backend().windowShown(title); }, [] { usleep(2000); }))
                << "menu item " << item << " opened nothing; menu at " << lastMenu_.x << ","
                << lastMenu_.y;
            backend().closeWindow(title);
            ASSERT_TRUE(
                waitFor([&] { return !backend().windowShown(title); }, [] { usleep(2000); }));
            events += 6;
        }
        ASSERT_TRUE(run_.running())
            << "seed " << seed << ", after " << events << " events; ended with " << run_.end(0.1)
            << ", stderr: " << run_.err();
    }

    // Clear the way to the main window and check it still calculates.
    for (const char *title : {"About norvik", "norvik Shortcuts"})
        if (findWindow(title))
            backend().closeWindow(title);
    ASSERT_TRUE(waitFor(
        [] {
            return !backend().windowShown("About norvik") &&
                   !backend().windowShown("norvik Shortcuts");
        },
        [] { usleep(10000); }));
    focusWindow(win_);
    typeKey(XK_a, ControlMask);
    typeKey(XK_d, ShiftMask);
    for (unsigned long sym : {XK_1, XK_plus, XK_1, XK_Return})
        typeKey(sym);
    EXPECT_TRUE(waitFor([&] { return displayPixels(win_) == two; }, [] { usleep(10000); }))
        << "1 + 1 Enter does not show 2; seed " << seed;
    EXPECT_TRUE(run_.running());
    // Now and then the toolkit takes XTest's zero-length right click for a drag and picks
    // an item at once; many such would mean the menu itself is in trouble.
    EXPECT_LE(lostClicks_, menus / 10) << lostClicks_ << " of " << menus << " right clicks lost";
    std::printf("monkey: seed %u, %d events, %d menus, %d right clicks lost\n", seed, events, menus,
                lostClicks_);
}

// What the program's Ctrl+C puts on the clipboard, read by another program once the
// program has taken the clipboard over.
std::string copiedValue(const char *title) {
    Display *d = testDisplay();
    const Atom clipboard = XInternAtom(d, "CLIPBOARD", False);
    XSetSelectionOwner(d, clipboard, None, CurrentTime);
    backend().focusWindow(title);
    typeKey(XK_c, ControlMask);
    if (!waitFor([&] { return XGetSelectionOwner(d, clipboard) != None; }, [] { usleep(2000); }))
        return "(nothing copied)";
    return backend().readClipboard();
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
        Launch run({}, nullptr, r.environment);
        ASSERT_TRUE(waitFor([] { return backend().windowShown(TITLE); }, [] { usleep(10000); }));
        backend().focusWindow(TITLE);
        for (unsigned long sym : {XK_1, XK_2, XK_dead_circumflex, XK_space})
            typeKey(sym);
        EXPECT_EQ(copiedValue(TITLE), r.copied);
        typeKey(XK_Escape);
        EXPECT_EQ(run.end(), 0);
    }
    setKeyboardLayout("us");
    unlink(table.c_str());
    rmdir(home);
}

TEST(BadStart, UnknownOptionGivesTheUsageAndFails) {
    Launch run({"--frobnicate"});
    const int status = run.end();
    EXPECT_TRUE(status > 0 && status < 128) << status;
    EXPECT_NE(run.err().find("--frobnicate"), std::string::npos) << run.err();
    EXPECT_NE(run.err().find("-g[eometry]"), std::string::npos) << "the toolkit's options";
    EXPECT_FALSE(backend().windowShown(TITLE));
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
    Launch run({}, name.c_str());
    bool up = waitFor(
        [&] {
            Window root, parent, *children = nullptr;
            unsigned n = 0;
            XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n);
            if (children)
                XFree(children);
            return n > 0;
        },
        [] { usleep(10000); });
    XCloseDisplay(d);
    kill(server, SIGKILL);
    waitpid(server, nullptr, 0);
    ASSERT_TRUE(up) << "the program never showed its window";
    const int status = run.end(1.0);
    EXPECT_NE(status, -1) << "still running a second after the server died";
    EXPECT_TRUE(status > 0 && status < 128) << "ended by a signal: " << status;
}

// The toolkit's menu loop once crashed on navigation keys while the pointer was outside the
// open menu; whatever the toolkit does with them, the program must go on.
TEST_F(Program, MenuKeysWithThePointerOutsideTheMenu) {
    if (x11Only())
        GTEST_SKIP() << "X11: the menu's pointer grab";
    for (unsigned long sym : {XK_BackSpace, XK_Tab, XK_Up, XK_Down, XK_Left, XK_Right}) {
        SCOPED_TRACE(sym);
        clickAt(win_, 150, 100, 3);
        Window menu = None;
        ASSERT_TRUE(waitFor([&] { return (menu = openMenu()) != None; }, [] { usleep(2000); }));
        XTestFakeMotionEvent(testDisplay(), -1, 800, 600, CurrentTime);
        typeKey(sym);
        typeKey(sym, ShiftMask);
        typeKey(XK_Escape); // closes the menu only
        ASSERT_TRUE(waitFor(menuClosed, [] { usleep(2000); }));
        ASSERT_TRUE(run_.running()) << "ended with " << run_.end(0.1);
    }
}

} // namespace
