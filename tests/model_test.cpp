// SPDX-License-Identifier: MIT
// The real callbacks against an independent model of the calculator, written from its
// rules in 64-bit arithmetic with explicit masks and signed readings, with a formatter of
// its own. A seeded random driver plays short games through both and compares the display
// text after every key. NORVIK_SEED and NORVIK_MODEL_KEYS change the run.
#include "engine/engine.h"
#include "keys.h"
#include "ui/ui.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <cstdint>
#include <malloc.h>
#include <sys/resource.h>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr uint64_t MASK = 0xFFFFFFFFu;

int64_t signedReading(uint64_t x) {
    return x & 0x80000000u ? int64_t(x) - (int64_t(1) << 32) : int64_t(x);
}

// The display: 32 columns, digits right-aligned (zero fill in binary), cut into groups of
// 4 (binary, hex) or 3 columns from the right with " . " before every group.
std::string modelText(uint64_t v, int base, bool isUnsigned) {
    if (base != 2 && base != 8 && base != 10 && base != 16)
        return "";
    const bool negative = base == 10 && !isUnsigned && (v & 0x80000000u);
    uint64_t m = negative ? (uint64_t(1) << 32) - v : v;
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789ABCDEF"[m % base]);
        m /= base;
    } while (m);
    if (negative)
        digits.insert(digits.begin(), '-');
    const std::string field = std::string(32 - digits.size(), base == 2 ? '0' : ' ') + digits;
    const size_t group = base == 2 || base == 16 ? 4 : 3;
    std::string out;
    for (size_t i = 1; i <= 32; ++i) {
        out.insert(out.begin(), field[32 - i]);
        if (i % group == 0)
            out.insert(0, " . ");
    }
    return out;
}

struct Model {
    uint64_t accum = 0, value = 0;
    int last = OPT_ADD, base = 10;
    bool isUnsigned = true, committed = false;
    std::string shown;

    void show(uint64_t v) { shown = modelText(v, base, isUnsigned); }
    uint64_t apply(int op, uint64_t a, uint64_t v) const {
        const unsigned n = v % 32;
        const int64_t sa = signedReading(a), sv = signedReading(v);
        switch (op) {
        case OPT_ADD:
            return (a + v) & MASK;
        case OPT_SUB:
            return (a + (uint64_t(1) << 32) - v) & MASK;
        case OPT_MUL:
            return (a * v) & MASK;
        case OPT_DIV:
            return v == 0 ? a : isUnsigned ? a / v : uint64_t(sa / sv) & MASK;
        case OPT_MOD:
            return v == 0 ? a : isUnsigned ? a % v : uint64_t(sa % sv) & MASK;
        case OPT_OR:
            return a | v;
        case OPT_AND:
            return a & v;
        case OPT_XOR:
            return a ^ v;
        case OPT_LSHIFT:
            return (a << n) & MASK;
        case OPT_RSHIFT: // arithmetic: floor(sa / 2^n)
            if (isUnsigned || sa >= 0)
                return a >> n;
            return uint64_t(-((-sa + (int64_t(1) << n) - 1) >> n)) & MASK;
        default:
            return a;
        }
    }
    void digit(int d) {
        if (committed) {
            committed = false;
            accum = value = 0;
            last = OPT_ADD;
        }
        value = (value * uint64_t(base) + uint64_t(d)) & MASK;
        show(value);
    }
    void oper(int c) {
        committed = false;
        if (c == OPT_NOT) {
            value = ~value & MASK;
            if (last == OPT_EQUAL)
                accum = value;
            return show(value);
        }
        accum = apply(last, accum, value);
        last = c;
        committed = c == OPT_EQUAL;
        value = committed ? accum : 0;
        show(accum);
    }
    void special(int c) {
        if (c == OPT_CE) {
            value = 0;
            show(0);
        } else if (c == OPT_CD && last != OPT_EQUAL) {
            value /= uint64_t(base);
            show(value);
        } else if (c == OPT_CA) {
            accum = value = 0;
            last = OPT_ADD;
            show(0);
        } else if (c == OPT_SIGN) {
            isUnsigned = !isUnsigned;
            show(value);
        }
    }
    void radix(int b) {
        base = b;
        show(last == OPT_EQUAL ? accum : value);
    }
    void press(const std::string &key) {
        static const struct {
            const char *name;
            void (Model::*call)(int);
            int code;
        } NAMED[] = {
            {"+", &Model::oper, OPT_ADD},        {"-", &Model::oper, OPT_SUB},
            {"*", &Model::oper, OPT_MUL},        {"/", &Model::oper, OPT_DIV},
            {"%", &Model::oper, OPT_MOD},        {"|", &Model::oper, OPT_OR},
            {"&", &Model::oper, OPT_AND},        {"^", &Model::oper, OPT_XOR},
            {"<<", &Model::oper, OPT_LSHIFT},    {">>", &Model::oper, OPT_RSHIFT},
            {"=", &Model::oper, OPT_EQUAL},      {"~", &Model::oper, OPT_NOT},
            {"ce", &Model::special, OPT_CE},     {"cd", &Model::special, OPT_CD},
            {"bs", &Model::special, OPT_CD},     {"ca", &Model::special, OPT_CA},
            {"sign", &Model::special, OPT_SIGN}, {"BIN", &Model::radix, 2},
            {"OCT", &Model::radix, 8},           {"DEC", &Model::radix, 10},
            {"HEX", &Model::radix, 16},
        };
        for (const auto &n : NAMED)
            if (key == n.name)
                return (this->*n.call)(n.code);
        digit(key[0] >= 'A' ? key[0] - 'A' + 10 : key[0] - '0');
    }
};

// A random key of the key language (keys.h) that the radix has.
std::string randomKey(std::mt19937 &rng, int base) {
    static const char *const OPERATORS[] = {"+", "-", "*",  "/",  "%", "|",
                                            "&", "^", "<<", ">>", "=", "~"};
    static const char *const SPECIALS[] = {"ce", "cd", "ca", "sign", "bs"};
    static const char *const RADIXES[] = {"BIN", "OCT", "DEC", "HEX"};
    const int pick = int(rng() % 100);
    if (pick < 45)
        return std::string(1, "0123456789ABCDEF"[rng() % unsigned(base)]);
    if (pick < 85)
        return OPERATORS[rng() % 12];
    if (pick < 95)
        return SPECIALS[rng() % 5];
    return RADIXES[rng() % 4];
}

void pressBoth(const std::string &key, Model &model) {
    press(key);
    model.press(key);
}

unsigned long fromEnv(const char *name, unsigned long fallback) {
    const char *s = std::getenv(name);
    return s && *s ? std::strtoul(s, nullptr, 0) : fallback;
}

TEST(Model, RandomGamesShowWhatTheRulesSay) {
    static Fl_Window *window = makeWindow();
    (void)window;
    const unsigned long seed = fromEnv("NORVIK_SEED", 20261209);
    const unsigned long keys = fromEnv("NORVIK_MODEL_KEYS", 200000);
    const int gameLength = 60;
    std::mt19937 rng(seed);
    unsigned long played = 0;
    for (int game = 0; played < keys; ++game) {
        resetCalculator();
        Model model;
        std::vector<std::string> prefix;
        for (int i = 0; i < gameLength; ++i, ++played) {
            prefix.push_back(randomKey(rng, model.base));
            pressBoth(prefix.back(), model);
            if (model.shown != text_disp->label()) {
                std::string keysText;
                for (const std::string &k : prefix)
                    keysText += k + " ";
                FAIL() << "seed " << seed << ", game " << game << ", shortest failing prefix:\n  "
                       << keysText << "\nshows   \"" << text_disp->label() << "\"\nexpected \""
                       << model.shown << "\"";
            }
        }
    }
    RecordProperty("keys", std::to_string(played));
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool ADDRESS_SANITIZER = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool ADDRESS_SANITIZER = true;
#else
constexpr bool ADDRESS_SANITIZER = false;
#endif
#else
constexpr bool ADDRESS_SANITIZER = false;
#endif

size_t heapInUse() {
    return mallinfo2().uordblks;
}

long peakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A long day at the calculator: the heap holds one display text whatever was shown before,
// so it must not grow at all, and the resident size must stay put.
TEST(LongRun, AMillionKeysKeepTheHeapFlat) {
    static Fl_Window *window = makeWindow();
    (void)window;
    const unsigned long keys = fromEnv("NORVIK_LONG_KEYS", 1000000);
    std::mt19937 rng(7);
    Model model;
    size_t heapAfterWarmUp = 0;
    long rssAfterWarmUp = 0;
    for (unsigned long i = 1; i <= keys; ++i) {
        pressBoth(randomKey(rng, g_base), model);
        if (i == 1000) {
            heapAfterWarmUp = heapInUse();
            rssAfterWarmUp = peakResidentKb();
        } else if (i > 1000 && i % 100000 == 0 && !ADDRESS_SANITIZER) {
            ASSERT_EQ(heapInUse(), heapAfterWarmUp) << "after " << i << " keys";
        }
    }
    if (ADDRESS_SANITIZER) // its own allocator and quarantine; LeakSanitizer checks at exit
        return;
    EXPECT_EQ(heapInUse(), heapAfterWarmUp);
    EXPECT_LE(peakResidentKb() - rssAfterWarmUp, 1024) << "kB grown";
    std::printf("long run: %lu keys, heap in use %zu -> %zu bytes, peak RSS %ld -> %ld kB\n", keys,
                heapAfterWarmUp, heapInUse(), rssAfterWarmUp, peakResidentKb());
}

} // namespace
