// SPDX-License-Identifier: MIT
#include "keys.h"
#include "ui/ui.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <cstring>

Fl_Widget *key(const char *label) {
    Fl_Window *window = text_disp->window();
    for (int i = 0; i < window->children(); ++i)
        if (window->child(i)->label() && std::strcmp(window->child(i)->label(), label) == 0)
            return window->child(i);
    ADD_FAILURE() << "no key " << label;
    return text_disp;
}
