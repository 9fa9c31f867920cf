// SPDX-License-Identifier: MIT
// Inside the model: what its files (model.cpp, the objects; places.cpp, where they are)
// share of the toolkit's side of a node. Not for the layers above.
#ifndef NORVIK_A11Y_MODEL_NODES_H
#define NORVIK_A11Y_MODEL_NODES_H

class Fl_Widget;
class Fl_Window;

// The widget a node stands for now; null for the menu and its items, and for a window not
// built yet.
Fl_Widget *widgetOf(int id);
// The popup menu while it is open, its number of items, and a menu item's place among them.
Fl_Window *openMenu();
int itemCount();
int menuItemOf(int id);

#endif
