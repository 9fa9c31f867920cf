// SPDX-License-Identifier: MIT
#include "keys.h"
#include "engine/engine.h"
#include "format/format.h"

#include <gtest/gtest.h>

#include <sstream>

// The radix switch: the window's own, or in the engine's tests a stand-in.
void modeButtonsCb(int base);

namespace {

void pressOne(const std::string &key) {
    static const struct {
        const char *name;
        void (*call)(int);
        int code;
    } NAMED[] = {
        {"+", operCb, OPT_ADD},       {"-", operCb, OPT_SUB},
        {"*", operCb, OPT_MUL},       {"/", operCb, OPT_DIV},
        {"%", operCb, OPT_MOD},       {"|", operCb, OPT_OR},
        {"&", operCb, OPT_AND},       {"^", operCb, OPT_XOR},
        {"<<", operCb, OPT_LSHIFT},   {">>", operCb, OPT_RSHIFT},
        {"=", operCb, OPT_EQUAL},     {"~", operCb, OPT_NOT},
        {"ce", specButtonCb, OPT_CE}, {"cd", specButtonCb, OPT_CD},
        {"ca", specButtonCb, OPT_CA}, {"sign", specButtonCb, OPT_SIGN},
        {"BIN", modeButtonsCb, 2},    {"OCT", modeButtonsCb, 8},
        {"DEC", modeButtonsCb, 10},   {"HEX", modeButtonsCb, 16},
    };
    for (const auto &n : NAMED)
        if (key == n.name)
            return n.call(n.code);
    if (key == "bs")
        return backSpaceCb();
    if (key[0] == 'R')
        return modeButtonsCb(std::stoi(key.substr(1)));
    if (key[0] == 'p')
        return enterValueCb(static_cast<unsigned>(std::stoul(key.substr(1), nullptr, 16)));
    for (char c : key) {
        const int digit = c >= 'A' ? c - 'A' + 10 : c - '0';
        ASSERT_TRUE(digit >= 0 && digit < 16) << "unknown key " << key;
        numButtonCb(digit);
    }
}

} // namespace

void press(const std::string &keys) {
    std::istringstream in(keys);
    for (std::string key; in >> key;)
        pressOne(key);
}

void resetCalculator() {
    press("~ ca"); // "~" lowers a left-over "=", CA clears the numbers
    if (!printsUnsigned())
        press("sign");
    if (g_base != 10)
        press("DEC");
}
