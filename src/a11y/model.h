// SPDX-License-Identifier: MIT
// norvik's windows and widgets as accessible objects, numbered nodes: what each is, its
// names, role, states, place and text, and what it does when asked. The one layer of the
// bridge that knows the toolkit (model.cpp, and places.cpp for where things are); the D-Bus
// interfaces and the events ask it.
#ifndef NORVIK_A11Y_MODEL_H
#define NORVIK_A11Y_MODEL_H

#include "a11y/atspi.h"
#include "a11y/text_layout.h"

#include <string>
#include <vector>

// The objects: node 0 the application, then the main window, its display and 36 keys in
// reading order, the About window with its text and ok button, the Keyboard Shortcuts
// window with its text, and the popup menu with its items.
enum class Kind { APP, MAIN, ABOUT, SHORTCUTS, DISPLAY, KEY, TEXT, OK, MENU, ITEM };

// Builds the nodes (once the windows exist).
void buildModel();
int nodeCount();
Kind kindOf(int id);
int parentOf(int id); // -1 for the application

// Whether the node is there now (a window while shown, the menu while open), its children
// that are, and its place among its parent's.
bool exists(int id);
std::vector<int> childrenOf(int id);
int indexInParent(int id);

// Where the keyboard focus is: a key, a window, the ok button, a menu item.
int focusedNode();

std::string nameOf(int id);
std::string descriptionOf(int id);
// Whether the node's name or description can change while it is there: the display's and
// the signedness key's only.
bool nameCanChange(int id);
uint32_t roleOf(int id);
StateSet statesOf(int id);
// The members of a radio key's group, listed so that screen readers count the current key
// from the first in reading order (Orca 43 counts them backwards); empty for other nodes.
std::vector<int> groupOf(int id);

// The node's place: on the screen, in its window or in its parent, in logical pixels. On
// Wayland, where no client knows where its windows are, a screen position is (0, 0) and no
// point on the screen is known to be in it.
TextBox extentsOf(int id, uint32_t coords);
bool containsPoint(int id, int x, int y, uint32_t coords);

// The node's one action, "click": a key pressed, ok clicked, a menu item chosen (while the
// menu is open). Queued to the event loop; false where it cannot be done now.
bool hasAction(int id);
bool doAction(int id);
std::string keyBindingOf(int id);
// Puts the keyboard focus on a key, as Tab does; false for anything else.
bool grabFocus(int id);

// The text a screen reader reviews: the words of a window, the display's value as copied.
bool hasText(int id);
std::string textOf(int id);
// Where the node's characters are drawn, in logical pixels of `coords`; for a text that is
// not laid out line by line (the display's), every character is the whole node.
TextBox characterExtents(int id, int offset, uint32_t coords);
TextBox rangeExtents(int id, int start, int end, uint32_t coords);
int offsetAtPoint(int id, int x, int y, uint32_t coords);

// The toolkit's version, "1.4.3".
std::string toolkitVersion();

// For the open popup menu: follows the item it highlights, from the events it gets.
void followMenu(int event);

// Whether anything a look could find changed since the last call: where nothing did, the
// look is spared.
bool modelChanged();

#endif
