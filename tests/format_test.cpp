// SPDX-License-Identifier: MIT
// Number to display text: the exact texts, and the two helpers on their own.
#include "format/format.h"
#include "keys.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string sprintfText(const char *fmt, unsigned int value) {
    char t[128];
    char dest[70000]; // room for the widest 16-bit width
    std::strcpy(t, fmt);
    baseSprintf(dest, t, value);
    EXPECT_STREQ(t, fmt) << "the template must stay as it was";
    return dest;
}

struct SignedMode {
    SignedMode() { setUnsigned(0); }
    ~SignedMode() { setUnsigned(1); }
};

} // namespace

// The whole 32-column field is grouped from the right, fill included.
TEST(DisplayText, ExactTextPerRadix) {
    const struct {
        unsigned int value;
        int base;
        const char *text;
    } rows[] = {
        {0, 2, " . 0000 . 0000 . 0000 . 0000 . 0000 . 0000 . 0000 . 0000"},
        {0, 8, "   .     .     .     .     .     .     .     .     .     .   0"},
        {0, 10, "   .     .     .     .     .     .     .     .     .     .   0"},
        {0, 16, " .      .      .      .      .      .      .      .    0"},
        {255, 2, " . 0000 . 0000 . 0000 . 0000 . 0000 . 0000 . 1111 . 1111"},
        {255, 8, "   .     .     .     .     .     .     .     .     .     . 377"},
        {255, 10, "   .     .     .     .     .     .     .     .     .     . 255"},
        {255, 16, " .      .      .      .      .      .      .      .   FF"},
        {0xFFFFFFFF, 2, " . 1111 . 1111 . 1111 . 1111 . 1111 . 1111 . 1111 . 1111"},
        {0xFFFFFFFF, 8, "   .     .     .     .     .     .     .  37 . 777 . 777 . 777"},
        {0xFFFFFFFF, 10, "   .     .     .     .     .     .     .   4 . 294 . 967 . 295"},
        {0xFFFFFFFF, 16, " .      .      .      .      .      .      . FFFF . FFFF"},
        {0x80000000, 2, " . 1000 . 0000 . 0000 . 0000 . 0000 . 0000 . 0000 . 0000"},
        {0x80000000, 8, "   .     .     .     .     .     .     .  20 . 000 . 000 . 000"},
        {0x80000000, 10, "   .     .     .     .     .     .     .   2 . 147 . 483 . 648"},
        {0x80000000, 16, " .      .      .      .      .      .      . 8000 . 0000"},
        {4660, 2, " . 0000 . 0000 . 0000 . 0000 . 0001 . 0010 . 0011 . 0100"},
        {4660, 8, "   .     .     .     .     .     .     .     .     .  11 . 064"},
        {4660, 10, "   .     .     .     .     .     .     .     .     .   4 . 660"},
        {4660, 16, " .      .      .      .      .      .      .      . 1234"},
        {12345, 3, ""}, // radixes without a row show the empty text
        {12345, 4, ""},
        {12345, 0, ""},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(testing::Message() << r.value << " in radix " << r.base);
        std::string text = displayText(r.value, r.base);
        EXPECT_EQ(text, r.text);
        if (r.base == 2 || r.base == 16) {
            EXPECT_EQ(text.size(), 56u);
        } else if (r.base == 8 || r.base == 10) {
            EXPECT_EQ(text.size(), 62u);
        }
    }
}

// Signed decimal: the sign takes a column of the field, between the blank fill and the digits.
TEST(DisplayText, SignedDecimalKeepsItsColumns) {
    SignedMode signedMode;
    EXPECT_EQ(displayText(0xFFFFFFFE, 10),
              "   .     .     .     .     .     .     .     .     .     .  -2");
    EXPECT_EQ(displayText(0x80000000, 10),
              "   .     .     .     .     .     .     .  -2 . 147 . 483 . 648");
    EXPECT_EQ(displayText(0u - 800000u, 10), // the sign can stand in a group of its own
              "   .     .     .     .     .     .     .     .   - . 800 . 000");
    EXPECT_EQ(displayText(255, 10),
              "   .     .     .     .     .     .     .     .     .     . 255");
    // Only "d" is signed: the other radixes show the bits.
    EXPECT_EQ(displayText(0xFFFFFFFF, 16),
              " .      .      .      .      .      .      . FFFF . FFFF");
}

TEST(BaseSprintf, OwnTemplates) {
    const struct {
        const char *fmt;
        unsigned int value;
        std::string text;
    } rows[] = {
        {"%5d", 42, "   42"},
        {"%05d", 42, "00042"},
        {"%d", 0, "0"},
        {"%x", 255, "FF"},
        {"%b", 5, "101"},
        {"%o", 8, "10"},
        {"%u", 4294967295u, "4294967295"},
        {"%2x", 4660, "1234"}, // a small width cuts nothing
        {"%032b", 5, std::string(29, '0') + "101"},
        {"ab%5dxyz", 7, "ab    7"},  // text after the conversion is dropped
        {"%65537d", 12345, "12345"}, // the width wraps at 16 bits, to 1
        {"%65568x", 255, std::string(30, ' ') + "FF"},
        {"no percent", 9, "no percent"},
        {"ab%5q", 9, "ab"}, // unknown conversion: the prefix only
        {"ab%", 9, "ab"},
        {"%X", 9, ""},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.fmt);
        EXPECT_EQ(sprintfText(r.fmt, r.value), r.text);
    }
}

TEST(BaseSprintf, SignedDecimal) {
    SignedMode signedMode;
    const struct {
        const char *fmt;
        unsigned int value;
        const char *text;
    } rows[] = {
        {"%d", 0xFFFFFFFF, "-1"},
        {"%5d", 0xFFFFFFD6, "  -42"},  // blank fill, then the sign
        {"%05d", 0xFFFFFFD6, "-0042"}, // the sign, then zero fill
        {"%d", 0x80000000, "-2147483648"},
        {"%d", 0x7FFFFFFF, "2147483647"},
        {"%u", 0xFFFFFFFF, "4294967295"}, // "u" never signed
        {"%x", 0xFFFFFFFF, "FFFFFFFF"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.fmt);
        EXPECT_EQ(sprintfText(r.fmt, r.value), r.text);
    }
}

TEST(Dotize, GroupsFromTheRight) {
    const struct {
        const char *src;
        int group;
        const char *text;
        const char *srcAfter;
    } rows[] = {
        {"abcdef", 3, " . abc . def", "fedcba"},
        {"abcd", 3, "a . bcd", "dcba"},
        {"1234567", 3, "1 . 234 . 567", "7654321"},
        {"7", 4, "7", "7"},
        {"ab", 1, " . a . b", "ba"},
        {"", 3, "", ""},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.src);
        char src[32];
        char dest[128];
        std::strcpy(src, r.src);
        std::memset(dest, 'x', sizeof dest);
        dotize(src, dest, r.group);
        EXPECT_STREQ(dest, r.text);
        EXPECT_STREQ(src, r.srcAfter);
    }
}
