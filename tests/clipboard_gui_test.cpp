// SPDX-License-Identifier: MIT
// Numbers in and out of the running window: copy and paste with another program on the
// other side of the clipboard (xclip on X11, wl-clipboard on Wayland), X11's primary
// selection and middle click, keypad Enter and the tooltip.
#include "main_window_fixture.h"
#include "format/number_text.h"

#include <FL/Fl_Tooltip.H>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <unistd.h>

namespace {

class Clipboard : public MainWindow {
  protected:
    void SetUp() override {
        MainWindow::SetUp();
        backend().bells(); // none counted from before
    }
    void TearDown() override {
        releaseClipboard();
        MainWindow::TearDown();
    }
    // Waits for an asynchronous paste to have arrived: the display changed, or a bell.
    bool pasted(const std::string &before) {
        int rung = 0;
        waitUntil([&] {
            rung += backend().bells();
            return rung > 0 || shown() != before;
        });
        backend().settle();
        lastBells_ = rung + backend().bells();
        return lastBells_ > 0 || shown() != before;
    }
    int lastBells_ = 0;
};

TEST_F(Clipboard, CopyWritesTheShownValueAsAProgrammerWritesIt) {
    const struct {
        const char *typed, *text, *why;
    } rows[] = {
        {"", "0", "at start-up"},
        {"5+", "5", "after an operator: the accumulator shown"},
        {"Hdeadbeef", "0xDEADBEEF", "hex"},
        {"O{Ctrl+a}017", "0o17", "octal, no leading 0"},
        {"B{Ctrl+a}101", "0b101", "binary"},
        {"SD{Ctrl+a}5-7\n", "-2", "signed decimal"},
        {"UH", "0xFFFFFFFE", "the same bits in hex"},
    };
    bool insert = false;
    for (const auto &r : rows) {
        SCOPED_TRACE(r.why);
        type(r.typed);
        const std::string before = shown();
        insert = !insert; // Ctrl+C and Ctrl+Insert in turn
        type(insert ? "{Ctrl+Insert}" : "{Ctrl+c}");
        EXPECT_EQ(readClipboard(), r.text);
        EXPECT_EQ(readClipboard(true), r.text) << "a middle click elsewhere pastes it";
        EXPECT_EQ(shown(), before) << "copying changes nothing";
    }
    if (!backend().wayland()) { // the targets offered: TARGETS itself among them
        EXPECT_EQ(runCollecting({"xclip", "-o", "-selection", "clipboard", "-t", "TARGETS"}),
                  "TARGETS\nUTF8_STRING\nSTRING\nTEXT\n");
    }
}

TEST_F(Clipboard, PasteTakesANumberAsTheEntry) {
    {
        ASSERT_TRUE(ownClipboard("0xFF\n"));
        type("5+{Ctrl+v}");
        ASSERT_TRUE(pasted(decimal(5)));
        EXPECT_EQ(shown(), decimal(255)) << "shown in the radix on screen";
        type("\n");
        EXPECT_EQ(shown(), decimal(260)) << "the pending + stayed pending";
    }
    {
        ASSERT_TRUE(ownClipboard("1,000"));
        type("{Shift+Insert}");
        ASSERT_TRUE(pasted(decimal(260)));
        EXPECT_EQ(shown(), decimal(1000)) << "after \"=\" a new calculation";
        type("+1\n");
        EXPECT_EQ(shown(), decimal(1001));
    }
    {
        ASSERT_TRUE(ownClipboard("ff"));
        type("H{Ctrl+v}");
        ASSERT_TRUE(pasted(displayText(1001, 16)));
        EXPECT_EQ(shown(), displayText(0xFF, 16)) << "hex digits in hex mode";
        EXPECT_EQ(g_base, 16) << "the radix stays";
        EXPECT_EQ(lastBells_, 0);
    }
}

TEST_F(Clipboard, MiddleClickOnTheDisplayPastesThePrimarySelection) {
    ASSERT_TRUE(ownClipboard("42", true));
    const std::string before = shown();
    click(text_disp, 2);
    ASSERT_TRUE(pasted(before));
    EXPECT_EQ(shown(), decimal(42));
    click(key("7"), 2); // a paste aimed a little low
    EXPECT_EQ(shown(), decimal(42)) << "a middle click on a key pressed it";
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
        {std::string(100 << 20, '1'), "100 megabytes, refused at once"},
    };
    // Share of the display's pixels in the colour `rgb`.
    const auto share = [](const Image &image, uint32_t rgb) {
        const double px = double(image.w) / s_window->w();
        int in = 0, all = 0;
        for (int y = int((text_disp->y() + 4) * px);
             y < int((text_disp->y() + text_disp->h() - 4) * px); ++y)
            for (int x = int((text_disp->x() + 4) * px);
                 x < int((text_disp->x() + text_disp->w() - 4) * px); ++x, ++all)
                in += image.at(x, y) == rgb;
        return double(in) / all;
    };
    uchar r8, g8, b8;
    Fl::get_color(text_disp->selection_color(), r8, g8, b8);
    const uint32_t flash = uint32_t(r8) << 16 | uint32_t(g8) << 8 | b8;
    type("5+3");
    const auto since = std::chrono::steady_clock::now(); // the 3 key drawn up again
    waitUntil(
        [&] { return std::chrono::steady_clock::now() - since > std::chrono::milliseconds(300); });
    const Image calm = grab(s_window);
    for (const auto &r : rows) {
        SCOPED_TRACE(r.why);
        ASSERT_TRUE(ownClipboard(r.text));
        const auto start = std::chrono::steady_clock::now();
        type("{Ctrl+v}");
        ASSERT_TRUE(pasted(decimal(3)));
        EXPECT_EQ(lastBells_, 1);
        if (&r == rows) { // the bell's visible sign: the display flashes, then is as before
            EXPECT_GE(share(grab(s_window), flash), 0.5) << "no flash";
            waitUntil([&] {
                return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(600);
            });
            EXPECT_TRUE(grab(s_window).pixels == calm.pixels) << "the flash left a trace";
        }
        EXPECT_EQ(shown(), decimal(3));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    }
    // Nobody owns the clipboard: the same.
    releaseClipboard();
    type("{Ctrl+v}");
    ASSERT_TRUE(pasted(decimal(3)));
    EXPECT_EQ(lastBells_, 1);
    type("\n");
    EXPECT_EQ(shown(), decimal(8)) << "5 + 3 as typed, whatever was refused meanwhile";
}

// An owner that answers late: what the user typed meanwhile stands, whether the text comes
// after the bell has rung or before.
TEST_F(Clipboard, LateTextNeverOverwritesTyping) {
    for (const double resumeAfter : {1.5, 0.0}) {
        SCOPED_TRACE(resumeAfter);
        ASSERT_TRUE(ownClipboard("4242"));
        pauseClipboard(true);
        type("{Ctrl+a}9{Ctrl+v}");
        const Image asked = grab(s_window);
        type("87");
        EXPECT_NE(grab(s_window).pixels, asked.pixels) << "not drawn while the owner waits";
        const auto start = std::chrono::steady_clock::now();
        const auto since = [&] {
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        };
        waitUntil([&] { return since() >= resumeAfter; });
        pauseClipboard(false);
        int rung = 0;
        waitUntil([&] { return (rung += backend().bells()) < 0 || since() > 2.0; }, 3);
        EXPECT_EQ(shown(), decimal(987));
        EXPECT_EQ(rung, 1) << "the bell tells that nothing was pasted";
    }
}

// An X11 owner of the clipboard, on a connection of its own, that offers its text as one
// target only, as older programs do, and sends it whole or in INCR pieces of `piece` bytes.
// It answers from the checks of a wait.
class OldOwner {
  public:
    OldOwner(const char *target, const std::string &text, size_t piece)
        : target_(XInternAtom(d_, target, False)), text_(text), piece_(piece) {
        XSetSelectionOwner(d_, XInternAtom(d_, "CLIPBOARD", False), w_, CurrentTime);
        XSync(d_, False);
    }
    ~OldOwner() { XCloseDisplay(d_); }
    void serve() {
        for (XEvent e; XPending(d_) > 0;) {
            XNextEvent(d_, &e);
            if (e.type == PropertyNotify && e.xproperty.state == PropertyDelete &&
                e.xproperty.window == requestor_ && e.xproperty.atom == property_ && sending_) {
                const size_t n = std::min(piece_, text_.size() - sent_);
                put(requestor_, property_, target_, 8, text_.data() + sent_, n);
                sent_ += n;
                sending_ = n > 0; // an empty piece ends it
            }
            if (e.type != SelectionRequest)
                continue;
            XSelectionRequestEvent &r = e.xselectionrequest;
            XEvent n{};
            n.xselection = {SelectionNotify, 0,        True, d_,    r.requestor,
                            r.selection,     r.target, None, r.time};
            const long size = long(text_.size());
            const Atom targets[] = {XInternAtom(d_, "TARGETS", False), target_};
            if (r.target == targets[0])
                put(r.requestor, n.xselection.property = r.property, XA_ATOM, 32, targets, 2);
            else if (r.target == target_ && piece_ == 0)
                put(r.requestor, n.xselection.property = r.property, target_, 8, text_.data(),
                    text_.size());
            else if (r.target == target_) {
                XSelectInput(d_, requestor_ = r.requestor, PropertyChangeMask);
                put(r.requestor, n.xselection.property = property_ = r.property,
                    XInternAtom(d_, "INCR", False), 32, &size, 1);
                sent_ = 0;
                sending_ = true;
            }
            XSendEvent(d_, r.requestor, False, NoEventMask, &n);
        }
        XFlush(d_);
    }

  private:
    void put(Window w, Atom property, Atom type, int format, const void *data, size_t n) {
        XChangeProperty(d_, w, property, type, format, PropModeReplace,
                        static_cast<const unsigned char *>(data), int(n));
    }
    Display *d_ = XOpenDisplay(nullptr);
    Window w_ = XCreateSimpleWindow(d_, DefaultRootWindow(d_), 0, 0, 1, 1, 0, 0, 0);
    Atom target_, property_ = None;
    Window requestor_ = None;
    std::string text_;
    size_t piece_, sent_ = 0;
    bool sending_ = false;
};

// Owners that offer text as STRING or TEXT only (older X programs, some terminals and Java
// programs), and those that send it in pieces (INCR): their numbers are taken by the same
// rules, and a text too long is refused, however it comes.
TEST_F(Clipboard, PastesFromEveryKindOfX11Owner) {
    if (backend().wayland())
        GTEST_SKIP() << "X11's selections";
    const struct {
        const char *target;
        size_t piece;
        std::string text;
        unsigned shown; // 0: refused
    } rows[] = {
        {"STRING", 0, "0x2A", 42},
        {"TEXT", 0, "17", 17},
        {"STRING", 0, "4\xE9", 0}, // Latin-1, but no number
        {"UTF8_STRING", 3, " 123456\n", 123456},
        {"STRING", 2, "99", 99},
        {"UTF8_STRING", 1000, std::string(5000, '1'), 0},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(testing::Message() << r.target << " in pieces of " << r.piece);
        OldOwner owner(r.target, r.text, r.piece);
        const std::string before = shown();
        type("{Ctrl+v}");
        int rung = 0;
        EXPECT_TRUE(waitUntil([&] {
            owner.serve();
            return (rung += backend().bells()) > 0 || shown() != before;
        }));
        EXPECT_EQ(shown(), r.shown ? decimal(r.shown) : before);
        EXPECT_EQ(rung, r.shown ? 0 : 1);
        press("ca");
    }
}

TEST_F(Clipboard, KeypadEnterIsEquals) {
    type("{KP_1}{KP_Add}{KP_2}{KP_Enter}");
    EXPECT_EQ(shown(), decimal(3));
    type("{KP_4}{KP_Multiply}{KP_5}{KP_Enter}");
    EXPECT_EQ(shown(), decimal(20));
}

TEST_F(Clipboard, TooltipShowsTheDisplayedValueInEveryRadix) {
    type("Hff+1");
    ASSERT_NE(text_disp->tooltip(), nullptr);
    EXPECT_STREQ(text_disp->tooltip(), tooltipText(1, 16, true).text);
    type("\n");
    EXPECT_STREQ(text_disp->tooltip(), tooltipText(0x100, 16, true).text);
    type("S"); // the mode alone changes its first line
    EXPECT_STREQ(text_disp->tooltip(), tooltipText(0x100, 16, false).text);
    type("U");

    // Resting on the display, the pointer brings it up: eight lines, drawn as text.
    Fl_Tooltip::delay(0.1f);
    const Place window = backend().window(TITLE);
    const float s = scaleOf(s_window);
    backend().pointer(window.x + 150 * s, window.y + 300 * s); // away first, then onto the display
    backend().settle();
    backend().pointer(window.x + 150 * s, window.y + 18 * s);
    Fl_Window *tip = nullptr;
    EXPECT_TRUE(waitUntil([&] {
        for (Fl_Window *w = Fl::first_window(); w && !tip; w = Fl::next_window(w))
            if (w->tooltip_window() && w->visible())
                tip = w;
        return tip != nullptr;
    }));
    ASSERT_NE(tip, nullptr);
    EXPECT_GE(tip->h(), 8 * 12) << "eight lines of 12-point text";
    // Without a mouse, the pointer away: Ctrl+F1 shows it below the display; Escape or
    // Ctrl+F1 puts it away, and Escape quits nothing then.
    backend().pointer(window.x + 150 * s, window.y + 300 * s);
    EXPECT_TRUE(waitUntil([&] { return !tip->visible(); }));
    for (const char *closer : {"{Escape}", "{Ctrl+F1}"}) {
        type("{Ctrl+F1}");
        EXPECT_TRUE(waitUntil([&] { return tip->visible() && tip->y() < s_window->y() + 80; }));
        type(closer);
        EXPECT_TRUE(waitUntil([&] { return !tip->visible(); })) << closer;
        usleep(200000);
        backend().settle();
        EXPECT_FALSE(tip->visible()) << closer << " put it up again";
    }
}

} // namespace
