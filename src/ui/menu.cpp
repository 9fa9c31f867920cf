// SPDX-License-Identifier: MIT
// The right-click menu.
#include "ui/ui.h"

#include <FL/Fl_Menu_Item.H>

Fl_Menu_Item menu_popup_menu[] = {
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
};
