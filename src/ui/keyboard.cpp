// SPDX-License-Identifier: MIT
// The keyboard focus in the main window. Only the user moves it, with Tab, Shift+Tab and
// the arrow keys, in reading order; a typed shortcut or a click presses its key and leaves
// the focus where it was. Space presses the key the user put the focus on, and nothing
// else: a blank typed between numbers and operators ("12 + 34 =") changes nothing.
#include "ui/ui.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Window.H>

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

// The 36 labelled keys as they stand on screen: row by row, left to right. The child order
// is the creation order, which is fixed and jumbled.
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

} // namespace

void chooseFocus(Fl_Widget *key) {
    s_chosen = key != nullptr && key->take_focus() != 0 ? key : nullptr;
    if (s_chosen == nullptr && Fl::focus() != nullptr &&
        Fl::focus()->window() == text_disp->window())
        Fl::focus(text_disp->window());
}

int focusKeys() {
    const int key = Fl::event_key();
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
