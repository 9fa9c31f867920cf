// SPDX-License-Identifier: MIT
// Numbers as text for other programs: what Ctrl+C copies, what a paste accepts, and the
// display's tooltip with the value in every radix. Toolkit-free. The writers are constexpr
// so that the tooltip for the start-up value is built by the compiler, not at start-up.
#ifndef NORVIK_FORMAT_NUMBER_TEXT_H
#define NORVIK_FORMAT_NUMBER_TEXT_H

#include <cstddef>
#include <cstdint>

// Longest accepted paste, white space at both ends not counted.
constexpr size_t PASTE_LIMIT = 128;

// Reads `length` bytes of pasted text (NUL bytes included) as a 32-bit value. White space
// at both ends is dropped; then come an optional sign, an optional 0x / 0o / 0b prefix (any
// case) that wins over `base`, and digits of that radix with single separators between
// them: '_', '\'', a blank or " . ", or in decimal commas between groups of three
// ("4,294,967,295"). The value is 0 to 0xFFFFFFFF, or with "-" down to -2147483648 (two's
// complement). Returns false, leaving `value` alone, for anything else.
bool parsePasted(const char *text, size_t length, int base, uint32_t &value);

// A terminated text in a buffer of fixed size, built by appending.
template <size_t Size> struct FixedText {
    char text[Size] = {};
    size_t length = 0;

    constexpr void add(char c) {
        if (length + 1 < Size)
            text[length++] = c;
    }
    constexpr void add(const char *s) {
        while (*s != '\0')
            add(*s++);
    }
    // The digits of `value` in `radix` (2..16, upper case), at least `minDigits` of them;
    // with `groupBlank`, a blank before every group of four counted from the right.
    constexpr void addDigits(uint32_t value, uint32_t radix, int minDigits = 1,
                             bool groupBlank = false) {
        char digits[32] = {};
        int count = 0;
        do {
            digits[count++] = "0123456789ABCDEF"[value % radix];
            value /= radix;
        } while (value != 0 || count < minDigits);
        while (count > 0) {
            add(digits[--count]);
            if (groupBlank && count > 0 && count % 4 == 0)
                add(' ');
        }
    }
};

// "0b" and 32 digits, or "-" and 10 digits, and the terminator.
using CopyText = FixedText<36>;

constexpr uint32_t TOP_BIT = 0x80000000u;

// The value as a programmer writes it in radix 2, 8, 10 or 16: "0b101", "0o17", "42",
// "0xDEADBEEF". No leading zeros, no separators; in decimal, when `isUnsigned` is false and
// the top bit is set, the two's-complement reading ("-2"). Empty for any other radix.
constexpr CopyText copyText(uint32_t value, int base, bool isUnsigned) {
    CopyText out;
    switch (base) {
    case 2:
        out.add("0b");
        break;
    case 8:
        out.add("0o");
        break;
    case 10:
        if (!isUnsigned && (value & TOP_BIT) != 0) {
            out.add('-');
            value = 0u - value;
        }
        break;
    case 16:
        out.add("0x");
        break;
    default:
        return out;
    }
    out.addDigits(value, static_cast<uint32_t>(base));
    return out;
}

using TooltipText = FixedText<256>;

// For the display's tooltip: first the radix and mode the display shows `value` in, then
// the value in every radix, and the copy and paste keys, which the fixed help text cannot
// list. No '@': the toolkit would draw it as a symbol.
constexpr TooltipText tooltipText(uint32_t value, int base, bool isUnsigned) {
    TooltipText out;
    out.add("display   ");
    out.add(base == 16 ? "hex" : base == 8 ? "octal" : base == 2 ? "binary" : "decimal");
    out.add(isUnsigned ? ", unsigned\n" : ", signed\n");
    out.add("hex       ");
    out.add(copyText(value, 16, true).text);
    out.add("\nunsigned  ");
    out.addDigits(value, 10);
    out.add("\nsigned    ");
    out.add(copyText(value, 10, false).text);
    out.add("\noctal     ");
    out.add(copyText(value, 8, true).text);
    out.add("\nbinary    ");
    out.addDigits(value, 2, 32, true);
    out.add("\nCtrl+C/Ctrl+Insert copy, Ctrl+V/Shift+Insert paste");
    out.add("\nCtrl+F1 shows this at the display");
    return out;
}

#endif
