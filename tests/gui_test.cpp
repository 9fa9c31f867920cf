// SPDX-License-Identifier: MIT
// The main window on a private display server, driven like a user drives it: real key and
// button events, checked against what the user sees.
#include <gtest/gtest.h>

#include "main_window_fixture.h"
#include "format/display.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

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
        type(r.text);
        EXPECT_EQ(shown(), displayText(r.shown, r.base));
        EXPECT_EQ(g_base, r.base);
        type("{Ctrl+a}D");
    }
}

// Space presses the key the user put the focus on with Tab, Shift+Tab or an arrow, and
// that key only: a click or a shortcut presses its key and leaves the focus alone.
TEST_F(MainWindow, SpacePressesOnlyTheChosenKey) {
    click(key("5"));
    type(" ");
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
        type(r.text);
        EXPECT_EQ(shown(), decimal(r.shown));
    }
    click(key("5"));
    type(" 2\n");
    EXPECT_EQ(shown(), decimal(7)) << "a click left the focus on +";
    EXPECT_EQ(Fl::focus(), key("+"));
}

// Tab visits the keys in reading order, row by row, left to right, over the keys the radix
// has, and round; Shift+Tab goes back. Nothing else takes the focus.
TEST_F(MainWindow, TabVisitsTheKeysInReadingOrder) {
    const struct {
        const char *typed, *step, *order;
    } rows[] = {
        {"D", "{Tab}",
         "HEX DEC OCT BIN U 8 9 + - * / % 4 5 6 7 | & ^ >> << 0 1 2 3 = ~ CE CD CA HEX"},
        {"B", "{Tab}", "HEX DEC OCT BIN U + - * / % | & ^ >> << 0 1 = ~ CE CD CA HEX"},
        {"H", "{Tab}",
         "C D E F HEX DEC OCT BIN U 8 9 A B + - * / % 4 5 6 7 | & ^ >> << 0 1 2 3 = ~ "
         "CE CD CA C"},
        {"D", "{Shift+Tab}", "CA CD CE ~ = 3"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.order);
        chooseFocus(nullptr);
        type(r.typed);
        std::string visited;
        while (visited.size() < std::strlen(r.order)) {
            type(r.step);
            visited += std::string(visited.empty() ? "" : " ") + Fl::focus()->label();
        }
        EXPECT_EQ(visited, r.order);
    }
}

// The focus mark as drawn: a ring of its own colour round the focused key, on a black key,
// a grey one and the lit radix key; none on a key without the focus.
TEST_F(ScaledWindow, FocusMarkStandsOutOnEveryKey) {
    for (const char *label : {"7", "<<", "DEC"}) {
        SCOPED_TRACE(label);
        Fl_Widget *k = key(label);
        const auto ring = [&] { // mark-coloured pixels on the ring's middle row and column
            const Image image = grab(s_window);
            const double px = double(image.w) / s_window->w();
            int marked = 0, tried = 0;
            const int top = int((k->y() + 1) * px), left = int((k->x() + 1) * px);
            for (int x = int((k->x() + 6) * px); x < int((k->x() + k->w() - 6) * px); ++x, ++tried)
                marked += image.at(x, top) == 0xFFFF00;
            for (int y = int((k->y() + 6) * px); y < int((k->y() + k->h() - 6) * px); ++y, ++tried)
                marked += image.at(left, y) == 0xFFFF00;
            return tried > 0 ? double(marked) / tried : 0;
        };
        chooseFocus(nullptr);
        EXPECT_EQ(ring(), 0) << "no focus, no mark";
        chooseFocus(k);
        EXPECT_GE(ring(), 0.9) << "the mark, all round";
    }
}

// What the user types on a US keyboard, and the decimal value shown at the end; the same
// with Caps Lock on, which changes nothing but the case of letters.
TEST_F(ScaledWindow, KeyboardShortcutsReachTheirKeys) {
    const struct {
        const char *text;
        unsigned shown;
        const char *why;
    } rows[] = {
        {"1+2\n", 3, "Enter is \"=\""},
        {"7+5=", 12, "the \"=\" key"},
        {"123\b", 12, "BackSpace deletes a digit"},
        {"123{Ctrl+d}", 12, "Ctrl+d deletes a digit"},
        {"9+4{Ctrl+e}6\n", 15, "Ctrl+e clears the entry"},
        {"9+4{Ctrl+a}6\n", 6, "Ctrl+a clears all"},
        {"9-4\n", 5, "-"},
        {"6*7\n", 42, "*"},
        {"82/2\n", 41, "/"},
        {"100%7\n", 2, "%"},
        {"12|3\n", 15, "|"},
        {"12&6\n", 4, "&"},
        {"12^5\n", 9, "^"},
        {"3<4\n", 48, "<"},
        {"96>3\n", 12, ">"},
        {"5~", 0xFFFFFFFAu, "~"},
        {"Hff+a\nD", 0x109, "hex digits, Shift+h, Shift+d"},
        {"{KP_1}{KP_2}{KP_Multiply}{KP_3}{KP_Subtract}{KP_4}{KP_Divide}{KP_2}{KP_Add}{KP_1}"
         "{KP_Enter}",
         17, "keypad digits with Num Lock, operators without"},
        {"{Num_Lock}9{KP_Multiply}6{KP_Subtract}4{KP_Divide}2{KP_Add}1{KP_Enter}{Num_Lock}", 26,
         "keypad operators with Num Lock"},
    };
    for (const char *lock : {"", "{Caps_Lock}"})
        for (const auto &r : rows) {
            SCOPED_TRACE(testing::Message() << r.why << (*lock ? ", Caps Lock on" : ""));
            type(lock + std::string(r.text) + lock);
            EXPECT_EQ(shown(), decimal(r.shown));
            press("ca");
        }
    // The catchers never take the focus, so they never show a focus frame.
    EXPECT_NE(Fl::focus(), enter_tricker);
    EXPECT_NE(Fl::focus(), backspace_tricker);
}

TEST_F(MainWindow, ShiftSAndShiftUToggleTheSignedness) {
    type("S");
    EXPECT_STREQ(u_button->label(), "S");
    EXPECT_EQ(u_button->shortcut(), FL_SHIFT | 'u');
    type("S"); // no longer its shortcut
    EXPECT_STREQ(u_button->label(), "S");
    type("1-3\n");
    EXPECT_EQ(shown(), decimal(0xFFFFFFFEu));
    type("U");
    EXPECT_STREQ(u_button->label(), "U");
    EXPECT_EQ(u_button->shortcut(), FL_SHIFT | 's');
}

TEST_F(ScaledWindow, MouseClicksPressKeys) {
    for (Fl_Widget *w : {key("7"), key("+"), key("4"), static_cast<Fl_Widget *>(enter_tricker)})
        click(w);
    EXPECT_EQ(shown(), decimal(11));
    for (Fl_Widget *w : {key("1"), key("3"), static_cast<Fl_Widget *>(backspace_tricker)})
        click(w);
    EXPECT_EQ(shown(), decimal(1));
}

// Switched by Shift and a letter; then the radix's missing digits tried by keyboard and by
// mouse, and a final "1" shows whether anything else was entered.
TEST_F(MainWindow, ShiftLettersSwitchTheRadixAndItsDigitsOnly) {
    const struct {
        const char *shifted;
        int base;
        Fl_Button *lit;
        const char *missing;
    } rows[] = {{"H", 16, hex_button, ""},
                {"O", 8, oct_button, "89"},
                {"B", 2, bin_button, "23456789acef"},
                {"D", 10, dec_button, "abcdef"}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.base);
        type(std::string("{Ctrl+a}D13") + r.shifted);
        EXPECT_EQ(g_base, r.base);
        EXPECT_EQ(r.lit->labelcolor(), FL_GREEN);
        EXPECT_EQ(shown(), displayText(13, r.base));
        type(std::string("{Ctrl+a}") + r.missing);
        for (int digit = r.base; digit < 16; ++digit) {
            const char label[] = {"0123456789ABCDEF"[digit], '\0'};
            EXPECT_FALSE(key(label)->active()) << label;
            click(key(label));
        }
        type("1");
        EXPECT_EQ(shown(), displayText(1, r.base));
    }
}

TEST_F(MainWindow, LetterKeysInHex) {
    type("Hbd");
    EXPECT_EQ(shown(), displayText(0xBD, 16)) << "b and d are digits";
    type("{Ctrl+d}");
    EXPECT_EQ(shown(), displayText(0xB, 16)) << "Ctrl+d deletes a digit";
    type("D");
    EXPECT_EQ(shown(), displayText(11, 10)) << "Shift+d is decimal";
    type("HB");
    EXPECT_EQ(shown(), displayText(11, 2)) << "Shift+b is binary";
}

enum { ESCAPE = -1, ABOUT, SHORTCUTS };

// Opens the menu with a right click on `over` and picks an item (or none).
bool openMenu(Fl_Widget *over, int pick) {
    backend().settle(); // the server must have what the toolkit did last, eg. a window hidden
    const bool chosen =
        chooseMenuItem(TITLE, over->x() + over->w() / 2, over->y() + over->h() / 2, pick, 3);
    backend().settle();
    return chosen;
}

std::vector<Fl_Window *> shownWindowsTitled(const char *title) {
    std::vector<Fl_Window *> found;
    for (Fl_Window *w = Fl::first_window(); w; w = Fl::next_window(w))
        if (w->label() && std::strcmp(w->label(), title) == 0)
            found.push_back(w);
    return found;
}

TEST_F(MainWindow, RightClickOnAKeyOpensTheMenuAndPressesNothing) {
    type("5");
    ASSERT_TRUE(openMenu(key("7"), ESCAPE)) << "no menu on the 7 key";
    ASSERT_TRUE(openMenu(text_disp, ESCAPE)) << "no menu on the display";
    // From the keyboard: at the focused key, or the window's centre.
    for (Fl_Widget *at : {key("CA"), static_cast<Fl_Widget *>(s_window)}) {
        chooseFocus(at == s_window ? nullptr : at);
        Place menu;
        ASSERT_TRUE(
            chooseMenuItemByKeys(at == s_window ? "{Menu}" : "{Shift+F10}", ESCAPE, 3, menu));
        const Place window = backend().window(TITLE);
        const int x = at == s_window ? at->w() / 2 : at->x() + at->w() / 2;
        EXPECT_NEAR(menu.x + menu.w / 2, window.x + x * scaleOf(s_window), 10 * scaleOf(s_window))
            << "not centred on " << at->label();
    }
    EXPECT_EQ(shown(), decimal(5));
    click(key("7")); // a left click still presses the key
    EXPECT_EQ(shown(), decimal(57));
}

TEST_F(ScaledWindow, AboutShowsTheAboutWindowAndOkHidesIt) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Place menu;
        ASSERT_TRUE(round == 0 ? openMenu(key("="), ABOUT) // then from the keyboard
                               : chooseMenuItemByKeys("{Shift+F10}", ABOUT, 3, menu));
        ASSERT_TRUE(waitUntil([] { return about_window->visible() != 0; }));
        EXPECT_EQ(shownWindowsTitled("About norvik").size(), 1u);
        windowsChanged();
        backend().focus("About norvik"); // as a window manager gives a new window the focus
        // ok has the focus, and wears the main window's focus mark on its ring.
        Fl_Widget *ok = about_window->child(1);
        const Image image = grab(about_window);
        const double px = double(image.w) / about_window->w();
        int marked = 0;
        for (int x = int((ok->x() + 6) * px); x < int((ok->x() + ok->w() - 6) * px); ++x)
            marked += image.at(x, int((ok->y() + 1) * px)) == 0xFFFF00;
        EXPECT_GT(marked, 0) << "no focus mark on ok";
        if (round == 0) // ok clicked, or Return
            click(ok);
        else
            type("\n");
        EXPECT_TRUE(waitUntil([] { return !about_window->visible(); }));
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
    ASSERT_TRUE(openMenu(key("8"), SHORTCUTS));
    ASSERT_TRUE(waitUntil([] { return shownWindowsTitled("norvik Shortcuts").size() == 1; }));
    Fl_Window *w = shownWindowsTitled("norvik Shortcuts")[0];
    windowsChanged();
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
        ASSERT_TRUE(openMenu(key("8"), SHORTCUTS));
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
    windowsChanged();
    ASSERT_TRUE(openMenu(key("8"), SHORTCUTS));
    EXPECT_EQ(shownWindowsTitled("norvik Shortcuts").size(), 1u);
    EXPECT_EQ(w->w() * 1000 + w->h(), 600400);
    w->hide(); // out of the way of the tests that follow
    windowsChanged();
}

} // namespace

namespace {

// Dark pixels of the display's inside as the server shows them: the columns that hold
// any, in the window's units (a scaled screen has several pixels to a unit).
std::vector<double> inkColumns() {
    Fl_Window *window = text_disp->window();
    const Image image = grab(window);
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
TEST_F(ScaledWindow, DisplayTextAlwaysFitsTheBox) {
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
        const int size = labelSizeFor(text_disp, text);
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

// On a scaled screen (the toolkit's factor on X11, the output's on Wayland) the window is
// drawn that many times larger: pixels, not only sizes in the toolkit's units.
TEST_F(ScaledWindow, DrawnAtTheScreensScale) {
    const Image image = grab(s_window);
    EXPECT_NEAR(image.w, 303 * testScale(), 1.0);
    EXPECT_NEAR(image.h, 139 * testScale(), 1.0);
    EXPECT_EQ(s_window->w() * 1000 + s_window->h(), 303139) << "the toolkit's units stay";
}

// The About and Keyboard Shortcuts texts as drawn with the fonts this machine has (and
// those of the runs NORVIK_TEST_FONTS gives): each line's ink in its band, the About lines
// centred and none touching the box's frame, nothing beyond the last line, and nothing of
// the About text out of its box; the shortcuts whole in their window as it opens.
TEST_F(ScaledWindow, AboutAndShortcutsTextsDrawnWhole) {
    const struct {
        int item, lines;
        std::vector<int> empty; // lines with no ink
    } rows[] = {{ABOUT, 6, {}}, {SHORTCUTS, 23, {0, 2}}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.item == ABOUT ? "About" : "Keyboard Shortcuts");
        ASSERT_TRUE(openMenu(key("="), r.item));
        Fl_Window *window = r.item == ABOUT ? about_window : shortcutWindow();
        ASSERT_TRUE(waitUntil([&] { return window != nullptr && window->visible(); }));
        windowsChanged();
        const Image image = grab(window);
        const double px = double(image.w) / window->w(); // pixels per unit
        // Ink: on the white of the boxes any grey (thin strokes are drawn grey); on the
        // window's grey, dark.
        const auto ink = [&](int x, int y) { return (image.at(x, y) & 0xFF) < 0xC0; };
        const auto dark = [&](int x, int y) { return (image.at(x, y) & 0xFF) < 0x80; };
        Fl_Widget *box = window->child(0);
        const int dx = Fl::box_dx(box->box()), dy = Fl::box_dy(box->box());
        // The box's inside (for the shortcuts, the window from the box on), in pixels.
        const bool about = r.item == ABOUT;
        const int left = int(std::ceil((box->x() + dx) * px));
        const int top = int(std::ceil((box->y() + dy) * px));
        const int right = about ? int((box->x() + box->w() - dx) * px) - 1 : image.w - 1;
        const int bottom = about ? int((box->y() + box->h() - dy) * px) - 1 : image.h - 1;
        const LabelLayout drawn = labelLayout(box);
        std::printf("drawn at size %d of %d\n", drawn.size, box->labelsize());
        const double line = drawn.lineHeight * px, origin = drawn.y * px;
        for (int i = 0; i <= r.lines; ++i) { // line i's band, a pixel in; past the last, nothing
            SCOPED_TRACE(testing::Message() << "line " << i + 1);
            const int y0 = int(std::lround(origin + i * line)) + 1;
            const int y1 = i < r.lines ? int(std::lround(origin + (i + 1) * line)) - 1 : bottom;
            ASSERT_TRUE(i == r.lines || y0 <= bottom) << "lines past the box";
            int first = image.w, last = -1;
            for (int y = y0; y < y1 && y <= bottom; ++y)
                for (int x = left; x <= right; ++x)
                    if (ink(x, y)) {
                        first = std::min(first, x);
                        last = std::max(last, x);
                    }
            const bool empty = i == r.lines || std::count(r.empty.begin(), r.empty.end(), i) > 0;
            EXPECT_EQ(last < 0, empty) << "ink from " << first << " to " << last;
            if (!about || empty)
                continue;
            EXPECT_GT(first, left) << "touches the box's left edge";
            EXPECT_LT(last, right) << "touches the box's right edge";
            EXPECT_NEAR((first + last) / 2.0, (box->x() + box->w() / 2.0) * px, 4 * px);
        }
        for (int x = left; about && x <= right; ++x) // the frame's own inside rows stay clear
            EXPECT_FALSE(ink(x, top) || ink(x, bottom))
                << "touches the frame at " << x << (ink(x, top) ? " at the top" : " at the bottom");
        Fl_Widget *ok = window->child(window->children() - 1);
        for (int y = int((box->y() + box->h()) * px) + 1; about && y < image.h - 1; ++y)
            for (int x = 1; x < image.w - 1; ++x) // the window's edge may round off-colour
                if (x < ok->x() * px - 1 || x > (ok->x() + ok->w()) * px || y < ok->y() * px - 1) {
                    EXPECT_FALSE(dark(x, y)) << "the text runs out of its box at " << x << "," << y;
                }
        if (about)
            click(ok);
        else
            window->hide();
        EXPECT_TRUE(waitUntil([&] { return !window->visible(); }));
        windowsChanged();
    }
}

} // namespace
