// SPDX-License-Identifier: MIT
// Key sequences against the engine, one row per case, grouped by the rule they test, in
// the key language of keys.h.
#include "engine/engine.h"
#include "keys.h"
#include "recording_display.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>

namespace {

constexpr bool UNSIGNED = true;
constexpr bool SIGNED = false;

struct Row {
    int base;
    bool isUnsigned;
    const char *keys;
    uint32_t shown; // the value displayed last
    const char *why;
};

// A row's game from the start-up state, in its radix and signedness; only what the keys
// themselves show is recorded.
void run(int base, bool isUnsigned, const std::string &keys) {
    resetCalculator();
    g_base = base;
    if (!isUnsigned)
        press("sign");
    g_recording = Recording();
    press(keys);
}

template <size_t N> void check(const Row (&rows)[N]) {
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << "radix " << r.base << (r.isUnsigned ? " U: " : " S: ")
                                        << r.keys << " (" << r.why << ")");
        run(r.base, r.isUnsigned, r.keys);
        ASSERT_FALSE(g_recording.shown.empty());
        EXPECT_EQ(g_recording.shown.back().value, r.shown)
            << std::hex << "shown 0x" << g_recording.shown.back().value << ", expected 0x"
            << r.shown;
        EXPECT_EQ(g_recording.shown.back().base, r.base);
    }
}

} // namespace

// Operators chain left to right; each applies the one pending before it.
TEST(Engine, ChainingWithoutPrecedence) {
    const Row rows[] = {
        {10, UNSIGNED, "10 - 2 / 2 =", 4, "no precedence"},
        {10, UNSIGNED, "10 - 2 - 3 =", 5, "left to right"},
        {10, UNSIGNED, "+ 5 =", 5, "first operator adds to 0"},
        {10, UNSIGNED, "- 5 =", 0xFFFFFFFB, "first operator after start-up"},
        {10, UNSIGNED, "5 & + 2 =", 2, "& applied to an entry of 0"},
        {10, UNSIGNED, "5 / + 2 =", 7, "division by the empty entry leaves 5"},
        {10, UNSIGNED, "5 +", 5, "an operator shows the accumulator"},
        {10, UNSIGNED, "12 | 3 =", 15, "or"},
        {10, UNSIGNED, "12 & 10 =", 8, "and"},
        {10, UNSIGNED, "12 ^ 10 =", 6, "xor"},
        {10, UNSIGNED, "6 * 7 =", 42, "multiply"},
        {10, UNSIGNED, "17 % 5 =", 2, "modulus"},
    };
    check(rows);
}

// "=" commits: repeating it adds nothing, an operator continues, a digit starts afresh.
TEST(Engine, EqualsAndWhatFollows) {
    const Row rows[] = {
        {10, UNSIGNED, "5 + 3 = =", 8, "a second = applies nothing"},
        {10, UNSIGNED, "5 + 3 = + 2 =", 10, "operator after = continues"},
        {10, UNSIGNED, "5 + 3 = 7", 7, "a digit starts a new calculation"},
        {10, UNSIGNED, "5 + 3 = 7 + 1 =", 8, "... with 0 in the accumulator"},
        {10, UNSIGNED, "5 + 3 = ce", 0, "CE after = shows 0"},
        {10, UNSIGNED, "5 + 3 = ce +", 8, "... while the accumulator keeps 8"},
        {10, UNSIGNED, "5 + 3 = ce 2 + 1 =", 3, "... and a digit still starts afresh"},
        {10, UNSIGNED, "5 + 3 = ce sign", 0, "the sign key shows the entry"},
    };
    check(rows);
}

// A pasted value is the entry exactly as if CE and its digits had been typed: the keys
// after it show the same in both games.
TEST(Engine, PastedValueIsATypedEntry) {
    const struct {
        int base;
        const char *before, *after;
        uint32_t value;
        const char *why;
    } rows[] = {
        {10, "", "", 42, "at start-up"},
        {10, "5 +", "=", 3, "a pending operation stays pending"},
        {10, "5 + 3 =", "+ 1 =", 7, "after = it starts a new calculation"},
        {10, "5 + 3 = ~", "+ 1 =", 7, "after = and ~: no longer committed"},
        {10, "5 + 3 = ce", "=", 2, "after = and CE"},
        {16, "F F *", "=", 0x10, "in hex"},
        {2, "1 0 1 -", "=", 0, "zero"},
        {8, "7 7 7", "cd", 0xFFFFFFFF, "all bits, then a digit deleted"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(testing::Message() << r.before << " [" << std::hex << r.value << "] "
                                        << r.after << ": " << r.why);
        std::ostringstream pasted, typed;
        pasted << r.before << " p" << std::hex << r.value;
        typed << r.before << " ce";
        std::string digits;
        uint32_t v = r.value;
        do {
            digits.insert(0, std::string(" ") + "0123456789ABCDEF"[v % uint32_t(r.base)]);
            v /= uint32_t(r.base);
        } while (v != 0);
        typed << digits;

        run(r.base, UNSIGNED, pasted.str());
        EXPECT_EQ(g_recording.shown.back().value, r.value) << "shows the value";
        run(r.base, UNSIGNED, pasted.str() + " " + r.after);
        const Shown afterPaste = g_recording.shown.back();
        run(r.base, UNSIGNED, typed.str() + " " + r.after);
        EXPECT_EQ(afterPaste.value, g_recording.shown.back().value);
        EXPECT_EQ(afterPaste.base, g_recording.shown.back().base);
    }
}

// "~" inverts the entry and leaves the pending operation alone.
TEST(Engine, Complement) {
    const Row rows[] = {
        {10, UNSIGNED, "5 ~", 0xFFFFFFFA, "during entry"},
        {10, UNSIGNED, "5 + 3 ~ =", 1, "+ stays pending"},
        {10, UNSIGNED, "5 ~ 1", 0xFFFFFFC5, "digits continue the inverted entry"},
        {10, UNSIGNED, "5 + 3 = ~", 0xFFFFFFF7, "after ="},
        {10, UNSIGNED, "5 + 3 = ~ =", 0xFFFFFFF7, "accumulator follows the entry"},
        {10, UNSIGNED, "5 + 3 = ~ 2", 0xFFFFFFA8, "not committed any more: 2 continues"},
        {10, UNSIGNED, "5 + 3 = ~ 2 + 1 =", 0xFFFFFFF8, "= pending applies nothing"},
        {10, UNSIGNED, "5 + 3 = ~ ~", 8, "a second ~ restores"},
        {10, UNSIGNED, "5 + 3 = ~ ~ =", 8, "... in the accumulator too"},
    };
    check(rows);
}

// CE clears the entry, CD and BackSpace drop a digit (never the result), CA clears all.
TEST(Engine, ClearKeys) {
    const Row rows[] = {
        {10, UNSIGNED, "12 ce 3 + 4 =", 7, "CE during entry"},
        {10, UNSIGNED, "5 + 3 = ca 4 + 1 =", 5, "CA after ="},
        {10, UNSIGNED, "5 + 3 ca + 2 =", 2, "CA drops the pending +"},
        {16, UNSIGNED, "FFFFFFFF cd", 0x0FFFFFFF, "CD in hex"},
        {8, UNSIGNED, "777 cd", 077, "CD in octal"},
        {2, UNSIGNED, "1011 cd", 5, "CD in binary"},
        {10, UNSIGNED, "123 bs", 12, "BackSpace is CD"},
        {10, UNSIGNED, "6 ~ bs", 429496728, "CD divides unsigned"},
        {10, SIGNED, "6 ~ bs", 429496728, "... in signed mode too"},
        {10, UNSIGNED, "5 + 3 = ~ cd", 0xFFFFFFF7, "CD ignored while = is pending"},
        {10, UNSIGNED, "5 + 3 = bs + 2 =", 10, "BackSpace left the result alone"},
    };
    check(rows);
}

TEST(Engine, DeleteAfterEqualsShowsNothing) {
    for (const char *keys : {"5 + 3 = cd", "5 + 3 = bs", "5 + 3 = cd bs cd"}) {
        SCOPED_TRACE(keys);
        run(10, UNSIGNED, keys);
        EXPECT_EQ(g_recording.shown.size(), 4u) << "only 5, +, 3 and = display";
    }
}

// Every result is the low 32 bits; entry beyond 32 bits keeps the low bits.
TEST(Engine, WrapAround) {
    const Row rows[] = {
        {10, UNSIGNED, "7 - 9 =", 0xFFFFFFFE, "below zero wraps"},
        {10, SIGNED, "7 - 9 =", 0xFFFFFFFE, "... the same bits signed"},
        {10, UNSIGNED, "4294967295 + 1 =", 0, "carry out is lost"},
        {10, UNSIGNED, "65536 * 65536 =", 0, "product keeps its low bits"},
        {10, UNSIGNED, "65537 * 65537 =", 0x20001, "..."},
        {16, UNSIGNED, "123456789", 0x23456789, "hex entry pushes out the top digit"},
        {10, UNSIGNED, "4294967295", 0xFFFFFFFF, "largest entry"},
        {10, UNSIGNED, "4294967296", 0, "one more wraps"},
        {10, UNSIGNED, "4294967297", 1, "..."},
        {2, UNSIGNED, "111111111111111111111111111111111", 0xFFFFFFFF, "33rd binary digit"},
    };
    check(rows);
}

// Division, modulus and right shift read the bits by the signedness key; nothing else does.
TEST(Engine, SignedAndUnsigned) {
    const Row rows[] = {
        {16, UNSIGNED, "FFFFFFFF / 2 =", 0x7FFFFFFF, "unsigned quotient"},
        {16, SIGNED, "FFFFFFFF / 2 =", 0, "-1 / 2 truncates toward zero"},
        {16, UNSIGNED, "FFFFFFFF >> 1 =", 0x7FFFFFFF, "logical shift"},
        {16, SIGNED, "FFFFFFFF >> 1 =", 0xFFFFFFFF, "arithmetic shift"},
        {10, UNSIGNED, "0 ~ >> 1 =", 0x7FFFFFFF, "-1 typed with ~"},
        {10, SIGNED, "0 ~ >> 1 =", 0xFFFFFFFF, "..."},
        {16, SIGNED, "80000000 >> 1F =", 0xFFFFFFFF, "sign copied into 31 places"},
        {16, SIGNED, "40000000 >> 1E =", 1, "positive: zeros come in"},
        {10, SIGNED, "6 ~ / 2 =", 0xFFFFFFFD, "-7 / 2 = -3"},
        {10, SIGNED, "6 ~ % 2 =", 0xFFFFFFFF, "-7 % 2 = -1, sign of the dividend"},
        {10, SIGNED, "7 / 2 ~ =", 0xFFFFFFFE, "7 / -3 = -2"},
        {10, SIGNED, "7 % 2 ~ =", 1, "7 % -3 = 1"},
        {10, UNSIGNED, "6 ~ / 2 =", 0x7FFFFFFC, "unsigned quotient"},
        {10, UNSIGNED, "6 ~ % 2 =", 1, "unsigned remainder"},
        {16, SIGNED, "80000000 / FFFFFFFF =", 0x80000000, "INT_MIN / -1 wraps"},
        {16, SIGNED, "80000000 % FFFFFFFF =", 0, "INT_MIN % -1 is 0"},
        {16, UNSIGNED, "80000000 / FFFFFFFF =", 0, "ordinary unsigned"},
        {16, UNSIGNED, "80000000 % FFFFFFFF =", 0x80000000, "ordinary unsigned"},
        {16, SIGNED, "80000000 / 1 =", 0x80000000, "INT_MIN / 1"},
        {16, SIGNED, "FFFFFFFF * FFFFFFFF =", 1, "multiply is sign-blind"},
    };
    check(rows);
}

TEST(Engine, DivisionByZeroKeepsTheAccumulator) {
    const Row rows[] = {
        {10, UNSIGNED, "7 / 0 =", 7, "divide"},
        {10, UNSIGNED, "7 % 0 =", 7, "modulus"},
        {10, SIGNED, "7 / 0 =", 7, "signed divide"},
        {10, SIGNED, "7 % 0 =", 7, "signed modulus"},
        {10, UNSIGNED, "8 / 0 + 2 =", 10, "and the chain goes on"},
    };
    check(rows);
}

// Shift counts are the low five bits of the entry.
TEST(Engine, ShiftCounts) {
    const Row rows[] = {
        {10, UNSIGNED, "1 << 31 =", 0x80000000, "largest count"},
        {10, UNSIGNED, "1 << 32 =", 1, "32 is 0"},
        {10, UNSIGNED, "1 << 33 =", 2, "33 is 1"},
        {10, UNSIGNED, "1 << 0 ~ =", 0x80000000, "count 0xFFFFFFFF is 31"},
        {10, SIGNED, "1 << 0 ~ =", 0x80000000, "... in both modes"},
        {16, UNSIGNED, "80000000 >> 20 =", 0x80000000, "right by 32 is by 0"},
        {16, SIGNED, "80000000 >> 21 =", 0xC0000000, "right by 33 is by 1"},
    };
    check(rows);
}

// The signedness key: flips the engine and the formatter together, and shows the entry.
TEST(Engine, SignednessKey) {
    run(10, UNSIGNED, "5 - 7 =");
    EXPECT_TRUE(g_recording.signKey.empty()) << "nothing changes the key unasked";
    EXPECT_EQ(displayText(0xFFFFFFFE, 10).substr(59), "294");

    press("sign");
    ASSERT_EQ(g_recording.signKey.size(), 1u);
    EXPECT_EQ(g_recording.signKey.back(), 0u);
    EXPECT_EQ(g_recording.shown.back().value, 0xFFFFFFFEu);
    EXPECT_EQ(displayText(0xFFFFFFFE, 10).substr(59), " -2") << "the formatter reads signed too";

    press("ca");
    press("ce");
    EXPECT_EQ(g_recording.signKey.size(), 1u) << "clear keys leave the mode";
    press("sign");
    EXPECT_EQ(g_recording.signKey.back(), 1u);
    EXPECT_EQ(displayText(0xFFFFFFFE, 10).substr(59), "294");
}

TEST(Engine, UnknownSpecialCodesDoNothing) {
    run(10, UNSIGNED, "42");
    for (int code : {0, 14, 15, 16, 18, -1})
        specButtonCb(code);
    EXPECT_EQ(g_recording.shown.size(), 2u);
    EXPECT_TRUE(g_recording.signKey.empty());
}

TEST(Engine, RefreshShowsTheShownValue) {
    const struct {
        const char *keys;
        uint32_t shown;
    } rows[] = {
        {"5 +", 0},        // the entry, not the accumulator on screen
        {"5 + 3 =", 8},    // the result after =
        {"5 + 3 = ce", 8}, // = still pending
        {"5 + 3 = ~", 0xFFFFFFF7},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.keys);
        run(10, UNSIGNED, r.keys);
        refreshCb();
        EXPECT_EQ(g_recording.shown.back().value, r.shown);
    }
}
