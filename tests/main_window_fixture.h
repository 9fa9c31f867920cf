// SPDX-License-Identifier: MIT
// The main window on the tests' private X server, started once per test process, and the
// ways the tests drive it: real key and button events, then the toolkit left to handle
// them before anything is checked.
#ifndef NORVIK_TESTS_MAIN_WINDOW_FIXTURE_H
#define NORVIK_TESTS_MAIN_WINDOW_FIXTURE_H

// gtest before any X header: Xlib defines None as a macro.
#include <gtest/gtest.h>

#include "engine/engine.h"
#include "display_text.h"
#include "ui/ui.h"
#include "xdriver.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

inline const char TITLE[] = "norvik - Programmers' calculator";

// Lets the window handle everything sent so far: a round trip on each connection brings
// every event the server produced into the toolkit's queue, which is then emptied.
inline void settle() {
    XSync(testDisplay(), False);
    XSync(fl_display, False);
    for (int i = 0; i < 200 && (XQLength(fl_display) > 0 || Fl::ready()); ++i)
        Fl::wait(0);
    Fl::wait(0.01);
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
        ASSERT_TRUE(waitFor([] { return s_window->visible() && fl_xid(s_window) != 0; },
                            [] { Fl::wait(0.05); }));
        settle();
    }
    void SetUp() override { focusWindow(fl_xid(s_window)); }
    void TearDown() override {
        if (g_base != 10) // a switch repaints the mode keys: not needed, keep the start look
            modeButtonsCb(10);
        specButtonCb(OPT_CA);
        if (std::strcmp(u_button->label(), "S") == 0)
            specButtonCb(OPT_SIGN);
    }
    void type(const std::vector<std::pair<unsigned long, unsigned>> &keys) {
        for (const auto &k : keys)
            typeKey(k.first, k.second);
        settle();
    }
    void click(Fl_Widget *w, unsigned button = 1) {
        clickAt(fl_xid(s_window), w->x() + w->w() / 2, w->y() + w->h() / 2, button);
        settle();
    }
    inline static Fl_Window *s_window = nullptr;
};

#endif
