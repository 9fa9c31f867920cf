// SPDX-License-Identifier: MIT
// Display formatting, the toolkit-free half: a 32-bit value as the grouped text of the
// one-line display. display.h puts it on the display widget.
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

// The formatter's own signedness switch, which the engine keeps equal to its own: nonzero
// reads "d" as unsigned.
void setUnsigned(unsigned int isUnsigned);
bool printsUnsigned();

// The display text of `value` in radix 2, 8, 10 or 16; empty for any other radix.
// `out` needs DISPLAY_TEXT_SIZE bytes.
void formatNumber(char *out, unsigned int value, int base);

#endif
