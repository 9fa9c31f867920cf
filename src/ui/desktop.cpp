// SPDX-License-Identifier: MIT
// How the desktop knows norvik: the window class that window managers match with the
// desktop entry, and the window icon shown in task bars (the 32-pixel form of
// data/norvik.svg).
#include "ui/ui.h"

#include <FL/Fl_Pixmap.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Window.H>

namespace {

// clang-format off
static const char *const NORVIK_ICON_XPM[] = {
    "32 32 5 1",
    ". c None",
    "d c #303030",
    "w c #F4F4F4",
    "k c #000000",
    "g c #00C000",
    "...dddddddddddddddddddddddddd...",
    ".dddddddddddddddddddddddddddddd.",
    ".dddddddddddddddddddddddddddddd.",
    "dddwwwwwwwwwwwwwwwwwwwwwwwwwwddd",
    "dddwwwwwwwkkkwwwwwwwwkkkkkwwwddd",
    "dddwwwwwwkwwwkwwwwwwwkwwwwwwwddd",
    "dddwwwwwwkwwkkwkwwwkwkwwwwwwwddd",
    "dddwwwwwwkwkwkwwkwkwwkkkkwwwwddd",
    "dddwwwwwwkkwwkwwwkwwwkwwwwwwwddd",
    "dddwwwwwwkwwwkwwkwkwwkwwwwwwwddd",
    "dddwwwwwwwkkkwwkwwwkwkwwwwwwwddd",
    "dddwwwwwwwwwwwwwwwwwwwwwwwwwwddd",
    "dddwwwwwwwwwwwwwwwwwwwwwwwwwwddd",
    "dddddddddddddddddddddddddddddddd",
    "dddddddddddddddddddddddddddddddd",
    "dddkkkkkddkkkkkddkkkkkddgggggddd",
    "dddkkkkkddkkkkkddkkkkkddgggggddd",
    "dddkkkkkddkkkkkddkkkkkddgggggddd",
    "dddkkkkkddkkkkkddkkkkkddgggggddd",
    "dddddddddddddddddddddddddddddddd",
    "dddkkkkkddkkkkkddkkkkkddkkkkkddd",
    "dddkkkkkddkkkkkddkkkkkddkkkkkddd",
    "dddkkkkkddkkkkkddkkkkkddkkkkkddd",
    "dddkkkkkddkkkkkddkkkkkddkkkkkddd",
    "dddddddddddddddddddddddddddddddd",
    "dddkkkkkddkkkkkddkkkkkddkkkkkddd",
    "dddkkkkkddkkkkkddkkkkkddkkkkkddd",
    "dddkkkkkddkkkkkddkkkkkddkkkkkddd",
    "dddkkkkkddkkkkkddkkkkkddkkkkkddd",
    ".dddddddddddddddddddddddddddddd.",
    ".dddddddddddddddddddddddddddddd.",
    "...dddddddddddddddddddddddddd...",
};
// clang-format on

} // namespace

void setDesktopIdentity() {
    Fl_Window::default_xclass("norvik");
    static const Fl_Pixmap pixmap(NORVIK_ICON_XPM);
    static const Fl_RGB_Image icon(&pixmap);
    Fl_Window::default_icon(&icon);
}
