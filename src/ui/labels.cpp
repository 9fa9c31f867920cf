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
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr Fl_Labeltype FITTED_IN_BOX = Fl_Labeltype(FL_FREE_LABELTYPE + 1);
constexpr Fl_Labeltype FITTED_IN_WINDOW = Fl_Labeltype(FL_FREE_LABELTYPE + 2);

// How far the ink of a label in a box keeps clear of its frame, in units.
constexpr int CLEARANCE = 1;

// The widgets whose labels are fitted, and how each was last drawn.
struct Fitted {
    const Fl_Widget *widget;
    LabelLayout drawn;
};
std::vector<Fitted> s_fitted;

Fitted *fittedOf(const Fl_Label *label) {
    for (Fitted &f : s_fitted)
        if (f.widget->label() == label->value)
            return &f;
    return nullptr;
}

// What a text takes in the font set now: its lines' width and height, and how far its ink
// rises above its first line and sinks below its last (some fonts' glyphs reach past their
// ascent or descent).
struct Block {
    int w = 0, h = 0, rise = 0, sink = 0;
};
Block blockOf(const char *text) {
    Block b;
    fl_measure(text, b.w, b.h);
    const char *firstEnd = std::strchr(text, '\n');
    const char *lastStart = std::strrchr(text, '\n');
    const int baseline = fl_height() - fl_descent(); // below a line's top
    int dx = 0, dy = 0, w = 0, h = 0;
    const std::string first(text, firstEnd ? firstEnd - text : std::strlen(text));
    fl_text_extents(first.c_str(), dx, dy, w, h);
    b.rise = std::max(0, -(baseline + dy));
    if (lastStart != nullptr) // a text of one line (the display's) is measured once
        fl_text_extents(lastStart + 1, dx, dy, w, h);
    b.sink = std::max(0, baseline + dy + h - fl_height());
    return b;
}

// The size `w` draws `text` at, from `size` down to SMALLEST_LABEL_SIZE: the largest at
// which it fits its room, ink and all; `block` is what the text takes at that size, and the
// font is left set to it.
int sizeFor(const Fl_Widget *w, const char *text, Fl_Font font, int size, Block &block) {
    int roomW = 0, roomH = 0;
    labelRoom(w, roomW, roomH);
    for (;; --size) {
        fl_font(font, size);
        block = blockOf(text);
        if (size <= SMALLEST_LABEL_SIZE ||
            (block.w <= roomW && block.h + block.rise + block.sink <= roomH))
            return size;
    }
}

// Where and how large a fitted label's text is laid out in the area (x, y, w, h) the
// toolkit gives it, in the font set now: in a box, its ink clear of the frame.
LabelLayout layOut(const Fl_Widget *widget, const Fl_Label &label, int x, int y, int w, int h) {
    LabelLayout l;
    Block b;
    l.size = sizeFor(widget, label.value, label.font, label.size, b);
    l.lineHeight = fl_height();
    l.charWidth = fl_width('M');
    const bool boxed = label.type == FITTED_IN_BOX;
    const int top = boxed ? CLEARANCE + b.rise : 0, bottom = boxed ? CLEARANCE + b.sink : 0;
    const int side = boxed ? CLEARANCE : 0;
    l.x = x + side;
    l.y = y + top;
    l.w = w - 2 * side;
    l.h = h - top - bottom;
    return l;
}

void drawFitted(const Fl_Label *label, int x, int y, int w, int h, Fl_Align align) {
    Fitted *f = fittedOf(label);
    if (f == nullptr)
        return;
    const LabelLayout l = f->drawn = layOut(f->widget, *label, x, y, w, h);
    fl_color(label->color);
    fl_draw(label->value, l.x, l.y, l.w, l.h, align, label->image);
}

void measureFitted(const Fl_Label *label, int &w, int &h) {
    const Fitted *f = fittedOf(label);
    Block b;
    if (f != nullptr)
        sizeFor(f->widget, label->value, label->font, label->size, b);
    else {
        fl_font(label->font, label->size);
        fl_measure(label->value, b.w, b.h);
    }
    w = b.w;
    h = b.h;
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
        roomW -= 2 * CLEARANCE;
        roomH -= 2 * CLEARANCE;
    }
}

void fitLabel(Fl_Widget *w, LabelRoom room) {
    static bool registered = false;
    if (!registered) {
        Fl::set_labeltype(FITTED_IN_BOX, drawFitted, measureFitted);
        Fl::set_labeltype(FITTED_IN_WINDOW, drawFitted, measureFitted);
        registered = true;
    }
    s_fitted.push_back({w, {}});
    w->labeltype(room == LABEL_IN_WINDOW ? FITTED_IN_WINDOW : FITTED_IN_BOX);
}

LabelLayout labelLayout(const Fl_Widget *w) {
    for (const Fitted &f : s_fitted) {
        if (f.widget != w)
            continue;
        if (f.drawn.size > 0)
            return f.drawn;
        Fl_Label label{}; // not drawn yet: as it would be, where the toolkit would put it
        label.value = w->label();
        label.font = w->labelfont();
        label.size = w->labelsize();
        label.type = w->labeltype();
        return layOut(w, label, w->x() + Fl::box_dx(w->box()), w->y() + Fl::box_dy(w->box()),
                      w->w() - Fl::box_dw(w->box()), w->h() - Fl::box_dh(w->box()));
    }
    return LabelLayout{};
}

int labelSizeFor(const Fl_Widget *w, const char *text) {
    Block b;
    return sizeFor(w, text, w->labelfont(), w->labelsize(), b);
}
