// SPDX-License-Identifier: MIT
// The main window on the tests' private display server, started once per test process, and
// the ways the tests drive it: real key and button events, then the toolkit left to handle
// them before anything is checked.
#ifndef NORVIK_TESTS_MAIN_WINDOW_FIXTURE_H
#define NORVIK_TESTS_MAIN_WINDOW_FIXTURE_H

#include <gtest/gtest.h>

#include "backend.h"
#include "keys.h"
#include "process.h"
#include "engine/engine.h"
#include "ui/ui.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>

#include <chrono>
#include <string>

inline const char TITLE[] = "norvik - Programmers' calculator";

// waitUntil() with the toolkit running: the condition is checked from a timer, so that it
// is checked inside the loops the toolkit nests too (an open menu's, which waits there).
struct ToolkitCheck {
    const std::function<bool()> *done;
    bool met;
};
inline void toolkitTick(void *data) {
    auto *check = static_cast<ToolkitCheck *>(data);
    if ((*check->done)())
        check->met = true;
    else
        Fl::repeat_timeout(0.005, toolkitTick, data);
}
inline bool toolkitWait(const std::function<bool()> &done, double seconds) {
    ToolkitCheck check{&done, false};
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    Fl::add_timeout(0, toolkitTick, &check);
    while (!check.met && std::chrono::steady_clock::now() < end)
        Fl::wait(0.01);
    Fl::remove_timeout(toolkitTick, &check);
    return check.met;
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
        setWaitLoop(toolkitWait);
        s_window = startUp(1, argv);
        ASSERT_TRUE(waitUntil([] { return s_window->visible() && s_window->shown(); }));
        windowsChanged();
    }
    void SetUp() override { backend().focus(TITLE); }
    void TearDown() override {
        resetCalculator();
        chooseFocus(nullptr);
    }
    // Types `text` (see typeText()) and lets the window handle it.
    static void type(const std::string &text) {
        typeText(text);
        backend().settle();
    }
    inline static Fl_Window *s_window = nullptr;
};

// What a scaled screen changes (FLTK 1.4 scales, 1.3 does not): these run once more at the
// scales 2 and 1.5.
class ScaledWindow : public MainWindow {};

#endif
