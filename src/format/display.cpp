// SPDX-License-Identifier: MIT
// Puts display text on the display widget; owns the heap copy the widget points at.
#include "format/format.h"
#include "ui/ui.h"

#include <FL/Fl_Box.H>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// The display's current label. Fl_Widget::label(const char*) keeps only the pointer,
// so this copy must outlive its time on screen.
static char *s_label = nullptr;

void displayNumber(unsigned int value, int base) {
    char out[DISPLAY_TEXT_SIZE];
    formatNumber(out, value, base);

    // Copy first, release after: when the copy fails the display keeps its last good text.
    char *copy = strdup(out);
    if (copy == nullptr) {
        static const char message[] = "Memory allocation problem with s_label\n";
        std::fwrite(message, 1, sizeof message - 1, stderr);
        return;
    }
    std::free(s_label);
    s_label = copy;
    text_disp->label(s_label);
    text_disp->redraw();
}
