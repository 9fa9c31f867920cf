// SPDX-License-Identifier: MIT
// Stands in for the window when the engine is tested alone: records what it is asked to show,
// and switches the radix as the radix keys do.
#ifndef NORVIK_TESTS_RECORDING_DISPLAY_H
#define NORVIK_TESTS_RECORDING_DISPLAY_H

#include <vector>

struct Shown {
    unsigned int value;
    int base;
};

struct Recording {
    std::vector<Shown> shown;      // every displayNumber call, in order
    std::vector<unsigned> signKey; // every showSignKey call, in order
};

extern Recording g_recording;

#endif
