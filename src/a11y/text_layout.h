// SPDX-License-Identifier: MIT
// The pieces of a text a screen reader asks for: characters, words and lines by offset, and
// where each character and line stands in a monospace text as it is drawn. Toolkit-free:
// arithmetic on a text and its layout.
#ifndef NORVIK_A11Y_TEXT_LAYOUT_H
#define NORVIK_A11Y_TEXT_LAYOUT_H

#include <cstdint>
#include <string>
#include <utility>

// The character, word (with the blanks after it) or line (with its line break) that holds
// `offset`, as [start, end): AT-SPI's boundaries 0 (character), 1 and 2 (word), 3 to 6
// (sentence and line: these texts have no sentences but lines).
std::pair<int, int> pieceAt(const std::string &text, int offset, uint32_t boundary);

// How a monospace text is drawn: its lines one under another from (x, y), each
// `lineHeight` high, every character `charWidth` wide, left-aligned or centred in the width
// `w`. In any units, the same for all; a box is the whole units it covers.
struct TextGeometry {
    double x = 0, y = 0, w = 0, lineHeight = 0, charWidth = 0;
    bool centred = false;
};
struct TextBox {
    int x = 0, y = 0, w = 0, h = 0;
};

// The box of the character at `offset` (a line break: an empty box where its line ends);
// of the characters [start, end), lines and all; and the offset of the character at (x, y),
// -1 where there is none.
TextBox characterBox(const std::string &text, const TextGeometry &g, int offset);
TextBox rangeBox(const std::string &text, const TextGeometry &g, int start, int end);
int offsetAt(const std::string &text, const TextGeometry &g, int x, int y);

#endif
