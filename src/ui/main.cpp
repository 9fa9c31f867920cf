// SPDX-License-Identifier: MIT
// norvik: a programmer's calculator on 32-bit integers.
#include "ui/ui.h"

#include <FL/Fl.H>

int main(int argc, char **argv) {
#ifdef NORVIK_NO_FONT_THREAD // the tests build norvik without it too, to compare
    startUp(argc, argv, FONTS_WHEN_DRAWN);
#else
    startUp(argc, argv, FONTS_ON_A_THREAD);
#endif
    return Fl::run(); // on one thread
}
