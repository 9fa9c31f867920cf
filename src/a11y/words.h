// SPDX-License-Identifier: MIT
// What a screen reader says for norvik: the value as a person says it, the keys' names and
// their keyboard shortcuts as AT-SPI writes them. Toolkit-free.
#ifndef NORVIK_A11Y_WORDS_H
#define NORVIK_A11Y_WORDS_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The value as a person says it, without the display's separators and fill: decimal
// digits ("4294967295", in signed mode "minus 2"), or the radix and then its digits one by
// one in groups of four ("hex D E A D, B E E F", "octal 1 7", "binary 1 0 1").
std::string spokenValue(uint32_t value, int base, bool isUnsigned);

// The spoken name of the key labelled `label`: digits and A to F as themselves, words for
// the others ("plus", "shift left", "clear entry", "hexadecimal"); for the signedness key
// ("U" or "S") the mode in force and what pressing it does. Null for no key's label.
const char *keyName(const char *label);

// Whether the Announcement event, rather than a change of the focused object's
// description, says a value to the screen readers listening. `registered` is the
// registry's list of (bus name, event) pairs, events matched as the registry matches them,
// by prefix and in either case ("object:" is every object event). Announcements, where a
// client listens for them and every client that listens for description changes (the way
// screen readers that know no announcements are told) listens for them too: a second
// tool listening for either changes nothing for the screen reader.
bool announcementsHeard(const std::vector<std::pair<std::string, std::string>> &registered);

// A toolkit shortcut (a key code with FL_SHIFT or FL_CTRL) as AT-SPI's key binding,
// "mnemonic;path;accelerator": ";;<Control>a", ";;plus". Empty for none.
std::string keyBinding(int shortcut);

#endif
