// SPDX-License-Identifier: MIT
// Puts display text on the display widget; owns the heap copy the widget points at, and
// the tooltip that shows the same value in every radix.
#include "format/display.h"
#include "format/format.h"
#include "format/number_text.h"
#include "ui/ui.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/fl_draw.H>
#include <FL/Fl_Tooltip.H>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// The display's current label. Fl_Widget::label(const char*) keeps only the pointer,
// so this copy must outlive its time on screen.
static char *s_label = nullptr;

// The value on the display, and its tooltip. Fl_Widget::tooltip(const char*) keeps only
// the pointer too, and the toolkit may read it any time: the buffer lives for the whole
// run and is rewritten in place. The compiler builds the text for the start-up 0, in
// decimal and unsigned as the engine starts.
static constexpr TooltipText START_TOOLTIP = tooltipText(0, 10, true);
static unsigned int s_shown = 0; // the value the widget shows now (see displayedValue())
static TooltipText s_tooltip = START_TOOLTIP;

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
    s_shown = value;
    s_tooltip = tooltipText(value, base, printsUnsigned()); // the mode is set before this

    // A tooltip shown for the display (or about to be) was laid out for the old text: have
    // it shown again with the new one.
    if (Fl_Tooltip::current() == text_disp) {
        Fl_Tooltip::exit(text_disp);
        Fl_Tooltip::enter_area(text_disp, 0, 0, text_disp->w(), text_disp->h(), s_tooltip.text);
    }
}

unsigned int displayedValue() {
    return s_shown;
}

namespace {

constexpr Fl_Labeltype DISPLAY_LABEL = FL_FREE_LABELTYPE;

// A flash: the display's inside in its selection colour and the text in white, for a
// moment, where the bell rings, for those who cannot hear it.
constexpr double FLASH_SECONDS = 0.25;
bool s_flashing = false;

void endFlashCb(void *) {
    s_flashing = false;
    text_disp->redraw();
}

void (*s_afterFirstDraw)() = nullptr;

void afterFirstDrawCb(void *) {
    void (*then)() = s_afterFirstDraw;
    s_afterFirstDraw = nullptr;
    then();
}

// The display's label, drawn at its own size wherever it fits and smaller where it would
// not: the binary text is wider than the box at size 10 with common fonts, and a cut-off
// top digit is a wrong number.
void drawFittingLabel(const Fl_Label *label, int x, int y, int w, int h, Fl_Align align) {
    if (s_afterFirstDraw != nullptr && !Fl::has_timeout(afterFirstDrawCb)) // after this frame
        Fl::add_timeout(0, afterFirstDrawCb);
    fl_font(label->font, labelSizeFor(text_disp, label->value));
    fl_color(label->color);
    if (s_flashing) { // the label's room is the inside less 3 units at either side
        fl_rectf(x - 3, y, w + 6, h, text_disp->selection_color());
        fl_color(FL_WHITE);
    }
    fl_draw(label->value, x, y, w, h, align, label->image);
}

void measureFittingLabel(const Fl_Label *label, int &w, int &h) {
    fl_font(label->font, labelSizeFor(text_disp, label->value));
    w = h = 0;
    fl_measure(label->value, w, h);
}

} // namespace

void fitDisplayLabel() {
    Fl::set_labeltype(DISPLAY_LABEL, drawFittingLabel, measureFittingLabel);
    text_disp->labeltype(DISPLAY_LABEL);
}

void afterFirstDraw(void (*then)()) {
    s_afterFirstDraw = then;
}

void flashDisplay() {
    s_flashing = true;
    text_disp->redraw();
    Fl::remove_timeout(endFlashCb);
    Fl::add_timeout(FLASH_SECONDS, endFlashCb);
}

void showDisplayTooltip() {
    // Fixed-width, so that the radix names and the values stand in columns.
    Fl_Tooltip::font(FL_COURIER);
    Fl_Tooltip::size(12);
    text_disp->tooltip(s_tooltip.text);
}
