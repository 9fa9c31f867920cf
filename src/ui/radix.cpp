// SPDX-License-Identifier: MIT
// The radix switch: which digit keys a radix allows, which mode key is lit, and the
// shown value again in the new radix. A switch never changes a number.
#include "engine/engine.h"
#include "ui/ui.h"

#include <FL/Enumerations.H>
#include <FL/Fl_Button.H>

namespace {

// Each mode key and the radix it switches to.
const struct {
    Fl_Button *const *key;
    int base;
} MODE_KEYS[] = {{&hex_button, 16}, {&dec_button, 10}, {&oct_button, 8}, {&bin_button, 2}};

void paintModeKey(Fl_Button *key, bool chosen) {
    key->color(FL_BLACK);
    key->labelcolor(chosen ? FL_GREEN : FL_WHITE);
    key->redraw();
}

} // namespace

int modeKeyRadix(const Fl_Widget *key) {
    for (const auto &m : MODE_KEYS)
        if (*m.key == key)
            return m.base;
    return 0;
}

void modeButtonsCb(int base) {
    g_base = base;

    // Each radix sets both groups, so the outcome does not depend on the radix before.
    switch (base) {
    case 2:
        activateDeactivateButtons(LETTER_KEYS, OFF);
        activateDeactivateButtons(DIGIT_KEYS, OFF);
        break;
    case 8:
        activateDeactivateButtons(LETTER_KEYS, OFF);
        activateDeactivateButtons(DIGIT_KEYS, ON);
        eight_button->deactivate();
        nine_button->deactivate();
        break;
    case 10:
        activateDeactivateButtons(LETTER_KEYS, OFF);
        activateDeactivateButtons(DIGIT_KEYS, ON);
        break;
    case 16:
        activateDeactivateButtons(LETTER_KEYS, ON);
        activateDeactivateButtons(DIGIT_KEYS, ON);
        break;
    default: // no keys of its own: keep every key as it is, and show the empty text
        refreshCb();
        return;
    }

    for (const auto &m : MODE_KEYS)
        paintModeKey(*m.key, base == m.base);

    refreshCb(); // the result after "=", else the entry
}
