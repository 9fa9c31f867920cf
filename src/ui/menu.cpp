// SPDX-License-Identifier: MIT
// The right-click menu and the two windows it opens: About, built at start-up and hidden,
// and Keyboard Shortcuts, built on first use. Neither is ever destroyed; closing one only
// hides it.
#include "ui/ui.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Window.H>

#include <cstdlib>

Fl_Window *about_window;

static Fl_Window *s_shortcut_window; // null until first asked for

namespace {

// "@@" is how a label shows one "@": a single one would start a symbol name, drawn as a
// symbol at the side of the whole block and the address cut to "norvik".
const char ABOUT_TEXT[] = "norvik 1.1\n"
                          "(for Linux/Unix and MS Windows)\n"
                          "by\n"
                          "The norvik developers\n"
                          "https://norvik.example.org\n"
                          "norvik@@example.org";

// Columns: shortcut from 1, key from 13, description from 21. The blanks are the layout.
const char HELP_TEXT[] = "\n"
                         "norvik 1.1 Keyboard shortcuts\n"
                         "\n"
                         " Shortcuts   Key     Description\n"
                         "==========  ======= ===============================\n"
                         " Shift+h     HEX     Hexadecimal mode\n"
                         " Shift+d     DEC     Decimal mode (default)\n"
                         " Shift+o     OCT     Octal mode\n"
                         " Shift+b     BIN     Binary mode\n"
                         " Shift+u     U       Unsigned mode (default)\n"
                         " Shift+s     S       Signed mode\n"
                         " Ctrl+d      CD      Delete (same as Backspace)\n"
                         " Ctrl+e      CE      Erase All (from screen)\n"
                         " Ctrl+A      CA      Clear All\n"
                         " +-*/       +-*      Add, substract and divide respectively\n"
                         " %           %       Modulus\n"
                         " |           |       Bitwise OR\n"
                         " &           &       Bitwise AND\n"
                         " ^           ^       Bitwise XOR\n"
                         " ~           ~       Bitwise NOT (One's complement)\n"
                         " >           >>      Right Shift\n"
                         " <           <<      Left Shift\n"
                         " =           Enter   commit the operation";

void aboutItemCb(Fl_Widget *, void *) {
    aboutCb();
}
void shortcutItemCb(Fl_Widget *, void *) {
    shortcutCb();
}
void quitItemCb(Fl_Widget *, void *) {
    std::exit(0);
}
void aboutOkCb(Fl_Widget *, void *) {
    about_window->hide();
}

} // namespace

// The trailing blanks widen the menu: keep them.
// clang-format off
Fl_Menu_Item menu_popup_menu[] = {
    // text                             shortcut callback        data     flags type             font          size colour
    {"About           ",                0,       aboutItemCb,    nullptr, 0,    FL_NORMAL_LABEL, FL_HELVETICA, 14,  FL_FOREGROUND_COLOR},
    {"Keyboard Shortcuts          ",    0,       shortcutItemCb, nullptr, 0,    FL_NORMAL_LABEL, FL_HELVETICA, 14,  FL_FOREGROUND_COLOR},
    {"Quit              ",              0,       quitItemCb,     nullptr, 0,    FL_NORMAL_LABEL, FL_HELVETICA, 14,  FL_FOREGROUND_COLOR},
    {nullptr,                           0,       nullptr,        nullptr, 0,    0,               0,            0,   0},
};
// clang-format on

Fl_Window *makeAboutWindow() {
    about_window = new Fl_Window(299, 130, "About norvik");
    Fl_Box *text = new Fl_Box(2, 2, 294, 94, ABOUT_TEXT);
    text->box(FL_THIN_DOWN_BOX);
    text->color(FL_BACKGROUND2_COLOR);
    text->labelfont(FL_COURIER);
    text->labelsize(12);
    text->align(FL_ALIGN_TOP | FL_ALIGN_INSIDE);
    fitLabel(text, LABEL_IN_BOX);
    Fl_Button *ok = new Fl_Button(120, 100, 60, 26, "ok");
    ok->callback(aboutOkCb);
    about_window->end();
    return about_window;
}

void aboutCb() {
    about_window->show();
}

Fl_Window *shortcutWindow() {
    return s_shortcut_window;
}

void shortcutCb() {
    if (!s_shortcut_window) {
        s_shortcut_window = new Fl_Window(480, 360, "norvik Shortcuts");
        s_shortcut_window->color(FL_WHITE);
        Fl_Box *text = new Fl_Box(20, 0, 360, 360, HELP_TEXT);
        text->labelfont(FL_COURIER);
        text->labelsize(12);
        text->align(FL_ALIGN_TOP | FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
        fitLabel(text, LABEL_IN_WINDOW); // the long lines run over the box, as they always did
        s_shortcut_window->resizable(s_shortcut_window);
        s_shortcut_window->end();
    }
    // Centred under the pointer and kept on the screen, every time it is asked for.
    s_shortcut_window->hotspot(s_shortcut_window, 0);
    s_shortcut_window->set_non_modal();
    s_shortcut_window->show();
}
