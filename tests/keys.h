// SPDX-License-Identifier: MIT
// The one key language of the tests that call the calculator's callbacks directly: keys
// separated by blanks, as in "5 + 3 = ~ HEX".
//   digits    0-9 and A-F, one key each ("FF" is F then F)
//   operators + - * / % | & ^ << >> = ~
//   clear     ce cd ca bs (BackSpace)
//   sign      the U/S key
//   radix     BIN OCT DEC HEX, or R<n> for any other number
//   paste     p<hex>: a pasted value, in hex
#ifndef NORVIK_TESTS_KEYS_H
#define NORVIK_TESTS_KEYS_H

#include "format/format.h"

#include <string>

class Fl_Widget;

// Presses every key of `keys` through its callback.
void press(const std::string &keys);

// Back to the start-up state: cleared, unsigned, decimal; the radix keys are repainted
// only if the radix was switched.
void resetCalculator();

// The display text of `value` in radix `base`, as the formatter writes it now.
inline std::string displayText(unsigned int value, int base) {
    char out[DISPLAY_TEXT_SIZE];
    formatNumber(out, value, base);
    return out;
}

// The main window's key labelled `label` (tests that build the window).
Fl_Widget *key(const char *label);

#endif
