// SPDX-License-Identifier: MIT
// The radix keys BIN, OCT, DEC and HEX.
#include "ui/ui.h"

void modeButtonsCb(int) {}
