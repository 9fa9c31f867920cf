// SPDX-License-Identifier: MIT
// The radix switch: which digit keys a radix allows, which mode key is lit, and the
// shown value again in the new radix. A switch never changes a number.
#include "engine/engine.h"
#include "ui/ui.h"

#include <FL/Enumerations.H>
#include <FL/Fl_Button.H>

namespace {

void paintModeKey(Fl_Button *key, bool chosen) {
    key->color(FL_BLACK);
    key->labelcolor(chosen ? FL_GREEN : FL_WHITE);
    key->redraw();
}

} // namespace

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

    paintModeKey(hex_button, base == 16);
    paintModeKey(dec_button, base == 10);
    paintModeKey(oct_button, base == 8);
    paintModeKey(bin_button, base == 2);

    refreshCb(); // the result after "=", else the entry
}
