// SPDX-License-Identifier: MIT
// Numbers in and out of the running window: copy and paste through the X selections with
// xclip as the program on the other side, the middle click, keypad Enter and the tooltip.
#include "main_window_fixture.h"
#include "format/number_text.h"

#include <FL/Fl_Tooltip.H>
#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Keys = std::vector<std::pair<unsigned long, unsigned>>;

// xclip with the toolkit kept running meanwhile: it may own the selection asked for.
pid_t startXclip(const std::vector<std::string> &args, int out) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int quiet = open("/dev/null", O_RDWR);
        dup2(quiet, 0);
        dup2(out >= 0 ? out : quiet, 1);
        dup2(quiet, 2);
        std::vector<char *> argv{const_cast<char *>("xclip")};
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execvp("xclip", argv.data());
        _exit(127);
    }
    return pid;
}

// What another program reads from `selection` ("clipboard" or "primary").
std::string readSelection(const char *selection) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return "(no pipe)";
    const pid_t pid = startXclip({"-o", "-selection", selection}, pipeFds[1]);
    close(pipeFds[1]);
    fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
    std::string text;
    int status = 0;
    bool ended = false;
    waitFor([&] { return ended; },
            [&] {
                Fl::wait(0.005);
                char buf[4096];
                for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;)
                    text.append(buf, size_t(n));
                ended = waitpid(pid, &status, WNOHANG) == pid;
            });
    close(pipeFds[0]);
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return "(xclip hung)";
    }
    return text;
}

Atom selectionAtom(const char *selection) {
    return XInternAtom(testDisplay(), selection[0] == 'c' ? "CLIPBOARD" : "PRIMARY", False);
}

// Another program owning `selection` with `text`, for as long as this lives.
class Owner {
  public:
    Owner(const char *selection, const std::string &text) : atom_(selectionAtom(selection)) {
        std::snprintf(file_, sizeof file_, "/tmp/norvik-clip-XXXXXX");
        const int fd = mkstemp(file_);
        EXPECT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size()));
        close(fd);
        const Window before = XGetSelectionOwner(testDisplay(), atom_);
        pid_ = startXclip({"-quiet", "-selection", selection, "-i", file_}, -1);
        EXPECT_TRUE(waitFor(
            [&] {
                const Window now = XGetSelectionOwner(testDisplay(), atom_);
                return now != None && now != before;
            },
            [] { Fl::wait(0.005); }))
            << "xclip never took the " << selection << " selection";
    }
    ~Owner() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        unlink(file_);
    }

  private:
    Atom atom_;
    pid_t pid_ = -1;
    char file_[32];
};

class Clipboard : public MainWindow {
  protected:
    void SetUp() override {
        MainWindow::SetUp();
        int opcode, error, major = XkbMajorVersion, minor = XkbMinorVersion;
        ASSERT_TRUE(XkbQueryExtension(testDisplay(), &opcode, &xkbEvent_, &error, &major, &minor));
        XkbSelectEvents(testDisplay(), XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
        XSync(testDisplay(), False);
    }
    // Bells the X server has rung since the last call.
    int bells() {
        XSync(testDisplay(), False);
        int rung = 0;
        for (XEvent e; XCheckTypedEvent(testDisplay(), xkbEvent_, &e);)
            rung += reinterpret_cast<XkbEvent *>(&e)->any.xkb_type == XkbBellNotify;
        return rung;
    }
    // Waits for an asynchronous paste to have arrived: the display changed, or a bell.
    bool pasted(const std::string &before) {
        int rung = 0;
        waitFor([&] { return rung > 0 || shown() != before; },
                [&] {
                    Fl::wait(0.005);
                    rung += bells();
                });
        settle();
        lastBells_ = rung + bells();
        return lastBells_ > 0 || shown() != before;
    }
    int xkbEvent_ = 0, lastBells_ = 0;
};

TEST_F(Clipboard, CopyWritesTheShownValueAsAProgrammerWritesIt) {
    const unsigned S = ShiftMask, C = ControlMask;
    const struct {
        Keys keys;
        const char *text;
        const char *why;
    } rows[] = {
        {{}, "0", "at start-up"},
        {{{XK_5, 0}, {XK_plus, 0}}, "5", "after an operator: the accumulator shown"},
        {{{XK_h, S},
          {XK_d, 0},
          {XK_e, 0},
          {XK_a, 0},
          {XK_d, 0},
          {XK_b, 0},
          {XK_e, 0},
          {XK_e, 0},
          {XK_f, 0}},
         "0xDEADBEEF",
         "hex"},
        {{{XK_o, S}, {XK_a, C}, {XK_0, 0}, {XK_1, 0}, {XK_7, 0}}, "0o17", "octal, no leading 0"},
        {{{XK_b, S}, {XK_a, C}, {XK_1, 0}, {XK_0, 0}, {XK_1, 0}}, "0b101", "binary"},
        {{{XK_s, S}, {XK_d, S}, {XK_a, C}, {XK_5, 0}, {XK_minus, 0}, {XK_7, 0}, {XK_Return, 0}},
         "-2",
         "signed decimal"},
        {{{XK_u, S}, {XK_h, S}}, "0xFFFFFFFE", "the same bits in hex"},
    };
    bool insert = false;
    for (const auto &r : rows) {
        SCOPED_TRACE(r.why);
        type(r.keys);
        const std::string before = shown();
        insert = !insert; // Ctrl+C and Ctrl+Insert in turn
        type({{insert ? XK_Insert : XK_c, ControlMask}});
        EXPECT_EQ(readSelection("clipboard"), r.text);
        EXPECT_EQ(readSelection("primary"), r.text) << "a middle click elsewhere pastes it";
        EXPECT_EQ(shown(), before) << "copying changes nothing";
    }
}

TEST_F(Clipboard, PasteTakesANumberAsTheEntry) {
    {
        Owner other("clipboard", "0xFF\n");
        type({{XK_5, 0}, {XK_plus, 0}});
        type({{XK_v, ControlMask}});
        ASSERT_TRUE(pasted(decimal(5)));
        EXPECT_EQ(shown(), decimal(255)) << "shown in the radix on screen";
        type({{XK_Return, 0}});
        EXPECT_EQ(shown(), decimal(260)) << "the pending + stayed pending";
    }
    {
        Owner other("clipboard", "1,000");
        type({{XK_Insert, ShiftMask}});
        ASSERT_TRUE(pasted(decimal(260)));
        EXPECT_EQ(shown(), decimal(1000)) << "after \"=\" a new calculation";
        type({{XK_plus, 0}, {XK_1, 0}, {XK_Return, 0}});
        EXPECT_EQ(shown(), decimal(1001));
    }
    {
        Owner other("clipboard", "ff");
        type({{XK_h, ShiftMask}, {XK_v, ControlMask}});
        ASSERT_TRUE(pasted(displayText(1001, 16)));
        EXPECT_EQ(shown(), displayText(0xFF, 16)) << "hex digits in hex mode";
        EXPECT_EQ(g_base, 16) << "the radix stays";
        EXPECT_EQ(lastBells_, 0);
    }
}

TEST_F(Clipboard, MiddleClickOnTheDisplayPastesThePrimarySelection) {
    Owner other("primary", "42");
    const std::string before = shown();
    click(text_disp, 2);
    ASSERT_TRUE(pasted(before));
    EXPECT_EQ(shown(), decimal(42));
    click(s_window->child(12), 2); // elsewhere a middle click presses the key, as before
    EXPECT_EQ(shown(), decimal(427));
}

TEST_F(Clipboard, RefusedPasteRingsTheBellAndChangesNothing) {
    const struct {
        std::string text;
        const char *why;
    } rows[] = {
        {"12apples", "not a number"},
        {"4294967296", "past 32 bits"},
        {"", "empty"},
        {std::string("7\0"
                     "99",
                     4),
         "a NUL byte"},
        {std::string(1 << 20, '1'), "a megabyte"},
    };
    type({{XK_5, 0}, {XK_plus, 0}, {XK_3, 0}});
    for (const auto &r : rows) {
        SCOPED_TRACE(r.why);
        Owner other("clipboard", r.text);
        const auto start = std::chrono::steady_clock::now();
        type({{XK_v, ControlMask}});
        ASSERT_TRUE(pasted(decimal(3)));
        EXPECT_EQ(lastBells_, 1);
        EXPECT_EQ(shown(), decimal(3));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    }
    // Nobody owns the clipboard: the same.
    XSetSelectionOwner(testDisplay(), selectionAtom("clipboard"), None, CurrentTime);
    type({{XK_v, ControlMask}});
    ASSERT_TRUE(pasted(decimal(3)));
    EXPECT_EQ(lastBells_, 1);
    type({{XK_Return, 0}});
    EXPECT_EQ(shown(), decimal(8)) << "5 + 3 as typed, whatever was refused meanwhile";
}

// The keypad as a user with Num Lock on types on it.
void typeKeypad(std::initializer_list<unsigned long> syms) {
    Display *d = testDisplay();
    XkbLockModifiers(d, XkbUseCoreKbd, Mod2Mask, Mod2Mask);
    for (unsigned long sym : syms) {
        const KeyCode code = XKeysymToKeycode(d, sym);
        XTestFakeKeyEvent(d, code, True, CurrentTime);
        XTestFakeKeyEvent(d, code, False, CurrentTime);
    }
    XkbLockModifiers(d, XkbUseCoreKbd, Mod2Mask, 0);
    settle();
}

TEST_F(Clipboard, KeypadEnterIsEquals) {
    typeKeypad({XK_KP_1, XK_KP_Add, XK_KP_2, XK_KP_Enter});
    EXPECT_EQ(shown(), decimal(3));
    typeKeypad({XK_KP_4, XK_KP_Multiply, XK_KP_5, XK_KP_Enter});
    EXPECT_EQ(shown(), decimal(20));
}

TEST_F(Clipboard, TooltipShowsTheDisplayedValueInEveryRadix) {
    type({{XK_h, ShiftMask}, {XK_f, 0}, {XK_f, 0}, {XK_plus, 0}, {XK_1, 0}});
    ASSERT_NE(text_disp->tooltip(), nullptr);
    EXPECT_STREQ(text_disp->tooltip(), tooltipText(1).text);
    type({{XK_Return, 0}});
    EXPECT_STREQ(text_disp->tooltip(), tooltipText(0x100).text);

    // Resting on the display, the pointer brings it up: six lines, drawn as text.
    Fl_Tooltip::delay(0.1f);
    moveTo(fl_xid(s_window), 150, 300); // away first, then onto the display
    settle();
    moveTo(fl_xid(s_window), 150, 18);
    Window tip = None;
    EXPECT_TRUE(waitFor([&] { return (tip = findPopup()) != None; }, [] { Fl::wait(0.02); }));
    XWindowAttributes a{};
    XGetWindowAttributes(testDisplay(), tip, &a);
    EXPECT_GE(a.height, 6 * 12) << "six lines of 12-point text";
}

} // namespace
