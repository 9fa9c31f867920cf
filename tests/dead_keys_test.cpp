// SPDX-License-Identifier: MIT
// "^" and "~" on keyboards where they are dead keys, typed through the Compose table that
// norvik gives the input method in place of the locale's, and operators typed with AltGr.
#include "main_window_fixture.h"
#include "process.h"
#include "xsession.h"

#include <X11/keysym.h>

#include <cstdio>
#include <cstdlib>

namespace {

// X11: the layouts are switched with setxkbmap on the test's server.
class DeadKeys : public MainWindow {
  protected:
    void SetUp() override {
        if (backend().wayland())
            GTEST_SKIP() << "layouts are switched on the X server";
        MainWindow::SetUp();
    }
    void TearDown() override {
        if (backend().wayland())
            return;
        setKeyboardLayout("us");
        MainWindow::TearDown();
    }
};

TEST_F(DeadKeys, OperatorsTypeAsOnAUsKeyboard) {
    const struct {
        const char *layout, *variant;
        const char *typed; // between "12" and "10 Enter": "~" then 10 gives ~12 * 100 + 10
        unsigned shown;
        const char *why;
        const char *locks = ""; // typed before and after: Caps Lock changes nothing
    } rows[] = {
        // clang-format off
        {"us", "intl", "{dead_circumflex} ",               12 ^ 10,           "dead ^ then Space is XOR"},
        {"us", "intl", "{dead_circumflex}{dead_circumflex}", 12 ^ 10,         "dead ^ twice is XOR"},
        {"us", "intl", "{dead_tilde} ",                    ~12u * 100 + 10,   "dead ~ then Space is NOT"},
        {"us", "intl", "{dead_tilde}{dead_tilde}",         ~12u * 100 + 10,   "dead ~ twice is NOT"},
        {"us", "intl", "{dead_circumflex}-",               (12 ^ 0) - 10,     "dead ^ then -: ^ and -"},
        {"us", "intl", "{dead_tilde}1",                    ~12u * 1000 + 110, "dead ~ then 1: ~ and 1"},
        {"us", "intl", "{dead_circumflex}{KP_3}",          12 ^ 310,          "dead ^ then keypad 3"},
        {"de", "",     "~",                                ~12u * 100 + 10,   "German: AltGr + '+' is ~"},
        {"de", "",     "~ ",                               ~12u * 100 + 10,   "German: ~, then Space"},
        {"de", "",     "|",                                12 | 10,           "German: AltGr + '<' is |"},
        {"de", "",     "+",                                12 + 10,           "German: '+' itself"},
        {"de", "",     "<",                                12 << 10,          "German: '<' itself"},
        {"de", "",     "{dead_circumflex} ",               12 ^ 10,           "German: dead ^ then Space"},
        {"de", "",     "{dead_circumflex}3",               12 ^ 310,          "German: dead ^ then 3"},
        {"us", "",     "^",                                12 ^ 10,           "no dead keys: ^ as ever"},
        {"us", "",     "~",                                ~12u * 100 + 10,   "no dead keys: ~ as ever"},
        {"us", "",     "*",                                12 * 10,           "*, with Shift",               "{Caps_Lock}"},
        {"us", "intl", "{dead_circumflex}3",               12 ^ 310,          "dead ^ then 3",               "{Caps_Lock}"},
        {"de", "",     "*",                                12 * 10,           "German: * is Shift and +",    "{Caps_Lock}"},
        {"de", "",     "=",                                10,                "German: = is Shift and 0",    "{Caps_Lock}"},
        {"fr", "",     "+",                                12 + 10,           "French: digits with Shift"},
        {"fr", "",     "+",                                12 + 10,           "French: digits with Shift",   "{Caps_Lock}"},
        {"fr", "",     "{dead_circumflex}*",               12 * 10,           "French: dead ^ then *",       "{Caps_Lock}"},
        {"be", "",     "-",                                12 - 10,           "Belgian: digits with Shift",  "{Caps_Lock}"},
        {"ch", "",     "{dead_circumflex} ",               12 ^ 10,           "Swiss: dead ^ then Space",    "{Caps_Lock}"},
        // clang-format on
    };
    for (const auto &r : rows) {
        const std::string locks = r.locks;
        SCOPED_TRACE(testing::Message()
                     << r.layout << " " << r.variant << ": " << r.why << " " << locks);
        ASSERT_TRUE(setKeyboardLayout(r.layout, r.variant)) << "setxkbmap failed";
        backend().settle();
        type(locks + "{Ctrl+a}12" + r.typed + "10\n" + locks);
        EXPECT_EQ(shown(), decimal(r.shown));
    }
}

// The table is norvik's own, in memory: the locale's table is never read.
TEST_F(DeadKeys, TheTableIsTheProgramsOwn) {
    const char *path = std::getenv("XCOMPOSEFILE");
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(std::string(path).rfind("/proc/self/fd/", 0), 0u) << "in memory, not a file";
    const std::string table = readFile(path);
    EXPECT_NE(table.find("<dead_circumflex> <space>"), std::string::npos);
    EXPECT_EQ(table.find("include"), std::string::npos) << "the locale's table stays unread";
}

} // namespace
