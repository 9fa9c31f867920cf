// SPDX-License-Identifier: MIT
// The calculator proper: state and the effect of every keypad key on it. Toolkit-free;
// it reaches the screen only through the three outward calls at the end of this file.
#ifndef NORVIK_ENGINE_ENGINE_H
#define NORVIK_ENGINE_ENGINE_H

// Codes the operator and clear keys pass in. 1..10 are the two-operand operations, the
// only codes that can be pending; 15 is unassigned.
constexpr int OPT_ADD = 1;
constexpr int OPT_SUB = 2;
constexpr int OPT_MUL = 3;
constexpr int OPT_DIV = 4;
constexpr int OPT_MOD = 5;
constexpr int OPT_OR = 6;
constexpr int OPT_AND = 7;
constexpr int OPT_XOR = 8;
constexpr int OPT_LSHIFT = 9;
constexpr int OPT_RSHIFT = 10;
constexpr int OPT_CE = 11;
constexpr int OPT_CD = 12;
constexpr int OPT_CA = 13;
constexpr int OPT_EQUAL = 14;
constexpr int OPT_NOT = 16;
constexpr int OPT_SIGN = 17;

// Radix of entry and display: 2, 8, 10 or 16 whenever a key is handled.
extern int g_base;

void numButtonCb(int digit); // digit 0..15
void operCb(int code);       // OPT_ADD..OPT_RSHIFT, OPT_EQUAL, OPT_NOT
void specButtonCb(int code); // OPT_CE, OPT_CD, OPT_CA, OPT_SIGN; others ignored
void backSpaceCb();          // same as OPT_CD
void refreshCb();            // displays the shown value

// A number from outside (a paste) becomes the entry, exactly as if CE and its digits had
// been typed: after "=" it starts a new calculation, and a pending operation stays pending.
void enterValueCb(unsigned int value);

// What the engine calls outside itself: the display (or a test's recording display) and
// the signedness key.
void displayNumber(unsigned int value, int base); // shows `value` in radix `base`
void setUnsigned(unsigned int isUnsigned);        // the formatter reads "d" the same way
void showSignKey(unsigned int isUnsigned);        // the key's label and shortcut for the mode

#endif
