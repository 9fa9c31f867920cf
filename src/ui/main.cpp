// SPDX-License-Identifier: MIT
// norvik: a programmer's calculator on 32-bit integers.
#include "ui/ui.h"

#include <FL/Fl.H>

int main(int argc, char **argv) {
#ifndef NORVIK_NO_FONT_THREAD // the tests build norvik without it too, to compare
    startLoadingFonts();      // while the display is opened and the window built and shown
#endif
    startUp(argc, argv);
    fontsLoaded(); // one thread from here on
    return Fl::run();
}
