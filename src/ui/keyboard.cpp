// SPDX-License-Identifier: MIT
// The keyboard in the main window beyond the keys' own shortcuts. Only the user moves the
// focus, with Tab, Shift+Tab and the arrow keys, in reading order; a typed shortcut or a
// click presses its key and leaves the focus where it was. Space presses the key the user
// put the focus on, and nothing else: a blank typed between numbers and operators
// ("12 + 34 =") changes nothing. The focused key wears a mark that stands out on every key
// face; Shift+F10 and the Menu key open the right-click menu at it; Ctrl+F1 shows the
// display's tooltip at the display.
#include "ui/ui.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Tooltip.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// The key the user put the focus on, or null: then the window itself holds the focus and
// no key shows it.
Fl_Widget *s_chosen = nullptr;

constexpr int ROW_PITCH = 26; // rows at y 35, 61, 87, 113 (the "%" key stands at 59)
constexpr int KEYS_TOP = 35;

int rowOf(const Fl_Widget *key) {
    return (key->y() - KEYS_TOP + ROW_PITCH / 2) / ROW_PITCH;
}

} // namespace

// The child order is the creation order, which is fixed and jumbled.
const std::vector<Fl_Widget *> &readingOrder() {
    static std::vector<Fl_Widget *> keys;
    if (keys.empty()) {
        Fl_Window *window = text_disp->window();
        for (int i = 0; i < window->children(); ++i) {
            Fl_Widget *w = window->child(i);
            if (w->label() != nullptr && w != text_disp && w != popup_menu)
                keys.push_back(w);
        }
        std::stable_sort(keys.begin(), keys.end(), [](const Fl_Widget *a, const Fl_Widget *b) {
            return rowOf(a) != rowOf(b) ? rowOf(a) < rowOf(b) : a->x() < b->x();
        });
    }
    return keys;
}

namespace {

bool usable(const Fl_Widget *key) {
    return key->active_r() && key->visible_r();
}

// Tab and Shift+Tab (step +1, -1): the next usable key in reading order, round the end.
void step(int by) {
    const std::vector<Fl_Widget *> &keys = readingOrder();
    const int n = static_cast<int>(keys.size());
    const auto at = std::find(keys.begin(), keys.end(), s_chosen);
    int i = at == keys.end() ? (by > 0 ? -1 : n) : static_cast<int>(at - keys.begin());
    for (int tries = 0; tries < n; ++tries) {
        i = (i + by + n) % n;
        if (usable(keys[i]))
            return chooseFocus(keys[i]);
    }
}

// Up and Down (rows -1, +1): the usable key nearest below or above the chosen one's
// centre, in the next row that has one; from no key, the first or last usable key.
void stepRow(int rows) {
    if (s_chosen == nullptr)
        return step(rows);
    const int centre = s_chosen->x() + s_chosen->w() / 2;
    for (int row = rowOf(s_chosen) + rows; row >= 0 && row < 4; row += rows) {
        Fl_Widget *best = nullptr;
        for (Fl_Widget *key : readingOrder()) {
            if (rowOf(key) != row || !usable(key))
                continue;
            const int distance = std::abs(key->x() + key->w() / 2 - centre);
            if (best == nullptr || distance < std::abs(best->x() + best->w() / 2 - centre))
                best = key;
        }
        if (best != nullptr)
            return chooseFocus(best);
    }
}

bool plain() {
    return (Fl::event_state() & (FL_CTRL | FL_ALT | FL_META)) == 0;
}

// The focus mark: a ring in place of the focused key's raised edge, drawn by the key's box
// itself (up, or down while pressed), as the toolkit's own dotted frame is faint on black
// keys; inside it the label and that frame stay as they are. Yellow stands out on every
// face: black, near-black grey, the lit radix key.
constexpr Fl_Color FOCUS_MARK = FL_YELLOW;
constexpr int MARK_INSET = 0, MARK_WIDTH = 2; // in the window's units: the edge's own width

Fl_Box_Draw_F *s_upBox = nullptr, *s_downBox = nullptr;

// What wears the mark in the window being drawn: the key the user chose in the main
// window; in the About window its ok button, where it has the focus.
const Fl_Widget *marked() {
    const Fl_Window *drawn = Fl_Window::current();
    const Fl_Widget *ok = about_window->child(1);
    if (drawn == about_window)
        return Fl::focus() == ok ? ok : nullptr;
    return s_chosen != nullptr && Fl::focus() == s_chosen && drawn == s_chosen->window() ? s_chosen
                                                                                         : nullptr;
}

void drawFocusMark(int x, int y, int w, int h) {
    const Fl_Widget *key = marked();
    if (key == nullptr || x != key->x() || y != key->y() || w != key->w() || h != key->h())
        return;
    const Fl_Color saved = fl_color();
    fl_color(FOCUS_MARK);
    const int left = x + MARK_INSET, top = y + MARK_INSET;
    const int width = w - 2 * MARK_INSET, height = h - 2 * MARK_INSET;
    fl_rectf(left, top, width, MARK_WIDTH);
    fl_rectf(left, top + height - MARK_WIDTH, width, MARK_WIDTH);
    fl_rectf(left, top, MARK_WIDTH, height);
    fl_rectf(left + width - MARK_WIDTH, top, MARK_WIDTH, height);
    fl_color(saved);
}

void upBoxWithMark(int x, int y, int w, int h, Fl_Color c) {
    s_upBox(x, y, w, h, c);
    drawFocusMark(x, y, w, h);
}

void downBoxWithMark(int x, int y, int w, int h, Fl_Color c) {
    s_downBox(x, y, w, h, c);
    drawFocusMark(x, y, w, h);
}

void wrapBox(Fl_Boxtype box, Fl_Box_Draw_F *&original, Fl_Box_Draw_F *wrapper) {
    original = Fl::get_boxtype(box);
    Fl::set_boxtype(box, wrapper, static_cast<uchar>(Fl::box_dx(box)),
                    static_cast<uchar>(Fl::box_dy(box)), static_cast<uchar>(Fl::box_dw(box)),
                    static_cast<uchar>(Fl::box_dh(box)));
}

// The right-click menu, opened from the keyboard at the focused key or else the window's
// centre: the toolkit opens a popup menu where the last event was.
void openMenuAtFocus() {
    Fl_Window *window = text_disp->window();
    const Fl_Widget *at = Fl::focus() == s_chosen ? s_chosen : nullptr;
    const int savedX = Fl::e_x, savedY = Fl::e_y;
    Fl::e_x = at ? at->x() + at->w() / 2 : window->w() / 2;
    Fl::e_y = at ? at->y() + at->h() / 2 : window->h() / 2;
    popup_menu->popup();
    Fl::e_x = savedX;
    Fl::e_y = savedY;
    keepChosenFocus();
}

// Whether Ctrl+F1 put the display's tooltip up, and no key has been pressed since.
bool s_tipShown = false;

// The tooltip as a resting pointer brings it up, but at once and below the display, wherever
// the pointer is.
void showTipAtDisplay() {
    Fl_Window *window = text_disp->window();
    const int savedX = Fl::e_x_root, savedY = Fl::e_y_root;
    const float savedDelay = Fl_Tooltip::delay();
    Fl::e_x_root = window->x_root() + text_disp->x() + text_disp->w() / 2;
    Fl::e_y_root = window->y_root() + text_disp->y() + text_disp->h();
    Fl_Tooltip::exit(text_disp);
    Fl_Tooltip::delay(0);
    Fl_Tooltip::enter_area(text_disp, 0, 0, text_disp->w(), text_disp->h(), text_disp->tooltip());
    Fl_Tooltip::delay(savedDelay);
    Fl::e_x_root = savedX;
    Fl::e_y_root = savedY;
    s_tipShown = true;
}

} // namespace

bool tooltipShown() {
    for (Fl_Window *w = Fl::first_window(); w != nullptr; w = Fl::next_window(w))
        if (w->tooltip_window() && w->visible())
            return true;
    return false;
}

void installFocusMark() {
    wrapBox(FL_UP_BOX, s_upBox, upBoxWithMark);
    wrapBox(FL_DOWN_BOX, s_downBox, downBoxWithMark);
}

void chooseFocus(Fl_Widget *key) {
    s_chosen = key != nullptr && key->take_focus() != 0 ? key : nullptr;
    if (s_chosen == nullptr && Fl::focus() != nullptr &&
        Fl::focus()->window() == text_disp->window())
        Fl::focus(text_disp->window());
}

bool isModifierKey(int key) {
    return (key >= FL_Shift_L && key <= FL_Alt_R) || (key >= 0xffeb && key <= 0xffee) ||
           (key >= 0xfe01 && key <= 0xfe0f) || key == FL_Num_Lock || key == FL_Scroll_Lock;
}

int focusKeys() {
    const int key = Fl::event_key();
    const int held = Fl::event_state() & (FL_SHIFT | FL_CTRL | FL_ALT | FL_META);
    const bool tipWasShown = s_tipShown && tooltipShown();
    // Ctrl alone, on the way to Ctrl+F1 again, leaves the tooltip up (the toolkit would put
    // it away at any key): the F1 that follows puts it away.
    if (isModifierKey(key))
        return tipWasShown ? 1 : 0;
    s_tipShown = false;
    if (key == FL_F + 1 && held == FL_CTRL) { // Ctrl+F1 shows the tooltip, or hides it again
        if (tipWasShown)
            Fl_Tooltip::exit(text_disp);
        else
            showTipAtDisplay();
        return 1;
    }
    if (key == FL_Escape && held == 0 && tipWasShown) { // closes the tooltip, not the program
        Fl_Tooltip::exit(text_disp);
        return 1;
    }
    if ((key == FL_F + 10 && held == FL_SHIFT) || (key == FL_Menu && held == 0)) {
        openMenuAtFocus();
        return 1;
    }
    if (!plain())
        return 0;
    if (s_chosen != nullptr && !usable(s_chosen))
        s_chosen = nullptr; // its radix went: the next Tab starts afresh
    switch (key) {
    case FL_Tab:
    case 0xfe20: // ISO_Left_Tab: Shift+Tab where the keymap says so
        step(key == FL_Tab && (Fl::event_state() & FL_SHIFT) == 0 ? 1 : -1);
        return 1;
    case FL_Left:
    case FL_Right:
        step(key == FL_Right ? 1 : -1);
        return 1;
    case FL_Up:
    case FL_Down:
        stepRow(key == FL_Down ? 1 : -1);
        return 1;
    case ' ':
        // Handled by the focused key if the user chose it; swallowed otherwise.
        return s_chosen != nullptr && Fl::focus() == s_chosen ? 0 : 1;
    default:
        return 0;
    }
}

void keepChosenFocus() {
    Fl_Window *window = text_disp->window();
    Fl_Widget *focus = Fl::focus();
    if (Fl::grab() != nullptr || focus == nullptr || focus == window || focus->window() != window)
        return;
    if (s_chosen != nullptr && !usable(s_chosen))
        s_chosen = nullptr;
    if (focus == s_chosen)
        return;
    if (s_chosen != nullptr)
        Fl::focus(s_chosen);
    else
        Fl::focus(window);
}
