// SPDX-License-Identifier: MIT
// The toolkit-free half of display formatting: number to text, text to grouped text.
#include "format/format.h"

#include <cstdint>
#include <cstring>
#include <utility>

static int s_print_unsigned = 1; // how "d" prints: nonzero unsigned; the engine keeps it equal

namespace {

constexpr char DIGITS[] = "0123456789ABCDEF";
constexpr char SEPARATOR[] = " . ";
constexpr int SEPARATOR_LEN = 3;

struct Conversion {
    char letter;
    uint32_t radix;
    int maxDigits; // digits of 0xFFFFFFFF in this radix
};

constexpr Conversion CONVERSIONS[] = {
    {'b', 2, 32}, {'o', 8, 11}, {'d', 10, 10}, {'u', 10, 10}, {'x', 16, 8},
};

struct RadixRow {
    int base;
    const char *fmt; // always yields exactly 32 columns
    int group;
};

constexpr RadixRow RADIXES[] = {
    {2, "%032b", 4},
    {8, "%32o", 3},
    {10, "%32d", 3},
    {16, "%32x", 4},
};

const Conversion *findConversion(char letter) {
    for (const Conversion &c : CONVERSIONS)
        if (c.letter == letter && letter != '\0')
            return &c;
    return nullptr;
}

void reverse(char *s) {
    size_t n = std::strlen(s);
    for (size_t i = 0; i < n / 2; ++i)
        std::swap(s[i], s[n - 1 - i]);
}

} // namespace

void setUnsigned(unsigned int isUnsigned) {
    s_print_unsigned = static_cast<int>(isUnsigned);
}

bool printsUnsigned() {
    return s_print_unsigned != 0;
}

void baseSprintf(char *dest, char *fmt, unsigned int value) {
    while (*fmt != '\0' && *fmt != '%')
        *dest++ = *fmt++;
    *dest = '\0';
    if (*fmt == '\0')
        return;
    ++fmt;

    char fill = ' ';
    if (*fmt == '0') {
        fill = '0';
        ++fmt;
    }
    uint16_t width = 0; // wraps like the 16-bit field it has always been: "%65568x" is "%32x"
    while (*fmt >= '0' && *fmt <= '9')
        width = static_cast<uint16_t>(width * 10u + static_cast<unsigned>(*fmt++ - '0'));

    const Conversion *conv = findConversion(*fmt);
    if (conv == nullptr)
        return; // unknown conversion: only the literal prefix stays

    // Signed "d" prints the two's-complement reading: magnitude on 32 bits, sign apart.
    bool negative = conv->letter == 'd' && s_print_unsigned == 0 && (value & 0x80000000u) != 0;
    uint32_t rest = negative ? 0u - value : value;

    char digits[32];
    int count = 0;
    while (count < conv->maxDigits) {
        digits[count++] = DIGITS[rest % conv->radix];
        if (rest < conv->radix)
            break;
        rest /= conv->radix;
    }

    // The sign takes one column of the width: before zero fill, after blank fill.
    int used = count + (negative ? 1 : 0);
    int pad = width > used ? width - used : 0;
    if (negative && fill == '0')
        *dest++ = '-';
    std::memset(dest, fill, static_cast<size_t>(pad));
    dest += pad;
    if (negative && fill == ' ')
        *dest++ = '-';
    while (count > 0)
        *dest++ = digits[--count];
    *dest = '\0';
}

void dotize(char *src, char *dest, int group) {
    if (*src == '\0') {
        *dest = '\0';
        return;
    }
    reverse(src);
    char *out = dest;
    for (int k = 1; src[k - 1] != '\0'; ++k) {
        *out++ = src[k - 1];
        if (group > 0 && k % group == 0) {
            std::memcpy(out, SEPARATOR, SEPARATOR_LEN);
            out += SEPARATOR_LEN;
        }
    }
    *out = '\0';
    reverse(dest);
}

void formatNumber(char *out, unsigned int value, int base) {
    std::memset(out, 0, DISPLAY_TEXT_SIZE);
    for (const RadixRow &row : RADIXES) {
        if (row.base != base)
            continue;
        char work[DISPLAY_TEXT_SIZE];
        char fmt[8];
        std::strcpy(fmt, row.fmt); // baseSprintf takes a writable template
        baseSprintf(work, fmt, value);
        dotize(work, out, row.group);
        return;
    }
}
