// SPDX-License-Identifier: MIT
// Numbers as text for other programs: the copy text, what a paste accepts and refuses,
// the round trip between them, and the tooltip.
#include "format/number_text.h"
#include "a11y/text_layout.h"
#include "a11y/words.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <tuple>

namespace {

constexpr bool UNSIGNED = true, SIGNED = false;

bool parse(const std::string &text, int base, uint32_t &value) {
    return parsePasted(text.data(), text.size(), base, value);
}

TEST(CopyText, AsAProgrammerWritesIt) {
    const struct {
        uint32_t value;
        int base;
        bool isUnsigned;
        const char *text;
    } rows[] = {
        {0xDEADBEEF, 16, UNSIGNED, "0xDEADBEEF"},
        {0, 16, UNSIGNED, "0x0"},
        {0xF, 8, UNSIGNED, "0o17"},
        {0, 8, UNSIGNED, "0o0"},
        {5, 2, UNSIGNED, "0b101"},
        {0, 2, UNSIGNED, "0b0"},
        {0xFFFFFFFF, 2, SIGNED, "0b11111111111111111111111111111111"},
        {42, 10, UNSIGNED, "42"},
        {0, 10, SIGNED, "0"},
        {0xFFFFFFFE, 10, UNSIGNED, "4294967294"},
        {0xFFFFFFFE, 10, SIGNED, "-2"},
        {0x80000000, 10, SIGNED, "-2147483648"},
        {0x7FFFFFFF, 10, SIGNED, "2147483647"},
        {0xFFFFFFFE, 16, SIGNED, "0xFFFFFFFE"}, // only decimal reads signed, as the display
        {7, 3, UNSIGNED, ""},                   // no such radix
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(std::string(copyText(r.value, r.base, r.isUnsigned).text), r.text);
    }
}

TEST(Paste, AcceptedForms) {
    const struct {
        const char *text;
        int base; // the radix on screen
        uint32_t value;
        const char *why;
    } rows[] = {
        {"0xDEADBEEF", 10, 0xDEADBEEF, "a prefix wins over the radix on screen"},
        {"0XdeadBeef", 2, 0xDEADBEEF, "prefix and digits in either case"},
        {"0o17", 16, 017, "octal prefix"},
        {"0B101", 8, 5, "binary prefix"},
        {"0BAD", 16, 0xBAD, "in hex, 0B read as digits where the rest is not binary"},
        {"0b1F", 16, 0xB1F, "... here too"},
        {"0b", 16, 0xB, "... and here"},
        {"0b10", 10, 2, "outside hex a binary prefix only"},
        {"ff", 16, 0xFF, "no prefix: the radix on screen"},
        {"017", 10, 17, "a leading 0 is not octal"},
        {"101", 2, 5, "binary digits"},
        {"  42\n", 10, 42, "white space at both ends"},
        {"\t\r\n 7 \r\n", 8, 7, "line breaks too"},
        {"+5", 10, 5, "a plus sign"},
        {"-2", 10, 0xFFFFFFFE, "a minus gives the two's complement"},
        {"-0x10", 10, 0xFFFFFFF0, "sign before the prefix"},
        {"-0", 10, 0, "minus zero"},
        {"4294967295", 10, 0xFFFFFFFF, "the largest value"},
        {"0xFFFFFFFF", 10, 0xFFFFFFFF, "the largest value in hex"},
        {"-2147483648", 10, 0x80000000, "the most negative value"},
        {"0xDEAD_BEEF", 10, 0xDEADBEEF, "underscores between digits"},
        {"1'000'000", 10, 1000000, "apostrophes between digits"},
        {"0b1010 1111", 10, 0xAF, "single blanks between digits"},
        {"DEAD . BEEF", 16, 0xDEADBEEF, "the display's own separator"},
        {"4 . 294 . 967 . 295", 10, 0xFFFFFFFF, "the decimal display's groups"},
        {"4,294,967,295", 10, 0xFFFFFFFF, "thousands separators"},
        {"999,999", 10, 999999, "one comma"},
        {"00000000000000000000000000000000000001", 10, 1, "leading zeros are no overflow"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.text) + ": " + r.why);
        uint32_t value = 12345;
        EXPECT_TRUE(parse(r.text, r.base, value));
        EXPECT_EQ(value, r.value);
    }
}

TEST(Paste, EverythingElseIsRefusedWhole) {
    const struct {
        std::string text;
        int base;
        const char *why;
    } rows[] = {
        {"", 10, "empty"},
        {" \n\t ", 10, "white space only"},
        {"12a", 10, "not a digit of the radix"},
        {"2", 2, "not a binary digit"},
        {"0x1G", 16, "not a hex digit"},
        {"0b102", 10, "the prefix's radix rules"},
        {"4294967296", 10, "past 32 bits"},
        {"0x100000000", 10, "past 32 bits in hex"},
        {"99999999999999999999999", 10, "far past 32 bits"},
        {"-2147483649", 10, "below the most negative value"},
        {"-0xFFFFFFFF", 10, "a negative that needs 33 bits"},
        {"0x", 10, "a prefix with no digits"},
        {"0B10", 16, "in hex, the binary 0b10 or the number 0xB10: never a guess"},
        {"-0b1_0", 16, "... with a sign and a separator"},
        {"-", 10, "a sign with no digits"},
        {"--1", 10, "two signs"},
        {"+-1", 10, "two signs"},
        {"- 1", 10, "a blank after the sign"},
        {"1  2", 10, "two blanks"},
        {"1__2", 10, "two separators"},
        {"_12", 10, "a separator first"},
        {"12_", 10, "a separator last"},
        {"0x_FF", 10, "a separator after the prefix"},
        {"1.5", 10, "a decimal point"},
        {"1 .5", 10, "half a display separator"},
        {"1\t2", 10, "a tab between digits"},
        {"1\n2", 10, "two lines"},
        {"1,2", 10, "a comma, not between groups of three"},
        {"1234,567", 10, "a first group of four"},
        {"1,234,56", 10, "a last group of two"},
        {"1,234_567", 10, "commas mixed with other separators"},
        {"0x1,234", 10, "commas in hex"},
        {"1,234", 16, "commas in a hex number"},
        {"12 apples", 10, "words after the number"},
        {"apples 12", 10, "words before it"},
        {"=12", 10, "an operator"},
        {"\xEF\xBC\x91", 10, "a full-width digit: not ASCII"},
        {"1\xC2\xA0"
         "2",
         10, "a no-break space: not ASCII"},
        {std::string("12\0"
                     "34",
                     5),
         10, "a NUL byte: binary junk"},
        {std::string("\x01\x02\xFF", 3), 10, "binary junk"},
        {std::string(129, '1'), 2, "more than 128 characters"},
        {"12", 7, "no such radix on screen"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.why);
        uint32_t value = 12345;
        EXPECT_FALSE(parse(r.text, r.base, value)) << '"' << r.text << '"';
        EXPECT_EQ(value, 12345u) << "the value is left alone";
    }
    uint32_t value = 0;
    EXPECT_FALSE(parse("  " + std::string(128, '0') + "1\n", 2, value)) << "129 digits";
    EXPECT_TRUE(parse("  " + std::string(127, '0') + "1\n", 2, value)) << "128 are fine";
    EXPECT_EQ(value, 1u);
}

// Whatever is copied pastes back to the same value in the same radix and signedness.
TEST(Paste, TakesBackWhatWasCopied) {
    std::mt19937 rng(20261209);
    const uint32_t edges[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
    for (int i = 0; i < 20000; ++i) {
        const uint32_t value = i < 5 ? edges[i] : rng();
        for (int base : {2, 8, 10, 16}) {
            for (bool isUnsigned : {UNSIGNED, SIGNED}) {
                const std::string text = copyText(value, base, isUnsigned).text;
                uint32_t back = ~value;
                ASSERT_TRUE(parse(text, base, back)) << text;
                ASSERT_EQ(back, value) << text << " in radix " << base;
            }
        }
    }
}

TEST(Tooltip, EveryRadixAndTheKeys) {
    const std::string tip = tooltipText(0xFFFFFFFE, 16, false).text;
    EXPECT_EQ(tip, "display   hex, signed\n"
                   "hex       0xFFFFFFFE\n"
                   "unsigned  4294967294\n"
                   "signed    -2\n"
                   "octal     0o37777777776\n"
                   "binary    1111 1111 1111 1111 1111 1111 1111 1110\n"
                   "Ctrl+C/Ctrl+Insert copy, Ctrl+V/Shift+Insert paste\n"
                   "Ctrl+F1 shows this at the display");
    const std::string zero = tooltipText(0, 10, true).text;
    EXPECT_EQ(zero.rfind("display   decimal, unsigned\n", 0), 0u);
    EXPECT_EQ(std::string(tooltipText(0, 8, true).text).rfind("display   octal, unsigned\n", 0),
              0u);
    EXPECT_EQ(std::string(tooltipText(0, 2, false).text).rfind("display   binary, signed\n", 0),
              0u);
    EXPECT_NE(zero.find("signed    0\n"), std::string::npos);
    EXPECT_NE(zero.find("binary    0000 0000 0000 0000 0000 0000 0000 0000\n"), std::string::npos);
    EXPECT_EQ(tip.find('@'), std::string::npos) << "the toolkit would draw a symbol";
}

// What a screen reader says: the value as a person says it, a key's name, its shortcut.
TEST(ScreenReaderWords, ValuesKeysAndShortcuts) {
    const struct {
        std::string said, expected;
    } rows[] = {
        {spokenValue(4294967295u, 10, UNSIGNED), "4294967295"},
        {spokenValue(0xFFFFFFFEu, 10, SIGNED), "minus 2"},
        {spokenValue(0x80000000u, 10, SIGNED), "minus 2147483648"},
        {spokenValue(7, 10, SIGNED), "7"},
        {spokenValue(0xDEADBEEF, 16, UNSIGNED), "hex D E A D, B E E F"},
        {spokenValue(0xFFFFFFFEu, 16, SIGNED), "hex F F F F, F F F E"},
        {spokenValue(0x12345, 16, UNSIGNED), "hex 1, 2 3 4 5"},
        {spokenValue(0, 8, UNSIGNED), "octal 0"},
        {spokenValue(5, 2, UNSIGNED), "binary 1 0 1"},
        {spokenValue(5, 3, UNSIGNED), ""},
        {keyName("C"), "C"},
        {keyName("<<"), "shift left"},
        {keyName("CE"), "clear entry"},
        {keyName("U"), "unsigned, switches to signed"},
        {keyBinding(0x40061), ";;<Control>a"},
        {keyBinding(0x10068), ";;<Shift>h"},
        {keyBinding('<'), ";;less"},
        {keyBinding('7'), ";;7"},
        {keyBinding(0xff0d), ";;Return"},
        {keyBinding(0), ""},
    };
    for (const auto &r : rows)
        EXPECT_EQ(r.said, r.expected);
    EXPECT_EQ(keyName("?"), nullptr);
}

// The value is said as an announcement where the screen readers hear those, whatever other
// tools listen for; as a description change where one that does not listens.
TEST(ScreenReaderWords, AnnouncementOrDescriptionByWhoListens) {
    const std::string D = "Object:PropertyChange:AccessibleDescription", A = "Object:Announcement:";
    const struct {
        std::vector<std::pair<std::string, std::string>> registered;
        bool announcements;
        const char *who;
    } rows[] = {
        {{}, false, "nobody"},
        {{{":1.5", D}, {":1.5", "Object:StateChanged:Focused"}}, false, "Orca 43"},
        {{{":1.5", D}, {":1.5", A}}, true, "Orca 48"},
        {{{":1.5", D}, {":1.9", A}}, false, "Orca 43 and a tool hearing announcements"},
        {{{":1.5", D}, {":1.5", A}, {":1.9", "Object::"}}, true, "Orca 48 and an inspector"},
        {{{":1.5", "object:property-change:accessible-description"}, {":1.9", "object:"}},
         false,
         "Orca 43 in a client's words, and an inspector"},
        {{{":1.9", "Object:PropertyChange:"}}, false, "every property change, no announcement"},
    };
    for (const auto &r : rows)
        EXPECT_EQ(announcementsHeard(r.registered), r.announcements) << r.who;
}

// A window's text for a screen reader: its lines and words by offset, where each character
// stands, left-aligned or centred, and the character at a point.
TEST(ScreenReaderText, PiecesBoxesAndPoints) {
    const std::string text = "ab\nwxyz\n\nq";
    const auto box = [](TextBox b) { return std::make_tuple(b.x, b.y, b.w, b.h); };
    using Box = std::tuple<int, int, int, int>;
    EXPECT_EQ(pieceAt(text, 4, 5), std::make_pair(3, 8)) << "a line, with its break";
    EXPECT_EQ(pieceAt(text, 8, 5), std::make_pair(8, 9)) << "an empty line";
    EXPECT_EQ(pieceAt(text, 1, 1), std::make_pair(0, 3)) << "a word, to the next one";
    const TextGeometry left{10, 20, 100, 12, 6, false}, centred{10, 20, 100, 12, 6, true},
        scaled{0, 0, 100, 12, 7.5, false}; // a fraction of a pixel wide: no drift along a line
    const struct {
        const TextGeometry &g;
        int offset;
        Box expected;
    } rows[] = {
        {left, 0, {10, 20, 6, 12}},    {left, 4, {16, 32, 6, 12}},    {left, 2, {22, 20, 0, 12}},
        {left, 9, {10, 56, 6, 12}},    {left, -3, {10, 20, 6, 12}},   {left, 99, {16, 56, 0, 12}},
        {centred, 0, {54, 20, 6, 12}}, {centred, 3, {48, 32, 6, 12}}, {scaled, 6, {22, 12, 8, 12}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.offset);
        const TextBox b = characterBox(text, r.g, r.offset);
        EXPECT_EQ(box(b), r.expected);
        if (b.w > 0 && r.offset >= 0) {
            EXPECT_EQ(offsetAt(text, r.g, b.x + b.w / 2, b.y + b.h / 2), r.offset);
        }
    }
    EXPECT_EQ(box(rangeBox(text, left, 0, 7)), Box(10, 20, 24, 24));
    EXPECT_EQ(box(rangeBox(text, centred, 1, 5)), Box(48, 20, 18, 24));
    EXPECT_EQ(box(rangeBox(text, left, 5, -1)), box(characterBox(text, left, 5)));
    for (const auto &[x, y] : {std::pair(9, 20), {10, 19}, {10, 68}, {16, 44}, {40, 26}})
        EXPECT_EQ(offsetAt(text, left, x, y), -1) << x << "," << y;
}

} // namespace
