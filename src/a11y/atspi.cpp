// SPDX-License-Identifier: MIT
// The names of the AT-SPI2 numbers norvik uses: roles as GetRoleName gives them, states as
// state-changed events name them.
#include "a11y/atspi.h"

namespace {

const struct {
    uint32_t role;
    const char *name;
} ROLES[] = {
    {ROLE_DIALOG, "dialog"},
    {ROLE_FRAME, "frame"},
    {ROLE_LABEL, "label"},
    {ROLE_MENU_ITEM, "menu item"},
    {ROLE_POPUP_MENU, "popup menu"},
    {ROLE_PUSH_BUTTON, "push button"},
    {ROLE_RADIO_BUTTON, "radio button"},
    {ROLE_APPLICATION, "application"},
};

// In the order of AtspiStateType, from 0.
const char *const STATES[STATE_COUNT] = {
    "invalid",         "active",
    "armed",           "busy",
    "checked",         "collapsed",
    "defunct",         "editable",
    "enabled",         "expandable",
    "expanded",        "focusable",
    "focused",         "has-tooltip",
    "horizontal",      "iconified",
    "modal",           "multi-line",
    "multiselectable", "opaque",
    "pressed",         "resizable",
    "selectable",      "selected",
    "sensitive",       "showing",
    "single-line",     "stale",
    "transient",       "vertical",
    "visible",         "manages-descendants",
    "indeterminate",   "required",
    "truncated",       "animated",
    "invalid-entry",   "supports-autocompletion",
    "selectable-text", "is-default",
    "visited",         "checkable",
    "has-popup",       "read-only",
};

} // namespace

const char *roleName(uint32_t role) {
    for (const auto &r : ROLES)
        if (r.role == role)
            return r.name;
    return "unknown";
}

const char *stateName(int state) {
    return state > 0 && state < STATE_COUNT ? STATES[state] : nullptr;
}
