// SPDX-License-Identifier: MIT
// Numbers in and out of the running window: copy and paste with another program on the
// other side of the clipboard (xclip on X11, wl-clipboard on Wayland), X11's primary
// selection and middle click, keypad Enter and the tooltip.
#include "main_window_fixture.h"
#include "format/number_text.h"

#include <FL/Fl_Tooltip.H>

#include <chrono>
#include <string>

namespace {

using Keys = std::vector<std::pair<unsigned long, unsigned>>;

class Clipboard : public MainWindow {
  protected:
    void SetUp() override {
        MainWindow::SetUp();
        backend().bells(); // none counted from before
    }
    void TearDown() override {
        backend().releaseClipboard();
        MainWindow::TearDown();
    }
    // Waits for an asynchronous paste to have arrived: the display changed, or a bell.
    bool pasted(const std::string &before) {
        int rung = 0;
        waitWhileRunning([&] {
            rung += backend().bells();
            return rung > 0 || shown() != before;
        });
        settle();
        lastBells_ = rung + backend().bells();
        return lastBells_ > 0 || shown() != before;
    }
    int lastBells_ = 0;
};

TEST_F(Clipboard, CopyWritesTheShownValueAsAProgrammerWritesIt) {
    const unsigned S = SHIFT, C = CTRL;
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
        type({{insert ? XK_Insert : XK_c, CTRL}});
        EXPECT_EQ(backend().readClipboard(), r.text);
        if (!backend().wayland()) { // which has no primary selection here
            EXPECT_EQ(backend().readClipboard(true), r.text)
                << "a middle click elsewhere pastes it";
        }
        EXPECT_EQ(shown(), before) << "copying changes nothing";
    }
}

TEST_F(Clipboard, PasteTakesANumberAsTheEntry) {
    {
        ASSERT_TRUE(backend().ownClipboard("0xFF\n"));
        type({{XK_5, 0}, {XK_plus, 0}});
        type({{XK_v, CTRL}});
        ASSERT_TRUE(pasted(decimal(5)));
        EXPECT_EQ(shown(), decimal(255)) << "shown in the radix on screen";
        type({{XK_Return, 0}});
        EXPECT_EQ(shown(), decimal(260)) << "the pending + stayed pending";
    }
    {
        ASSERT_TRUE(backend().ownClipboard("1,000"));
        type({{XK_Insert, SHIFT}});
        ASSERT_TRUE(pasted(decimal(260)));
        EXPECT_EQ(shown(), decimal(1000)) << "after \"=\" a new calculation";
        type({{XK_plus, 0}, {XK_1, 0}, {XK_Return, 0}});
        EXPECT_EQ(shown(), decimal(1001));
    }
    {
        ASSERT_TRUE(backend().ownClipboard("ff"));
        type({{XK_h, SHIFT}, {XK_v, CTRL}});
        ASSERT_TRUE(pasted(displayText(1001, 16)));
        EXPECT_EQ(shown(), displayText(0xFF, 16)) << "hex digits in hex mode";
        EXPECT_EQ(g_base, 16) << "the radix stays";
        EXPECT_EQ(lastBells_, 0);
    }
}

TEST_F(Clipboard, MiddleClickOnTheDisplayPastesThePrimarySelection) {
    if (backend().wayland())
        GTEST_SKIP() << "FLTK 1.4 has no primary selection on Wayland";
    ASSERT_TRUE(backend().ownClipboard("42", true));
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
    };
    type({{XK_5, 0}, {XK_plus, 0}, {XK_3, 0}});
    for (const auto &r : rows) {
        SCOPED_TRACE(r.why);
        ASSERT_TRUE(backend().ownClipboard(r.text));
        const auto start = std::chrono::steady_clock::now();
        type({{XK_v, CTRL}});
        ASSERT_TRUE(pasted(decimal(3)));
        EXPECT_EQ(lastBells_, 1);
        EXPECT_EQ(shown(), decimal(3));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    }
    // Nobody owns the clipboard: the same.
    backend().releaseClipboard();
    type({{XK_v, CTRL}});
    ASSERT_TRUE(pasted(decimal(3)));
    EXPECT_EQ(lastBells_, 1);
    type({{XK_Return, 0}});
    EXPECT_EQ(shown(), decimal(8)) << "5 + 3 as typed, whatever was refused meanwhile";
}

// An owner that answers late: what the user typed meanwhile stands, whether the text comes
// after the bell has rung or before.
TEST_F(Clipboard, LateTextNeverOverwritesTyping) {
    if (backend().wayland())
        GTEST_SKIP() << "FLTK 1.4 on Wayland waits for the text before it handles anything else";
    for (const double resumeAfter : {1.5, 0.0}) {
        SCOPED_TRACE(resumeAfter);
        ASSERT_TRUE(backend().ownClipboard("4242"));
        backend().pauseClipboard(true);
        typeText("{Ctrl+a}9{Ctrl+v}87");
        const auto start = std::chrono::steady_clock::now();
        const auto since = [&] {
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        };
        waitWhileRunning([&] { return since() >= resumeAfter; });
        backend().pauseClipboard(false);
        int rung = 0;
        waitWhileRunning([&] { return (rung += backend().bells()) < 0 || since() > 2.0; }, 3);
        EXPECT_EQ(shown(), decimal(987));
        EXPECT_EQ(rung, 1) << "the bell tells that nothing was pasted";
    }
}

TEST_F(Clipboard, KeypadEnterIsEquals) {
    backend().typeKeypad({XK_KP_1, XK_KP_Add, XK_KP_2, XK_KP_Enter});
    settle();
    EXPECT_EQ(shown(), decimal(3));
    backend().typeKeypad({XK_KP_4, XK_KP_Multiply, XK_KP_5, XK_KP_Enter});
    settle();
    EXPECT_EQ(shown(), decimal(20));
}

TEST_F(Clipboard, TooltipShowsTheDisplayedValueInEveryRadix) {
    type({{XK_h, SHIFT}, {XK_f, 0}, {XK_f, 0}, {XK_plus, 0}, {XK_1, 0}});
    ASSERT_NE(text_disp->tooltip(), nullptr);
    EXPECT_STREQ(text_disp->tooltip(), tooltipText(1).text);
    type({{XK_Return, 0}});
    EXPECT_STREQ(text_disp->tooltip(), tooltipText(0x100).text);

    // Resting on the display, the pointer brings it up: six lines, drawn as text.
    Fl_Tooltip::delay(0.1f);
    backend().moveTo(s_window, 150, 300); // away first, then onto the display
    settle();
    backend().moveTo(s_window, 150, 18);
    Fl_Window *tip = nullptr;
    EXPECT_TRUE(waitWhileRunning([&] {
        for (Fl_Window *w = Fl::first_window(); w && !tip; w = Fl::next_window(w))
            if (w->tooltip_window() && w->visible())
                tip = w;
        return tip != nullptr;
    }));
    ASSERT_NE(tip, nullptr);
    EXPECT_GE(tip->h(), 6 * 12) << "six lines of 12-point text";
}

} // namespace
