// SPDX-License-Identifier: MIT
// The display widget's side of formatting: the text on the widget, drawn so that it fits,
// and the tooltip with the value in every radix.
#ifndef NORVIK_FORMAT_DISPLAY_H
#define NORVIK_FORMAT_DISPLAY_H

// Puts formatNumber's text on the display and redraws it, and the value in every radix
// in the display's tooltip.
void displayNumber(unsigned int value, int base);

// The value on the display widget: 0 until the first displayNumber(). (The engine's shown
// value is what a redisplay would show; this is what the widget shows now.)
unsigned int displayedValue();

// Has the display's text drawn smaller where it would not fit at its label size, as any
// fitted label (see fitLabel()), through a label type of its own that also flashes.
void fitDisplayLabel();

// Gives the display its tooltip, which displayNumber() keeps up to date.
void showDisplayTooltip();

// Calls `then` once, after the first frame that draws the display.
void afterFirstDraw(void (*then)());

// Flashes the display for a moment: the bell's visible sign. It leaves no trace.
void flashDisplay();

#endif
