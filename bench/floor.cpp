// SPDX-License-Identifier: MIT
// The floor: the least an FLTK program of norvik's shape can cost. A 303 x 139 window, one
// box in norvik's display font (bold, size 10) and 36 buttons with size-10 labels and
// shortcuts, whose callbacks do 32-bit arithmetic and relabel the box. Nothing else: no
// formatting, no menu, no second window, and the toolkit's start-up as it comes.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>

#include <cstdint>
#include <cstdio>

static Fl_Box *s_box;
static uint32_t s_value;
static char s_text[16];

static void keyCb(Fl_Widget *, void *data) {
    const long key = reinterpret_cast<long>(data);
    s_value = key < 16 ? s_value * 10u + uint32_t(key) : s_value + uint32_t(key) * 7u;
    std::snprintf(s_text, sizeof s_text, "%u", s_value);
    s_box->label(s_text);
    s_box->redraw();
}

int main(int argc, char **argv) {
    const char shortcuts[] = "0123456789abcdef+-*/%|&^<>=~uhdobsea";
    Fl_Window *window = new Fl_Window(303, 139, "floor");
    s_box = new Fl_Box(2, 5, 300, 27, "0");
    s_box->box(FL_DOWN_BOX);
    s_box->align(FL_ALIGN_RIGHT | FL_ALIGN_INSIDE);
    s_box->labelfont(FL_HELVETICA_BOLD); // a second font: what norvik's display costs
    s_box->labelsize(10);
    for (long i = 0; i < 36; ++i) {
        static char labels[36][2];
        labels[i][0] = shortcuts[i];
        Fl_Button *b = new Fl_Button(2 + int(i % 9) * 33, 35 + int(i / 9) * 26, 30, 25, labels[i]);
        b->labelsize(10);
        b->shortcut(i == 35 ? FL_Enter : shortcuts[i]);
        b->callback(keyCb, reinterpret_cast<void *>(i));
    }
    window->end();
    window->show(argc, argv);
    return Fl::run();
}
