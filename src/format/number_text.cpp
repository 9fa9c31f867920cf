// SPDX-License-Identifier: MIT
// Reading pasted text as a number: strict, so that a paste is either the number the user
// meant or nothing at all. Never a wrapped, truncated or leading part of the text.
#include "format/number_text.h"

namespace {

constexpr uint64_t MAX_VALUE = 0xFFFFFFFFu;
constexpr uint64_t MAX_NEGATIVE = 0x80000000u; // -2147483648

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The value of digit `c` in `radix`, or -1.
int digitValue(char c, uint32_t radix) {
    int d = -1;
    if (c >= '0' && c <= '9')
        d = c - '0';
    else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
    return d >= 0 && static_cast<uint32_t>(d) < radix ? d : -1;
}

// The radix a "0x", "0o" or "0b" prefix names, or 0.
uint32_t prefixRadix(const char *p, const char *end) {
    if (end - p < 2 || p[0] != '0')
        return 0;
    switch (p[1]) {
    case 'x':
    case 'X':
        return 16;
    case 'o':
    case 'O':
        return 8;
    case 'b':
    case 'B':
        return 2;
    default:
        return 0;
    }
}

// Length of the separator at p, or 0: '_', '\'', ',', a blank or the display's " . ".
size_t separatorLength(const char *p, const char *end) {
    switch (*p) {
    case '_':
    case '\'':
    case ',':
        return 1;
    case ' ':
        return end - p >= 3 && p[1] == '.' && p[2] == ' ' ? 3 : 1;
    default:
        return 0;
    }
}

// The digits from p to end in `radix`, with their separators, into `v`; false for anything
// else.
bool parseDigits(const char *p, const char *end, uint32_t radix, uint64_t &v) {
    // Commas are thousands separators only: decimal, groups of three, and no other kind of
    // separator in the same number, so that "1,5" is never read as 15.
    v = 0;
    int digits = 0, groupDigits = 0;
    bool commas = false, others = false;
    while (p < end) {
        const int d = digitValue(*p, radix);
        if (d >= 0) {
            v = v * radix + static_cast<uint32_t>(d);
            if (v > MAX_VALUE)
                return false;
            ++digits;
            ++groupDigits;
            ++p;
            continue;
        }
        const size_t sep = separatorLength(p, end);
        if (sep == 0 || digits == 0)
            return false; // not a digit of the radix, or a separator before any digit
        if (*p == ',') {
            if (radix != 10 || others || groupDigits > 3 || (commas && groupDigits != 3))
                return false;
            commas = true;
            groupDigits = 0;
        } else {
            others = true;
        }
        p += sep;
        if (p == end || digitValue(*p, radix) < 0)
            return false; // a separator stands between two digits, alone
    }
    return digits > 0 && !(commas && (others || groupDigits != 3));
}

} // namespace

bool parsePasted(const char *text, size_t length, int base, uint32_t &value) {
    const char *p = text, *end = text + length;
    while (p < end && isSpace(*p))
        ++p;
    while (end > p && isSpace(end[-1]))
        --end;
    if (p == end || static_cast<size_t>(end - p) > PASTE_LIMIT)
        return false;

    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    const bool onScreen = base == 2 || base == 8 || base == 10 || base == 16;
    uint64_t v = 0;
    const uint32_t prefixed = prefixRadix(p, end);
    if (prefixed != 0 && parseDigits(p + 2, end, prefixed, v)) {
        // In hexadecimal "0b10" is also the number 0xB10: a text that reads both ways is
        // refused rather than guessed at. ("0BAD" reads only one way.)
        uint64_t other = 0;
        if (base == 16 && parseDigits(p, end, 16, other))
            return false;
    } else if (!onScreen || !parseDigits(p, end, static_cast<uint32_t>(base), v)) {
        return false;
    }
    if (negative && v > MAX_NEGATIVE)
        return false;
    value = negative ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
    return true;
}
