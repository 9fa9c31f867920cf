// SPDX-License-Identifier: MIT
#include "recording_display.h"
#include "engine/engine.h"

Recording g_recording;

void displayNumber(unsigned int value, int base) {
    g_recording.shown.push_back({value, base});
}

void showSignKey(unsigned int isUnsigned) {
    g_recording.signKey.push_back(isUnsigned);
}

// The radix switch as the engine sees it: the radix stored, the shown value redisplayed.
void modeButtonsCb(int base) {
    g_base = base;
    refreshCb();
}
