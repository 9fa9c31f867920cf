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
#include <X11/Xlib.h>
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

// The main window's key labelled `label`.
inline Fl_Widget *key(const char *label) {
    Fl_Window *window = text_disp->window();
    for (int i = 0; i < window->children(); ++i)
        if (window->child(i)->label() && std::strcmp(window->child(i)->label(), label) == 0)
            return window->child(i);
    ADD_FAILURE() << "no key " << label;
    return text_disp;
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
    // Types `text` as a user on a US keyboard would: each character with its key (Shift
    // where it needs it: "H" is Shift+h), "\n" Return, "\b" BackSpace, "\t" Tab; and named
    // keys in braces, with modifiers: "{Ctrl+a}", "{Shift+Tab}", "{KP_Add}" (the keypad with
    // Num Lock on).
    void typeText(const std::string &text) {
        for (size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '{') {
                const size_t end = text.find('}', i);
                std::string name = text.substr(i + 1, end - i - 1);
                i = end;
                unsigned modifiers = 0;
                for (const auto &m :
                     {std::make_pair("Ctrl+", CTRL), std::make_pair("Shift+", SHIFT)})
                    if (name.rfind(m.first, 0) == 0) {
                        modifiers |= m.second;
                        name.erase(0, std::strlen(m.first));
                    }
                const unsigned long sym = XStringToKeysym(name.c_str());
                if (name.rfind("KP_", 0) == 0)
                    backend().typeKeypad({sym});
                else
                    backend().typeKey(sym, modifiers);
            } else if (c >= 'A' && c <= 'Z') {
                backend().typeKey(static_cast<unsigned long>(c - 'A' + 'a'), SHIFT);
            } else {
                const unsigned long sym = c == '\n'   ? XK_Return
                                          : c == '\b' ? XK_BackSpace
                                          : c == '\t' ? XK_Tab
                                                      : static_cast<unsigned char>(c);
                backend().typeKey(sym);
            }
        }
        settle();
    }
    void click(Fl_Widget *w, unsigned button = 1) {
        backend().click(w->top_window(), w->x() + w->w() / 2, w->y() + w->h() / 2, button);
        settle();
    }
    inline static Fl_Window *s_window = nullptr;
};

#endif
