// SPDX-License-Identifier: MIT
// The radix switch on the unshown main window: the key states it leaves behind, and what
// the display shows after it. No X server needed.
#include "engine/engine.h"
#include "keys.h"
#include "ui/ui.h"

#include <FL/Fl_Button.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <string>

namespace {

const int RADIXES[] = {2, 8, 10, 16};
const char *const DIGITS[] = {"0", "1", "2", "3", "4", "5", "6", "7",
                              "8", "9", "A", "B", "C", "D", "E", "F"};

class Radix : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static Fl_Window *window = makeWindow();
        (void)window;
    }
    void SetUp() override { resetCalculator(); }
};

// Digit keys enabled: exactly those below the radix. Mode keys: all black, the chosen one
// green, the rest white. The same whatever radix came before.
TEST_F(Radix, KeyStatesDependOnTheNewRadixOnly) {
    for (int from : RADIXES) {
        for (int to : RADIXES) {
            SCOPED_TRACE(testing::Message() << from << " -> " << to);
            modeButtonsCb(from);
            modeButtonsCb(to);
            EXPECT_EQ(g_base, to);
            for (int digit = 0; digit < 16; ++digit)
                EXPECT_EQ(key(DIGITS[digit])->active() != 0, digit < to) << "digit " << digit;
            const struct {
                Fl_Button *key;
                int base;
            } modes[] = {{bin_button, 2}, {oct_button, 8}, {dec_button, 10}, {hex_button, 16}};
            for (const auto &m : modes) {
                EXPECT_EQ(m.key->color(), FL_BLACK) << m.key->label();
                EXPECT_EQ(m.key->labelcolor(), m.base == to ? FL_GREEN : FL_WHITE)
                    << m.key->label();
            }
        }
    }
}

struct Row {
    const char *keys;
    unsigned shown;
    int base; // of the text expected at the end
    const char *why;
};

TEST_F(Radix, SwitchShowsTheShownValueUnchanged) {
    const Row rows[] = {
        {"2 5 5 HEX", 0xFF, 16, "the value keeps its bits"},
        {"2 5 5 HEX BIN", 0xFF, 2, "...in every radix"},
        {"1 2 HEX", 0xC, 16, "the entry so far"},
        {"1 2 HEX 3", 0xC3, 16, "digits go on in the new radix"},
        {"1 + HEX", 0, 16, "after an operator: the entry, 0"},
        {"9 + HEX A =", 19, 16, "the pending operation survives"},
        {"6 + 7 = OCT", 13, 8, "after \"=\": the result"},
        {"6 + 7 = ce", 0, 10, "CE after \"=\" shows 0..."},
        {"6 + 7 = ce BIN", 13, 2, "...and a switch the result again"},
        {"4 2 DEC", 42, 10, "the current radix again: a redisplay"},
        {"sign 1 - 3 = HEX DEC", 0xFFFFFFFE, 10, "signedness survives: -2"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string(r.keys) + ": " + r.why);
        resetCalculator();
        press(r.keys);
        EXPECT_EQ(text_disp->label(), displayText(r.shown, r.base));
    }
}

TEST_F(Radix, UnknownRadixIsStoredAndChangesNoKey) {
    press("HEX 1F R5");
    EXPECT_EQ(g_base, 5);
    EXPECT_STREQ(text_disp->label(), "");
    EXPECT_TRUE(f_button->active());
    EXPECT_EQ(hex_button->labelcolor(), FL_GREEN);
    press("HEX");
    EXPECT_EQ(text_disp->label(), displayText(0x1F, 16)) << "nothing was lost";
}

} // namespace
