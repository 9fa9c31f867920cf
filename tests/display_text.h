// SPDX-License-Identifier: MIT
// The display text of a value, as a string to compare with.
#ifndef NORVIK_TESTS_DISPLAY_TEXT_H
#define NORVIK_TESTS_DISPLAY_TEXT_H

#include "format/format.h"

#include <string>

inline std::string displayText(unsigned int value, int base) {
    char out[DISPLAY_TEXT_SIZE];
    formatNumber(out, value, base);
    return out;
}

#endif
