// SPDX-License-Identifier: MIT
// "^" and "~" on keyboards where they are dead keys, typed through the Compose table that
// norvik gives the input method in place of the locale's, and operators typed with AltGr.
#include "main_window_fixture.h"
#include "xdriver.h"

#include <X11/keysym.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

using Keys = std::vector<std::pair<unsigned long, unsigned>>;

std::string readFile(const std::string &path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

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
    const unsigned long HAT = XK_dead_circumflex, TILDE = XK_dead_tilde;
    const Keys HAT_SPACE = {{HAT, 0}, {XK_space, 0}}, TILDE_SPACE = {{TILDE, 0}, {XK_space, 0}};
    const struct {
        const char *layout, *variant;
        Keys keys; // typed between "12" and "10 Enter": "~" then 10 gives ~12 * 100 + 10
        unsigned shown;
        const char *why;
    } rows[] = {
        // clang-format off
        {"us", "intl", HAT_SPACE,                 12 ^ 10,         "dead ^ then Space is XOR"},
        {"us", "intl", {{HAT, 0}, {HAT, 0}},      12 ^ 10,         "dead ^ twice is XOR"},
        {"us", "intl", TILDE_SPACE,               ~12u * 100 + 10, "dead ~ then Space is NOT"},
        {"us", "intl", {{TILDE, 0}, {TILDE, 0}},  ~12u * 100 + 10, "dead ~ twice is NOT"},
        {"de", "",     {{XK_asciitilde, 0}},      ~12u * 100 + 10, "German: AltGr + '+' is ~"},
        {"de", "",     {{XK_bar, 0}},             12 | 10,         "German: AltGr + '<' is |"},
        {"de", "",     {{XK_plus, 0}},            12 + 10,         "German: '+' itself"},
        {"de", "",     {{XK_less, 0}},            12 << 10,        "German: '<' itself"},
        {"de", "",     HAT_SPACE,                 12 ^ 10,         "German: dead ^ then Space"},
        {"us", "",     {{XK_asciicircum, 0}},     12 ^ 10,         "no dead keys: ^ as ever"},
        {"us", "",     {{XK_asciitilde, 0}},      ~12u * 100 + 10, "no dead keys: ~ as ever"},
        // clang-format on
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(testing::Message() << r.layout << " " << r.variant << ": " << r.why);
        ASSERT_TRUE(setKeyboardLayout(r.layout, r.variant)) << "setxkbmap failed";
        settle();
        type({{XK_a, CTRL}, {XK_1, 0}, {XK_2, 0}});
        type(r.keys);
        type({{XK_1, 0}, {XK_0, 0}, {XK_Return, 0}});
        EXPECT_EQ(shown(), decimal(r.shown));
    }
}

// The table is norvik's own: a sequence that only the locale's table has composes nothing.
// There "^" then "1" makes a superscript one and "^" then "a" an "â"; in norvik neither
// types anything, exactly as before, but now because its table has no such line.
TEST_F(DeadKeys, OnlyTheProgramsOwnSequencesCompose) {
    const char *path = std::getenv("XCOMPOSEFILE");
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(std::string(path).rfind("/proc/self/fd/", 0), 0u) << "in memory, not a file";
    const std::string table = readFile(path);
    EXPECT_NE(table.find("<dead_circumflex> <space>"), std::string::npos);
    EXPECT_EQ(table.find("include"), std::string::npos) << "the locale's table stays unread";

    static std::string texts; // what reached the window as text and no key took
    const auto record = [](int event) {
        if (event == FL_SHORTCUT)
            texts += Fl::event_text();
        return 0;
    };
    ASSERT_TRUE(setKeyboardLayout("us", "intl"));
    settle();
    texts.clear();
    const std::string before = shown();
    Fl::add_handler(record);
    type({{XK_dead_circumflex, 0}, {XK_1, 0}, {XK_dead_circumflex, 0}, {XK_a, 0}});
    Fl::remove_handler(record);
    EXPECT_EQ(texts, "");
    EXPECT_EQ(shown(), before);
}

} // namespace
