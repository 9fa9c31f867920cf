// SPDX-License-Identifier: MIT
// The main window on the tests' private display server, started once per test process, and
// the ways the tests drive it: real key and button events, then the toolkit left to handle
// them before anything is checked.
#ifndef NORVIK_TESTS_MAIN_WINDOW_FIXTURE_H
#define NORVIK_TESTS_MAIN_WINDOW_FIXTURE_H

#include <gtest/gtest.h>

#include "backend.h"
#include "display_text.h"
#include "engine/engine.h"
#include "ui/ui.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>
#include <X11/keysym.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

inline const char TITLE[] = "norvik - Programmers' calculator";

// Lets the window handle everything sent so far.
inline void settle() {
    backend().settle();
}

inline std::string shown() {
    return text_disp->label() ? text_disp->label() : "(null)";
}

inline std::string decimal(unsigned value) {
    return displayText(value, 10);
}

// One window per process, left as the previous test leaves it; each test starts from a
// cleared calculator in unsigned decimal.
class MainWindow : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (s_window)
            return;
        static char name[] = "gui_test";
        static char *argv[] = {name, nullptr};
        s_window = startUp(1, argv);
        ASSERT_TRUE(waitWhileRunning([] { return s_window->visible() && s_window->shown(); }));
        backend().windowsChanged();
    }
    void SetUp() override { backend().focus(s_window); }
    void TearDown() override {
        if (g_base != 10) // a switch repaints the mode keys: not needed, keep the start look
            modeButtonsCb(10);
        specButtonCb(OPT_CA);
        if (std::strcmp(u_button->label(), "S") == 0)
            specButtonCb(OPT_SIGN);
    }
    void type(const std::vector<std::pair<unsigned long, unsigned>> &keys) {
        for (const auto &k : keys)
            backend().typeKey(k.first, k.second);
        settle();
    }
    void click(Fl_Widget *w, unsigned button = 1) {
        backend().click(w->top_window(), w->x() + w->w() / 2, w->y() + w->h() / 2, button);
        settle();
    }
    inline static Fl_Window *s_window = nullptr;
};

#endif
