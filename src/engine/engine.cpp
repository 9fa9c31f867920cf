// SPDX-License-Identifier: MIT
// A running-accumulator machine with one pending operation and no precedence. All
// arithmetic is on uint32_t: results wrap modulo 2^32, and signed readings are taken
// without ever doing signed arithmetic that could overflow.
#include "engine/engine.h"

#include <cstdint>

static_assert(OPT_ADD == 1 && OPT_RSHIFT == 10, "pending operations are the codes 1..10");
static_assert(OPT_EQUAL == 14 && OPT_NOT == 16 && OPT_SIGN == 17, "key codes are fixed");

int g_base = 10;

static uint32_t s_accum = 0;     // running result
static uint32_t s_value = 0;     // the entry; after "=" a copy of the result
static int s_lastopt = OPT_ADD;  // pending operation, or OPT_EQUAL after "="
static uint32_t s_unsigned = 1;  // how / % >> read the bits: 1 unsigned, 0 two's complement
static bool s_committed = false; // raised by "=": the next digit starts afresh

namespace {

constexpr uint32_t SIGN_BIT = 0x80000000u;

bool isNegative(uint32_t x) {
    return (x & SIGN_BIT) != 0;
}
uint32_t magnitude(uint32_t x) {
    return isNegative(x) ? 0u - x : x;
}

// Quotient truncated toward zero of the two's-complement readings, on 32 bits.
// 0x80000000 / 0xFFFFFFFF wraps to 0x80000000 instead of trapping.
uint32_t signedDiv(uint32_t a, uint32_t v) {
    uint32_t q = magnitude(a) / magnitude(v);
    return isNegative(a) != isNegative(v) ? 0u - q : q;
}

// The remainder that goes with signedDiv: it takes the sign of a.
uint32_t signedMod(uint32_t a, uint32_t v) {
    uint32_t r = magnitude(a) % magnitude(v);
    return isNegative(a) ? 0u - r : r;
}

uint32_t arithmeticShiftRight(uint32_t a, unsigned n) {
    uint32_t shifted = a >> n;
    if (isNegative(a) && n > 0)
        shifted |= ~(0xFFFFFFFFu >> n);
    return shifted;
}

uint32_t apply(int op, uint32_t a, uint32_t v) {
    const unsigned count = v & 31u;
    switch (op) {
    case OPT_ADD:
        return a + v;
    case OPT_SUB:
        return a - v;
    case OPT_MUL:
        return a * v;
    case OPT_DIV:
        if (v == 0)
            return a;
        return s_unsigned ? a / v : signedDiv(a, v);
    case OPT_MOD:
        if (v == 0)
            return a;
        return s_unsigned ? a % v : signedMod(a, v);
    case OPT_OR:
        return a | v;
    case OPT_AND:
        return a & v;
    case OPT_XOR:
        return a ^ v;
    case OPT_LSHIFT:
        return a << count;
    case OPT_RSHIFT:
        return s_unsigned ? a >> count : arithmeticShiftRight(a, count);
    default: // OPT_EQUAL pending: the result stands
        return a;
    }
}

void display(uint32_t value) {
    displayNumber(value, g_base);
}

// "CD" and BackSpace: drop the last digit, always as an unsigned division.
void deleteDigit() {
    if (s_lastopt == OPT_EQUAL)
        return; // the result is not an entry to edit
    s_value /= static_cast<uint32_t>(g_base);
    display(s_value);
}

} // namespace

void numButtonCb(int digit) {
    if (s_committed) {
        s_committed = false;
        s_accum = 0;
        s_value = 0;
        s_lastopt = OPT_ADD;
    }
    s_value = s_value * static_cast<uint32_t>(g_base) + static_cast<uint32_t>(digit);
    display(s_value);
}

void enterValueCb(unsigned int value) {
    if (s_committed) { // as the first digit typed after "=" would
        s_committed = false;
        s_accum = 0;
        s_lastopt = OPT_ADD;
    }
    s_value = value;
    display(s_value);
}

void operCb(int code) {
    s_committed = false;

    if (code == OPT_NOT) {
        // eg. "5 + 3 ~ =": inverts the entry 3 and leaves "+" pending.
        s_value = ~s_value;
        if (s_lastopt == OPT_EQUAL)
            s_accum = s_value; // after "=", accumulator and entry stay equal
        display(s_value);
        return;
    }

    s_accum = apply(s_lastopt, s_accum, s_value);
    s_lastopt = code;
    if (code == OPT_EQUAL) {
        s_committed = true;
        s_value = s_accum;
    } else {
        s_value = 0;
    }
    display(s_accum);
}

void specButtonCb(int code) {
    switch (code) {
    case OPT_CE:
        s_value = 0;
        display(0);
        break;
    case OPT_CD:
        deleteDigit();
        break;
    case OPT_CA:
        s_value = 0;
        s_accum = 0;
        display(0);
        s_lastopt = OPT_ADD;
        break;
    case OPT_SIGN:
        s_unsigned = s_unsigned ? 0 : 1;
        setUnsigned(s_unsigned); // the formatter must read the same way before we display
        showSignKey(s_unsigned);
        display(s_value); // the entry, even after "="
        break;
    default:
        break;
    }
}

void backSpaceCb() {
    deleteDigit();
}

// The shown value: the result after "=", else the entry.
void refreshCb() {
    display(s_lastopt == OPT_EQUAL ? s_accum : s_value);
}
