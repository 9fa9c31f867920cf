// SPDX-License-Identifier: MIT
// Every text drawn whole, whatever fonts the machine has. The toolkit's fixed and sans
// fonts are whichever monospace and sans fonts fontconfig finds (DejaVu, Noto, Liberation,
// URW's), whose widths and line heights differ by up to a fifth: a text laid out for one
// runs out of its box with another. A fitted label is drawn at its label size wherever it
// fits its room in the font the machine gives, and smaller only where it would not; its
// label size attribute stays. It is measured when drawn, never before.
#include "ui/ui.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Widget.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <vector>

namespace {

constexpr Fl_Labeltype FITTED_IN_BOX = Fl_Labeltype(FL_FREE_LABELTYPE + 1);
constexpr Fl_Labeltype FITTED_IN_WINDOW = Fl_Labeltype(FL_FREE_LABELTYPE + 2);

std::vector<const Fl_Widget *> s_fitted; // the widgets whose labels are fitted

const Fl_Widget *widgetOf(const Fl_Label *label) {
    for (const Fl_Widget *w : s_fitted)
        if (w->label() == label->value)
            return w;
    return nullptr;
}

// The size of `label`'s text that `w` draws it at, from its own down to SMALLEST_LABEL_SIZE.
int sizeFor(const Fl_Widget *w, const char *text, Fl_Font font, int size) {
    int roomW = 0, roomH = 0;
    labelRoom(w, roomW, roomH);
    for (; size > SMALLEST_LABEL_SIZE; --size) {
        fl_font(font, size);
        int textW = 0, textH = 0;
        fl_measure(text, textW, textH);
        if (textW <= roomW && textH <= roomH)
            break;
    }
    return size;
}

void drawFitted(const Fl_Label *label, int x, int y, int w, int h, Fl_Align align) {
    const Fl_Widget *widget = widgetOf(label);
    const int size = widget ? sizeFor(widget, label->value, label->font, label->size) : label->size;
    const int clear = label->type == FITTED_IN_BOX ? 1 : 0; // of the box's frame
    fl_font(label->font, size);
    fl_color(label->color);
    fl_draw(label->value, x + clear, y + clear, w - 2 * clear, h - 2 * clear, align, label->image);
}

void measureFitted(const Fl_Label *label, int &w, int &h) {
    const Fl_Widget *widget = widgetOf(label);
    fl_font(label->font,
            widget ? sizeFor(widget, label->value, label->font, label->size) : label->size);
    w = h = 0;
    fl_measure(label->value, w, h);
}

} // namespace

void labelRoom(const Fl_Widget *w, int &roomW, int &roomH) {
    const Fl_Boxtype box = w->box();
    roomW = w->w() - Fl::box_dw(box);
    roomH = w->h() - Fl::box_dh(box);
    if (roomW > 11 && (w->align() & (FL_ALIGN_LEFT | FL_ALIGN_RIGHT)))
        roomW -= 6; // the toolkit's own margins for a label at a side
    const Fl_Window *window = w->window();
    if (w->labeltype() == FITTED_IN_WINDOW && window != nullptr) {
        roomW = std::max(roomW, window->w() - w->x() - Fl::box_dx(box) - 3);
        roomH = std::max(roomH, window->h() - w->y() - Fl::box_dy(box));
    } else if (w->labeltype() == FITTED_IN_BOX) {
        roomW -= 2; // a unit clear of the box's frame all round
        roomH -= 2;
    }
}

void fitLabel(Fl_Widget *w, LabelRoom room) {
    static bool registered = false;
    if (!registered) {
        Fl::set_labeltype(FITTED_IN_BOX, drawFitted, measureFitted);
        Fl::set_labeltype(FITTED_IN_WINDOW, drawFitted, measureFitted);
        registered = true;
    }
    s_fitted.push_back(w);
    w->labeltype(room == LABEL_IN_WINDOW ? FITTED_IN_WINDOW : FITTED_IN_BOX);
}

int labelSizeFor(const Fl_Widget *w, const char *text) {
    return sizeFor(w, text, w->labelfont(), w->labelsize());
}
