// SPDX-License-Identifier: MIT
// Display formatting: a 32-bit value as the grouped text of the one-line display.
#ifndef NORVIK_FORMAT_FORMAT_H
#define NORVIK_FORMAT_FORMAT_H

// Room for any display text: 32 columns, up to 10 separators of 3 characters, terminator.
constexpr int DISPLAY_TEXT_SIZE = 128;

// Writes the template's literal prefix and the one number of its "%[0][width]conv"
// conversion (conv: b o d u x). The caller provides room for the prefix, the larger of
// width and digit count, and a terminator.
void baseSprintf(char *dest, char *fmt, unsigned int value);

// Writes src into dest with " . " before every complete group of `group` characters
// counted from the right. Leaves a non-empty src reversed. dest needs
// n + 3 * (n / group) + 1 bytes for n source characters.
void dotize(char *src, char *dest, int group);

// The formatter's own signedness switch: nonzero reads "d" as unsigned.
void setUnsigned(unsigned int isUnsigned);
bool printsUnsigned();

// The display text of `value` in radix 2, 8, 10 or 16; empty for any other radix.
// `out` needs DISPLAY_TEXT_SIZE bytes.
void formatNumber(char *out, unsigned int value, int base);

// Puts formatNumber's text on the display and redraws it, and the value in every radix
// in the display's tooltip.
void displayNumber(unsigned int value, int base);

// The value the display shows: 0 until the first displayNumber().
unsigned int displayedValue();

// Has the display's text drawn smaller where it would not fit at its label size (not below
// 8), through a label type of its own; displayLabelSize() is the size it picks for `text`
// in `room` pixels.
void fitDisplayLabel();
int displayLabelSize(const char *text, int room);

// Gives the display its tooltip, which displayNumber() keeps up to date.
void showDisplayTooltip();

#endif
