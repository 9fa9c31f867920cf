// SPDX-License-Identifier: MIT
// The numbers AT-SPI2 fixes (at-spi2-core's atspi-constants.h) that norvik uses, each with
// the name the protocol gives it: one table per kind, to be checked against that header.
#ifndef NORVIK_A11Y_ATSPI_H
#define NORVIK_A11Y_ATSPI_H

#include <cstdint>

// Roles, and their names as GetRoleName gives them.
enum Role : uint32_t {
    ROLE_DIALOG = 16,
    ROLE_FRAME = 23,
    ROLE_LABEL = 29,
    ROLE_MENU_ITEM = 35,
    ROLE_POPUP_MENU = 41,
    ROLE_PUSH_BUTTON = 43,
    ROLE_RADIO_BUTTON = 44,
    ROLE_APPLICATION = 75,
};
const char *roleName(uint32_t role);

// States: numbers 0 to 43, each a bit of a state set; their names are those of the
// state-changed events (stateName()).
enum State : int {
    STATE_ACTIVE = 1,
    STATE_CHECKED = 4,
    STATE_ENABLED = 8,
    STATE_FOCUSABLE = 11,
    STATE_FOCUSED = 12,
    STATE_HAS_TOOLTIP = 13,
    STATE_MULTI_LINE = 17,
    STATE_SELECTABLE = 22,
    STATE_SELECTED = 23,
    STATE_SENSITIVE = 24,
    STATE_SHOWING = 25,
    STATE_VISIBLE = 30,
    STATE_CHECKABLE = 41,
    STATE_COUNT = 44,
};
using StateSet = uint64_t;
constexpr StateSet bit(State s) {
    return StateSet(1) << s;
}
const char *stateName(int state); // null for a number AT-SPI has no state for

// Coordinate types of Component and Text requests.
enum Coords : uint32_t { COORDS_SCREEN = 0, COORDS_WINDOW = 1, COORDS_PARENT = 2 };

// The relation of a radio button to its group.
constexpr uint32_t RELATION_MEMBER_OF = 5;

// Text boundaries (AT-SPI's Text.GetTextAtOffset) and granularities (GetStringAtOffset).
enum Boundary : uint32_t { BOUNDARY_CHAR = 0, BOUNDARY_LINE_START = 5 };

#endif
