// SPDX-License-Identifier: MIT
// The main window on a private display server, driven like a user drives it: real key and
// button events, checked against what the user sees.
#include <gtest/gtest.h>

#include "main_window_fixture.h"
#include "digit_keys.h"
#include "format/format.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Must see the window before any key reaches it; ctest runs every test in its own process.
TEST_F(MainWindow, StartsInDecimalWithTheConstantLabel) {
    EXPECT_STREQ(text_disp->label(), ".     .     .     .     .     .     .     .     .     .   0");
    EXPECT_EQ(dec_button->labelcolor(), 63u);
    for (Fl_Button *b : {bin_button, oct_button})
        EXPECT_EQ(b->labelcolor(), 7u) << b->label();
    EXPECT_EQ(hex_button->labelcolor(), 255u);
    for (Fl_Button *b : {a_button, b_button, c_button, d_button, e_button, f_button})
        EXPECT_FALSE(b->active()) << b->label();
    for (Fl_Button *b : {zero_button, one_button, two_button, three_button, four_button,
                         five_button, six_button, seven_button, eight_button, nine_button})
        EXPECT_TRUE(b->active()) << b->label();
    EXPECT_STREQ(u_button->label(), "U");
    EXPECT_EQ(u_button->shortcut(), FL_SHIFT | 's');
    EXPECT_EQ(g_base, 10);
}

// The suite is only worth as much as the back end it claims to run on.
TEST_F(MainWindow, RunsNativelyOnTheChosenServer) {
    std::string facts;
    EXPECT_TRUE(backend().native(s_window, facts)) << facts;
    std::printf("%s\n", facts.c_str());
}

TEST_F(MainWindow, ChildrenFollowTheWidgetTable) {
    struct Child {
        const char *label;
        int x, y, w, h;
        unsigned color, selection, labelcolor, labelsize;
        int shortcut;
    };
    const unsigned S = 49; // FL_SELECTION_COLOR, an Fl_Button's default
    // clang-format off
    const Child table[] = {
        {"C",     2,  35,  30, 25,  0,  S,  7, 10, 'c'},
        {"D",    34,  35,  30, 25,  0,  S,  7, 10, 'd'},
        {"E",    66,  35,  30, 25,  0,  S,  7, 10, 'e'},
        {"F",    98,  35,  30, 25,  0,  S,  7, 10, 'f'},
        {"8",     2,  61,  30, 25,  0,  S,  7, 10, '8'},
        {"9",    34,  61,  30, 25,  0,  S,  7, 10, '9'},
        {"A",    66,  61,  30, 25,  0,  S,  7, 10, 'a'},
        {"B",    98,  61,  30, 25,  0,  S,  7, 10, 'b'},
        {"4",     2,  87,  30, 25,  0,  S,  7, 10, '4'},
        {"5",    34,  87,  30, 25,  0,  S,  7, 10, '5'},
        {"6",    66,  87,  30, 25,  0,  S,  7, 10, '6'},
        {"7",    98,  87,  30, 25,  0,  S,  7, 10, '7'},
        {"0",     2, 113,  30, 25,  0,  S,  7, 10, '0'},
        {"1",    34, 113,  30, 25,  0,  S,  7, 10, '1'},
        {"2",    66, 113,  30, 25,  0,  S,  7, 10, '2'},
        {"3",    98, 113,  30, 25,  0,  S,  7, 10, '3'},
        {"BIN", 232,  35,  34, 25,  0, 80,  7, 10, FL_SHIFT | 'b'},
        {"OCT", 200,  35,  30, 25,  0, 81,  7, 10, FL_SHIFT | 'o'},
        {"DEC", 168,  35,  30, 23,  0, 80, 63, 10, FL_SHIFT | 'd'},
        {"HEX", 136,  35,  30, 25, 56, 80, 255, 10, FL_SHIFT | 'h'},
        {"<<",  268,  87,  34, 25, 34,  S,  7, 10, '<'},
        {nullptr, 128, 38,  5,  6, 49,  S,  0, 14, FL_BackSpace},
        {nullptr, 130, 123, 5,  5, 49,  S,  0, 14, FL_Enter},
        {"+",   136,  61,  30, 25,  0,  S,  7, 10, '+'},
        {"-",   168,  61,  30, 25,  0,  S,  7, 12, '-'},
        {"&",   168,  87,  30, 25,  0,  S,  7, 10, '&'},
        {"|",   136,  87,  30, 25,  0,  S,  7, 10, '|'},
        {"~",   168, 113,  30, 25,  0,  S,  7, 10, '~'},
        {"=",   136, 113,  30, 25,  0,  S,  7, 10, '='},
        {"*",   200,  61,  30, 25,  0,  S,  7, 10, '*'},
        {">>",  232,  87,  34, 25,  0,  S,  7, 10, '>'},
        {"/",   232,  61,  34, 25,  0,  S,  7, 10, '/'},
        {"%",   268,  59,  34, 25,  0,  S,  7, 10, '%'},
        {"CE",  200, 113,  30, 25,  0,  S,  7, 10, FL_CTRL | 'e'},
        {"CD",  232, 113,  34, 25,  0,  S,  7, 10, FL_CTRL | 'd'},
        {"CA",  268, 113,  34, 25,  0,  S,  7, 10, FL_CTRL | 'a'},
        {"^",   200,  87,  30, 25, 34,  S,  7, 10, '^'},
        {"U",   268,  35,  34, 25,  0,  S, 63, 10, FL_SHIFT | 's'},
    };
    // clang-format on
    ASSERT_EQ(s_window->children(), 40);
    EXPECT_EQ(s_window->w(), 303);
    EXPECT_EQ(s_window->h(), 139);
    EXPECT_STREQ(s_window->label(), TITLE);
    EXPECT_EQ(s_window->align(), 17u);

    EXPECT_EQ(s_window->child(0), text_disp);
    EXPECT_EQ(text_disp->x() * 1000 + text_disp->y(), 2005);
    EXPECT_EQ(text_disp->w() * 1000 + text_disp->h(), 300027);
    EXPECT_EQ(text_disp->box(), FL_DOWN_BOX);
    EXPECT_EQ(text_disp->color(), 7u);
    EXPECT_EQ(text_disp->selection_color(), 219u);
    EXPECT_EQ(text_disp->labelfont(), FL_HELVETICA_BOLD);
    EXPECT_EQ(text_disp->labelsize(), 10);
    EXPECT_EQ(text_disp->labelcolor(), FL_FOREGROUND_COLOR);
    EXPECT_EQ(text_disp->align(), 24u);

    for (int i = 0; i < 38; ++i) {
        const Child &c = table[i];
        auto *b = dynamic_cast<Fl_Button *>(s_window->child(i + 1));
        ASSERT_NE(b, nullptr) << "child " << i + 1;
        SCOPED_TRACE("child " + std::to_string(i + 1));
        if (c.label)
            EXPECT_STREQ(b->label(), c.label);
        else
            EXPECT_EQ(b->label(), nullptr);
        EXPECT_EQ(b->x(), c.x);
        EXPECT_EQ(b->y(), c.y);
        EXPECT_EQ(b->w(), c.w);
        EXPECT_EQ(b->h(), c.h);
        EXPECT_EQ(b->color(), c.color);
        EXPECT_EQ(b->selection_color(), c.selection);
        EXPECT_EQ(b->labelcolor(), c.labelcolor);
        EXPECT_EQ(b->labelsize(), c.labelsize);
        EXPECT_EQ(b->shortcut(), c.shortcut);
        EXPECT_EQ(b->box(), c.label ? FL_UP_BOX : FL_FLAT_BOX);
        EXPECT_EQ(b->labelfont(), FL_HELVETICA);
        EXPECT_EQ(b->user_data(), nullptr);
    }
    EXPECT_EQ(s_window->child(22), backspace_tricker);
    EXPECT_EQ(s_window->child(23), enter_tricker);
    EXPECT_EQ(s_window->child(38), u_button);

    EXPECT_EQ(s_window->child(39), popup_menu);
    EXPECT_EQ(popup_menu->x() * 1000 + popup_menu->y(), 0);
    EXPECT_EQ(popup_menu->w() * 1000 + popup_menu->h(), 304142);
    EXPECT_EQ(popup_menu->type(), Fl_Menu_Button::POPUP3);
    EXPECT_TRUE(popup_menu->visible());
    EXPECT_EQ(popup_menu->label(), nullptr);
}

// Key rows: what the user types on a US keyboard, and the decimal value shown at the end.
struct Typed {
    std::vector<std::pair<unsigned long, unsigned>> keys;
    unsigned shown;
    const char *why;
};

TEST_F(MainWindow, KeyboardShortcutsReachTheirKeys) {
    const unsigned C = CTRL;
    // clang-format off
    const Typed rows[] = {
        {{{XK_1, 0}, {XK_plus, 0}, {XK_2, 0}, {XK_Return, 0}},   3, "Enter is \"=\""},
        {{{XK_7, 0}, {XK_plus, 0}, {XK_5, 0}, {XK_equal, 0}},   12, "the \"=\" key"},
        {{{XK_1, 0}, {XK_2, 0}, {XK_3, 0}, {XK_BackSpace, 0}},  12, "BackSpace deletes a digit"},
        {{{XK_1, 0}, {XK_2, 0}, {XK_3, 0}, {XK_d, C}},          12, "Ctrl+d deletes a digit"},
        {{{XK_9, 0}, {XK_plus, 0}, {XK_4, 0}, {XK_e, C}, {XK_6, 0}, {XK_Return, 0}},
                                                                15, "Ctrl+e clears the entry"},
        {{{XK_9, 0}, {XK_plus, 0}, {XK_4, 0}, {XK_a, C}, {XK_6, 0}, {XK_Return, 0}},
                                                                 6, "Ctrl+a clears all"},
        {{{XK_9, 0}, {XK_minus, 0}, {XK_4, 0}, {XK_Return, 0}},  5, "-"},
        {{{XK_6, 0}, {XK_asterisk, 0}, {XK_7, 0}, {XK_Return, 0}}, 42, "*"},
        {{{XK_8, 0}, {XK_2, 0}, {XK_slash, 0}, {XK_2, 0}, {XK_Return, 0}}, 41, "/"},
        {{{XK_1, 0}, {XK_0, 0}, {XK_0, 0}, {XK_percent, 0}, {XK_7, 0}, {XK_Return, 0}}, 2, "%"},
        {{{XK_1, 0}, {XK_2, 0}, {XK_bar, 0}, {XK_3, 0}, {XK_Return, 0}},       15, "|"},
        {{{XK_1, 0}, {XK_2, 0}, {XK_ampersand, 0}, {XK_6, 0}, {XK_Return, 0}}, 4, "&"},
        {{{XK_1, 0}, {XK_2, 0}, {XK_asciicircum, 0}, {XK_5, 0}, {XK_Return, 0}}, 9, "^"},
        {{{XK_3, 0}, {XK_less, 0}, {XK_4, 0}, {XK_Return, 0}},   48, "<"},
        {{{XK_9, 0}, {XK_6, 0}, {XK_greater, 0}, {XK_3, 0}, {XK_Return, 0}}, 12, ">"},
        {{{XK_5, 0}, {XK_asciitilde, 0}},               0xFFFFFFFAu, "~"},
    };
    // clang-format on
    for (const Typed &row : rows) {
        SCOPED_TRACE(row.why);
        type(row.keys);
        EXPECT_EQ(shown(), decimal(row.shown));
        specButtonCb(OPT_CA);
    }
    // The catchers never take the focus, so they never show a focus frame.
    EXPECT_NE(Fl::focus(), enter_tricker);
    EXPECT_NE(Fl::focus(), backspace_tricker);
}

// Typed as a programmer writes it: a blank presses nothing, wherever the focus was put by
// the toolkit, a shortcut or a click.
TEST_F(MainWindow, BlanksBetweenNumbersChangeNothing) {
    const struct {
        const char *text;
        unsigned shown;
        int base;
        const char *why;
    } rows[] = {
        {" 7", 7, 10, "Space first in a fresh window"},
        {"12 + 34 =", 46, 10, "the last key is not pressed again"},
        {"1 << 4 =", 16, 10, "nor an operator typed twice"},
        {"255 & 15 =", 15, 10, "nor one before a number"},
        {"H ff + 1 =", 0x100, 16, "in hex"},
        {"O 17 * 2 =", 036, 8, "in octal"},
        {"B 101 | 10 =", 5 | 2, 2, "in binary"},
        {"{KP_1}{KP_2} {KP_Add} {KP_3}{KP_4} {KP_Enter}", 46, 10, "keypad operators"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.why);
        typeText(r.text);
        EXPECT_EQ(shown(), displayText(r.shown, r.base));
        EXPECT_EQ(g_base, r.base);
        typeText("{Ctrl+a}D");
    }
}

// Space presses the key the user put the focus on with Tab, Shift+Tab or an arrow, and
// that key only: a click or a shortcut presses its key and leaves the focus alone.
TEST_F(MainWindow, SpacePressesOnlyTheChosenKey) {
    click(key("5"));
    typeText(" ");
    EXPECT_EQ(shown(), decimal(5)) << "after a click, Space pressed the clicked key";
    const struct {
        const char *text;
        unsigned shown;
        const char *why;
    } rows[] = {
        {"{Ctrl+a}{Tab}{Tab}{Tab}{Tab}{Tab}{Tab} ", 8, "Tab: HEX DEC OCT BIN U 8"},
        {"3 ", 838, "a shortcut left the focus on 8"},
        {"{Right}{Right}{Right}{Right}{Left} 1\n", 837, "Right: 9 + - *, skipping A B; Left: -"},
        {"{Shift+Tab} 3\n", 840, "Shift+Tab: back to +"},
        {"{Down} 3\n", 843, "Down: | below +"},
        {"{Up} 7\n", 850, "Up: + above |"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.why);
        typeText(r.text);
        EXPECT_EQ(shown(), decimal(r.shown));
    }
    click(key("5"));
    typeText(" 2\n");
    EXPECT_EQ(shown(), decimal(7)) << "a click left the focus on +";
    EXPECT_EQ(Fl::focus(), key("+"));
}

TEST_F(MainWindow, ShiftSAndShiftUToggleTheSignedness) {
    type({{XK_s, SHIFT}});
    EXPECT_STREQ(u_button->label(), "S");
    EXPECT_EQ(u_button->shortcut(), FL_SHIFT | 'u');
    type({{XK_s, SHIFT}}); // no longer its shortcut
    EXPECT_STREQ(u_button->label(), "S");
    type({{XK_1, 0}, {XK_minus, 0}, {XK_3, 0}, {XK_Return, 0}});
    EXPECT_EQ(shown(), decimal(0xFFFFFFFEu));
    type({{XK_u, SHIFT}});
    EXPECT_STREQ(u_button->label(), "U");
    EXPECT_EQ(u_button->shortcut(), FL_SHIFT | 's');
}

TEST_F(MainWindow, MouseClicksPressKeys) {
    for (Fl_Widget *key : {s_window->child(12), s_window->child(24), s_window->child(9),
                           static_cast<Fl_Widget *>(enter_tricker)}) // 7 + 4 Enter
        click(key);
    EXPECT_EQ(shown(), decimal(11));
    for (Fl_Widget *key : {s_window->child(14), s_window->child(16),
                           static_cast<Fl_Widget *>(backspace_tricker)}) // 1 3 BackSpace
        click(key);
    EXPECT_EQ(shown(), decimal(1));
}

TEST_F(MainWindow, InactiveLetterKeysIgnoreShortcutsAndClicks) {
    type({{XK_a, 0}, {XK_b, 0}, {XK_c, 0}, {XK_d, 0}, {XK_e, 0}, {XK_f, 0}});
    click(a_button);
    click(f_button);
    type({{XK_1, 0}}); // had any letter counted, this would be 101 or more
    EXPECT_EQ(shown(), decimal(1));
}

TEST_F(MainWindow, ShiftLettersSwitchTheRadix) {
    const struct {
        unsigned long sym;
        int base;
        Fl_Button *lit;
    } rows[] = {{XK_h, 16, hex_button},
                {XK_o, 8, oct_button},
                {XK_b, 2, bin_button},
                {XK_d, 10, dec_button}};
    type({{XK_1, 0}, {XK_3, 0}});
    for (const auto &r : rows) {
        SCOPED_TRACE(r.base);
        type({{r.sym, SHIFT}});
        EXPECT_EQ(g_base, r.base);
        EXPECT_EQ(r.lit->labelcolor(), FL_GREEN);
        EXPECT_EQ(shown(), displayText(13, r.base));
    }
}

// Each row: switch, then try the radix's missing digits by keyboard and by mouse; a final
// "1" shows whether anything else was entered.
TEST_F(MainWindow, DisabledDigitsIgnoreKeysAndClicks) {
    const struct {
        unsigned long mode;
        int base;
        std::vector<unsigned long> missing;
    } rows[] = {
        {XK_o, 8, {XK_8, XK_9}},
        {XK_b, 2, {XK_2, XK_3, XK_4, XK_5, XK_6, XK_7, XK_8, XK_9, XK_a, XK_c, XK_e, XK_f}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.base);
        type({{r.mode, SHIFT}});
        for (unsigned long sym : r.missing) {
            type({{sym, 0}});
            for (int digit = r.base; digit < 16; ++digit)
                EXPECT_FALSE(digitKey(digit)->active()) << digit;
        }
        for (int digit = r.base; digit < 16; ++digit)
            click(digitKey(digit));
        type({{XK_1, 0}});
        EXPECT_EQ(shown(), displayText(1, r.base));
        specButtonCb(OPT_CA);
    }
}

TEST_F(MainWindow, LetterKeysInHex) {
    type({{XK_h, SHIFT}, {XK_b, 0}, {XK_d, 0}});
    EXPECT_EQ(shown(), displayText(0xBD, 16)) << "b and d are digits";
    type({{XK_d, CTRL}});
    EXPECT_EQ(shown(), displayText(0xB, 16)) << "Ctrl+d deletes a digit";
    type({{XK_d, SHIFT}});
    EXPECT_EQ(shown(), displayText(11, 10)) << "Shift+d is decimal";
    type({{XK_h, SHIFT}, {XK_b, SHIFT}});
    EXPECT_EQ(shown(), displayText(11, 2)) << "Shift+b is binary";
}

// The menu runs a loop of its own inside the toolkit; a timer in that loop waits for the
// menu window and then picks an item, or closes the menu with Escape when `pick` < 0.
int s_pick = -1;
bool s_menuSeen = false;

void pickCb(void *) {
    if (!backend().menuOpen()) {
        Fl::repeat_timeout(0.02, pickCb);
        return;
    }
    s_menuSeen = true;
    if (s_pick < 0)
        backend().typeKey(XK_Escape);
    else
        backend().chooseItem(s_pick, 3);
}

enum { ABOUT, SHORTCUTS };

// Opens the menu with a right click on `over` and picks an item (or none).
bool openMenu(Fl_Window *window, Fl_Widget *over, int pick) {
    settle(); // the server must have what the toolkit did last, eg. a window hidden
    s_pick = pick;
    s_menuSeen = false;
    Fl::add_timeout(0.02, pickCb);
    backend().click(window, over->x() + over->w() / 2, over->y() + over->h() / 2, 3);
    bool closed = waitWhileRunning([] { return s_menuSeen && backend().menuClosed(); });
    Fl::remove_timeout(pickCb);
    settle();
    return s_menuSeen && closed;
}

std::vector<Fl_Window *> shownWindowsTitled(const char *title) {
    std::vector<Fl_Window *> found;
    for (Fl_Window *w = Fl::first_window(); w; w = Fl::next_window(w))
        if (w->label() && std::strcmp(w->label(), title) == 0)
            found.push_back(w);
    return found;
}

TEST_F(MainWindow, RightClickOnAKeyOpensTheMenuAndPressesNothing) {
    type({{XK_5, 0}});
    ASSERT_TRUE(openMenu(s_window, s_window->child(12), -1)) << "no menu on the 7 key";
    ASSERT_TRUE(openMenu(s_window, text_disp, -1)) << "no menu on the display";
    EXPECT_EQ(shown(), decimal(5));
    click(s_window->child(12)); // a left click still presses the key
    EXPECT_EQ(shown(), decimal(57));
}

TEST_F(MainWindow, AboutShowsTheAboutWindowAndOkHidesIt) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(openMenu(s_window, s_window->child(30), ABOUT));
        ASSERT_TRUE(waitWhileRunning([] { return about_window->visible() != 0; }));
        EXPECT_EQ(shownWindowsTitled("About norvik").size(), 1u);
        backend().windowsChanged();
        backend().click(about_window, 150, 113); // ok
        EXPECT_TRUE(waitWhileRunning([] { return !about_window->visible(); }));
    }
}

// 23 lines: shortcut at column 1, key at 13, description at 21 (line 15's key at 12).
const char *const HELP_LINES[] = {
    "",
    "norvik 1.1 Keyboard shortcuts",
    "",
    " Shortcuts   Key     Description",
    "==========  ======= ===============================",
    " Shift+h     HEX     Hexadecimal mode",
    " Shift+d     DEC     Decimal mode (default)",
    " Shift+o     OCT     Octal mode",
    " Shift+b     BIN     Binary mode",
    " Shift+u     U       Unsigned mode (default)",
    " Shift+s     S       Signed mode",
    " Ctrl+d      CD      Delete (same as Backspace)",
    " Ctrl+e      CE      Erase All (from screen)",
    " Ctrl+A      CA      Clear All",
    " +-*/       +-*      Add, substract and divide respectively",
    " %           %       Modulus",
    " |           |       Bitwise OR",
    " &           &       Bitwise AND",
    " ^           ^       Bitwise XOR",
    " ~           ~       Bitwise NOT (One's complement)",
    " >           >>      Right Shift",
    " <           <<      Left Shift",
    " =           Enter   commit the operation",
};

TEST_F(MainWindow, KeyboardShortcutsTwiceMakesOneWindow) {
    std::string help = HELP_LINES[0];
    for (int i = 1; i < 23; ++i)
        help += std::string("\n") + HELP_LINES[i];
    ASSERT_TRUE(openMenu(s_window, s_window->child(5), SHORTCUTS));
    ASSERT_TRUE(
        waitWhileRunning([] { return shownWindowsTitled("norvik Shortcuts").size() == 1; }));
    Fl_Window *w = shownWindowsTitled("norvik Shortcuts")[0];
    backend().windowsChanged();
    // Centred under the pointer, on the 8 key near the screen's corner: pushed on screen,
    // leaving room for window-manager borders. (On Wayland the compositor places windows.)
    const int x = w->x(), y = w->y();
    if (!backend().wayland()) {
        EXPECT_TRUE(x >= 0 && x < 30 && y >= 0 && y < 30) << x << "," << y;
    }

    // The user moves it off the main window and asks again: the same window comes back.
    // (A compositor centres it over the main window; that user closes it first, below.)
    if (!backend().wayland()) {
        w->position(540, 400);
        ASSERT_TRUE(openMenu(s_window, s_window->child(5), SHORTCUTS));
        EXPECT_EQ(shownWindowsTitled("norvik Shortcuts"), std::vector<Fl_Window *>{w});
        EXPECT_EQ(w->x() * 1000 + w->y(), x * 1000 + y);
    }

    EXPECT_EQ(w->w() * 1000 + w->h(), 480360);
    EXPECT_EQ(w->color(), FL_WHITE);
    EXPECT_EQ(w->resizable(), w);
    EXPECT_TRUE(w->non_modal());
    ASSERT_EQ(w->children(), 1);
    Fl_Widget *text = w->child(0);
    EXPECT_EQ(text->labelfont(), FL_COURIER);
    EXPECT_EQ(text->align(), 21u);
    EXPECT_EQ(std::string(text->label()), help);
    EXPECT_EQ(help.find('\t'), std::string::npos);
    for (int i = 5; i < 23; ++i) {
        const std::string line = HELP_LINES[i];
        const size_t key = i == 14 ? 12 : 13;
        SCOPED_TRACE(line);
        EXPECT_NE(line[1], ' ');
        EXPECT_TRUE(line[key - 1] == ' ' && line[key] != ' ');
        EXPECT_TRUE(line[20] == ' ' && line[21] != ' ');
    }

    // The user's size survives closing and opening again.
    w->size(600, 400);
    w->hide();
    backend().windowsChanged();
    ASSERT_TRUE(openMenu(s_window, s_window->child(5), SHORTCUTS));
    EXPECT_EQ(shownWindowsTitled("norvik Shortcuts").size(), 1u);
    EXPECT_EQ(w->w() * 1000 + w->h(), 600400);
    w->hide(); // out of the way of the tests that follow
    backend().windowsChanged();
}

} // namespace

namespace {

// Dark pixels of the display's inside as the server shows them: the columns that hold
// any, in the window's units (a scaled screen has several pixels to a unit).
std::vector<double> inkColumns() {
    Fl_Window *window = text_disp->window();
    const Image image = backend().grab(window);
    const double px = double(image.w) / window->w(); // pixels per unit
    // The box's inside, clear of its frame (2 units) even where a scale rounds it wider.
    const int left = int(std::ceil((text_disp->x() + 2) * px)) + 1;
    const int right = int((text_disp->x() + text_disp->w() - 2) * px) - 1;
    const int top = int(std::ceil((text_disp->y() + 2) * px)) + 1;
    const int bottom = int((text_disp->y() + text_disp->h() - 2) * px) - 1;
    std::vector<double> columns;
    for (int x = left; x < right && x < image.w; ++x)
        for (int y = top; y < bottom && y < image.h; ++y)
            if ((image.at(x, y) & 0xFF) < 0x80) {
                columns.push_back(x / px);
                break;
            }
    return columns;
}

// The widest text of every radix stays whole inside the box, at size 10 where it fits
// and never below 8, with the fonts this machine really has.
TEST_F(MainWindow, DisplayTextAlwaysFitsTheBox) {
    const int room = text_disp->w() - Fl::box_dw(text_disp->box()) - 6; // FLTK's 3 + 3
    const struct {
        unsigned value;
        int base;
        bool isSigned;
    } rows[] = {
        {0xFFFFFFFF, 2, false},  {0x88888888, 2, false},  {037777777777, 8, false},
        {0xFFFFFFFF, 10, false}, {0x80000000, 10, true},  {0xFFFFFFFF, 16, false},
        {0xDDDDDDDD, 16, false}, {0x88888888, 16, false}, {0, 10, false},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << r.value << " radix " << std::dec << r.base);
        setUnsigned(r.isSigned ? 0 : 1);
        displayNumber(r.value, r.base);
        const char *text = text_disp->label();
        fl_font(text_disp->labelfont(), 10);
        const double atTen = fl_width(text);
        const int size = displayLabelSize(text, room);
        fl_font(text_disp->labelfont(), size);
        EXPECT_LE(fl_width(text), room) << "at size " << size;
        EXPECT_EQ(size, atTen <= room ? 10 : size) << "10 wherever it fits";
        EXPECT_GE(size, 8);
        std::printf("radix %2d: %5.1f px at size 10; at size %d %5.1f px of %d\n", r.base, atTen,
                    size, fl_width(text), room);

        // What is drawn: ink starts clear of the box's left edge and ends at its right.
        const std::vector<double> ink = inkColumns();
        ASSERT_FALSE(ink.empty());
        EXPECT_GE(ink.front(), text_disp->x() + 2 + 2) << "the leftmost ink touches the border";
        EXPECT_GE(ink.back(), text_disp->x() + text_disp->w() - 10) << "right-aligned";
    }
    setUnsigned(1);
    EXPECT_EQ(text_disp->labelsize(), 10) << "the widget's own size stays";
}

} // namespace

namespace {

// The About text as drawn: the address whole ("@@" draws one "@"), and no room taken by a
// symbol, so that every line is centred inside the box.
TEST_F(MainWindow, AboutTextDrawsTheAddressWhole) {
    Fl_Widget *box = about_window->child(0);
    std::string drawn = box->label();
    for (size_t at; (at = drawn.find("@@")) != std::string::npos;)
        drawn.replace(at, 2, "@");
    EXPECT_NE(drawn.find("\nnorvik@example.org"), std::string::npos);
    fl_font(box->labelfont(), box->labelsize());
    int w = 0, h = 0, plainW = 0, plainH = 0;
    fl_measure(box->label(), w, h, 1); // as the label draws it, symbols on
    fl_measure(drawn.c_str(), plainW, plainH, 0);
    EXPECT_EQ(w, plainW) << "a symbol took room beside the text";
    EXPECT_EQ(h, plainH);
    EXPECT_LE(w, box->w() - Fl::box_dw(box->box())) << "every line fits inside the box";
    EXPECT_EQ(h, 6 * fl_height()) << "six lines";
}

} // namespace

namespace {

double testScale() {
    const char *scale = std::getenv("NORVIK_TEST_SCALE");
    return scale ? std::atof(scale) : 1.0;
}

// On a scaled screen (the toolkit's factor on X11, the output's on Wayland) the window is
// drawn that many times larger: pixels, not only sizes in the toolkit's units.
TEST_F(MainWindow, DrawnAtTheScreensScale) {
    const Image image = backend().grab(s_window);
    EXPECT_NEAR(image.w, 303 * testScale(), 1.0);
    EXPECT_NEAR(image.h, 139 * testScale(), 1.0);
    EXPECT_EQ(s_window->w() * 1000 + s_window->h(), 303139) << "the toolkit's units stay";
}

// The About text as drawn: six lines of ink, each wholly inside the text box.
TEST_F(MainWindow, AboutShowsSixLinesInsideItsBox) {
    ASSERT_TRUE(openMenu(s_window, s_window->child(30), ABOUT));
    ASSERT_TRUE(waitWhileRunning([] { return about_window->visible() != 0; }));
    backend().windowsChanged();
    const Image image = backend().grab(about_window);
    const double px = double(image.w) / about_window->w(); // pixels per unit
    Fl_Widget *box = about_window->child(0);
    // The box's inside, clear of its frame, in pixels.
    const int left = int(std::ceil((box->x() + Fl::box_dx(box->box())) * px)) + 1;
    const int right = int((box->x() + box->w() - Fl::box_dx(box->box())) * px) - 2;
    ASSERT_GT(image.w, right);
    fl_font(box->labelfont(), box->labelsize());
    const double lineHeight = fl_height(), top = box->y() + Fl::box_dy(box->box());
    // Line i stands in the band [top + i * height, top + (i + 1) * height); its ink, looked
    // for in the band's middle half, must lie inside the box and be centred in it.
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(testing::Message() << "line " << i + 1);
        const int y0 = int((top + (i + 0.25) * lineHeight) * px);
        const int y1 = std::min(int((top + (i + 0.75) * lineHeight) * px),
                                int((box->y() + box->h() - Fl::box_dy(box->box())) * px) - 2);
        int first = image.w, last = -1;
        for (int y = y0; y <= y1 && y < image.h; ++y)
            for (int x = left; x <= right; ++x)
                if ((image.at(x, y) & 0xFF) < 0x80) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
        if (i == 6) {
            EXPECT_EQ(last, -1) << "a seventh line";
            break;
        }
        ASSERT_GE(last, 0) << "no ink";
        EXPECT_GT(first, left) << "touches the box's left edge";
        EXPECT_LT(last, right) << "touches the box's right edge";
        EXPECT_NEAR((first + last) / 2.0, (box->x() + box->w() / 2.0) * px, 3 * px)
            << "not centred: ink from " << first << " to " << last;
    }
    backend().click(about_window, 150, 113); // ok
    EXPECT_TRUE(waitWhileRunning([] { return !about_window->visible(); }));
}

} // namespace
