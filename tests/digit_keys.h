// SPDX-License-Identifier: MIT
// The digit key of a value 0..15, for tests that walk the keypad.
#ifndef NORVIK_TESTS_DIGIT_KEYS_H
#define NORVIK_TESTS_DIGIT_KEYS_H

#include "ui/ui.h"

inline Fl_Button *digitKey(int digit) {
    Fl_Button *const keys[] = {zero_button,  one_button,  two_button, three_button,
                               four_button,  five_button, six_button, seven_button,
                               eight_button, nine_button, a_button,   b_button,
                               c_button,     d_button,    e_button,   f_button};
    return keys[digit];
}

#endif
