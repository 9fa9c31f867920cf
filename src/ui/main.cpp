// SPDX-License-Identifier: MIT
// norvik: a programmer's calculator on 32-bit integers.
#include "ui/ui.h"

#include <FL/Fl.H>

int main(int argc, char **argv) {
    startUp(argc, argv);
    return Fl::run();
}
