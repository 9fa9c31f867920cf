// SPDX-License-Identifier: MIT
// The accessible objects, from the toolkit's windows and widgets: the application, its
// windows (the main window, About, Keyboard Shortcuts, the open popup menu) and what is in
// them. Nothing a screen reader asks changes the calculation but the keys' own action.
#include "a11y/model.h"
#include "a11y/model_nodes.h"
#include "a11y/words.h"
#include "engine/engine.h"
#include "format/display.h"
#include "format/format.h"
#include "format/number_text.h"
#include "ui/ui.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Window.H>

#include <algorithm>
#include <cstdint>

namespace {

struct Node {
    Kind kind;
    int parent;
    Fl_Widget *widget; // what it stands for; the menu and its items have none
    int item;          // a menu item's place in the menu
};
std::vector<Node> s_nodes;
int s_menuItem = -1; // the item the open menu highlights, or -1
bool s_menuWasOpen = false;

Fl_Window *mainWindow() {
    return text_disp->window();
}

bool windowShown(Fl_Window *w) { // not const: FLTK 1.3's shown() is not
    return w != nullptr && w->shown() && w->visible();
}

// The widget of a node, where it can change (the shortcuts window is built on first use).
Fl_Widget *widgetOf(const Node &n) {
    switch (n.kind) {
    case Kind::MAIN:
        return mainWindow();
    case Kind::SHORTCUTS:
        return shortcutWindow();
    case Kind::TEXT:
        if (n.widget == nullptr)
            return shortcutWindow() ? shortcutWindow()->child(0) : nullptr;
        return n.widget;
    default:
        return n.widget;
    }
}

const Node &node(int id) {
    return s_nodes[size_t(id)];
}

std::string menuLabel(int item) {
    std::string label = popup_menu->menu()[item].label();
    return label.substr(0, label.find_last_not_of(' ') + 1); // the blanks only widen it
}

// Queued to the event loop, as a click reaches the key, never run inside a request.
void pressCb(void *widget) {
    auto *w = static_cast<Fl_Widget *>(widget);
    if (w->active_r() && w->visible_r())
        w->do_callback();
}

// A menu item chosen: the menu closes as Escape closes it, and the item does what it does
// once the menu's loop has ended.
void chosenCb(void *item) {
    popup_menu->menu()[intptr_t(item)].do_callback(popup_menu);
}
void closeMenuCb(void *item) {
    if (Fl_Window *menu = openMenu()) {
        const int key = Fl::e_keysym;
        Fl::e_keysym = FL_Escape;
        Fl::handle_(FL_KEYBOARD, menu);
        Fl::e_keysym = key;
        Fl::add_timeout(0, chosenCb, item);
    }
}

} // namespace

Fl_Window *openMenu() {
    Fl_Window *grab = Fl::grab();
    return grab != nullptr && grab->menu_window() ? grab : nullptr;
}

int itemCount() {
    return popup_menu->menu()->size() - 1; // the items, less the terminator
}

Fl_Widget *widgetOf(int id) {
    return widgetOf(node(id));
}

int menuItemOf(int id) {
    return node(id).item;
}

void buildModel() {
    s_nodes = {
        {Kind::APP, -1, nullptr, 0}, {Kind::MAIN, 0, nullptr, 0}, {Kind::DISPLAY, 1, text_disp, 0}};
    for (Fl_Widget *key : readingOrder())
        s_nodes.push_back({Kind::KEY, 1, key, 0});
    const int about = int(s_nodes.size());
    s_nodes.push_back({Kind::ABOUT, 0, about_window, 0});
    s_nodes.push_back({Kind::TEXT, about, about_window->child(0), 0});
    s_nodes.push_back({Kind::OK, about, about_window->child(1), 0});
    const int shortcuts = int(s_nodes.size());
    s_nodes.push_back({Kind::SHORTCUTS, 0, nullptr, 0});
    s_nodes.push_back({Kind::TEXT, shortcuts, nullptr, 0});
    const int menu = int(s_nodes.size());
    s_nodes.push_back({Kind::MENU, 1, nullptr, 0});
    for (int i = 0; i < itemCount(); ++i)
        s_nodes.push_back({Kind::ITEM, menu, nullptr, i});
}

int nodeCount() {
    return int(s_nodes.size());
}
Kind kindOf(int id) {
    return node(id).kind;
}
int parentOf(int id) {
    return node(id).parent;
}

bool exists(int id) {
    if (id < 0 || id >= nodeCount())
        return false;
    const Node &n = node(id);
    switch (n.kind) {
    case Kind::APP:
        return true;
    case Kind::MAIN:
    case Kind::ABOUT:
    case Kind::SHORTCUTS:
        return windowShown(static_cast<Fl_Window *>(widgetOf(n)));
    case Kind::MENU:
    case Kind::ITEM:
        return openMenu() != nullptr;
    default:
        return exists(n.parent) && widgetOf(n) != nullptr;
    }
}

std::vector<int> childrenOf(int id) {
    std::vector<int> children;
    for (int i = 0; i < nodeCount(); ++i)
        if (node(i).parent == id && exists(i))
            children.push_back(i);
    return children;
}

int indexInParent(int id) {
    if (id <= 0)
        return -1;
    const std::vector<int> siblings = childrenOf(node(id).parent);
    const auto at = std::find(siblings.begin(), siblings.end(), id);
    return at == siblings.end() ? -1 : int(at - siblings.begin());
}

int focusedNode() {
    if (openMenu() != nullptr && s_menuItem >= 0)
        return nodeCount() - itemCount() + s_menuItem;
    for (int i = 1; i < nodeCount(); ++i)
        if (widgetOf(node(i)) != nullptr && widgetOf(node(i)) == Fl::focus() && exists(i))
            return i;
    return exists(1) ? 1 : 0;
}

std::string nameOf(int id) {
    const Node &n = node(id);
    Fl_Widget *w = widgetOf(n);
    switch (n.kind) {
    case Kind::APP:
        return "norvik";
    case Kind::DISPLAY: { // worded again only when the value, radix or signedness changed
        static uint64_t s_said = ~uint64_t(0);
        static std::string s_words;
        const uint64_t now =
            uint64_t(displayedValue()) | uint64_t(g_base) << 32 | uint64_t(printsUnsigned()) << 40;
        if (now != s_said) {
            s_said = now;
            s_words = spokenValue(displayedValue(), g_base, printsUnsigned());
        }
        return s_words;
    }
    case Kind::KEY: {
        const char *name = keyName(w->label());
        return name ? name : "";
    }
    case Kind::MENU:
        return "";
    case Kind::ITEM:
        return menuLabel(n.item);
    case Kind::TEXT: { // "@@" is how a label shows one "@"
        std::string text = w->label();
        for (size_t at = 0; (at = text.find("@@", at)) != std::string::npos; ++at)
            text.erase(at, 1);
        return text;
    }
    default:
        return w && w->label() ? w->label() : "";
    }
}

std::string descriptionOf(int id) {
    return node(id).kind == Kind::DISPLAY ? text_disp->tooltip() : "";
}

bool nameCanChange(int id) {
    const Node &n = node(id);
    return n.kind == Kind::DISPLAY || (n.kind == Kind::KEY && n.widget == u_button);
}

uint32_t roleOf(int id) {
    switch (node(id).kind) {
    case Kind::APP:
        return ROLE_APPLICATION;
    case Kind::MAIN:
    case Kind::SHORTCUTS:
        return ROLE_FRAME;
    case Kind::ABOUT:
        return ROLE_DIALOG;
    case Kind::DISPLAY:
    case Kind::TEXT:
        return ROLE_LABEL;
    case Kind::MENU:
        return ROLE_POPUP_MENU;
    case Kind::ITEM:
        return ROLE_MENU_ITEM;
    default: // the radix keys are a group of radio buttons: one of them is on
        return modeKeyRadix(node(id).widget) != 0 ? ROLE_RADIO_BUTTON : ROLE_PUSH_BUTTON;
    }
}

StateSet statesOf(int id) {
    if (!exists(id))
        return 0;
    const Node &n = node(id);
    const Fl_Widget *w = widgetOf(n);
    const Fl_Widget *focus = Fl::focus();
    const bool menu = openMenu() != nullptr;
    StateSet s = bit(STATE_ENABLED) | bit(STATE_SENSITIVE);
    if (n.kind != Kind::APP)
        s |= bit(STATE_VISIBLE) | bit(STATE_SHOWING);
    switch (n.kind) {
    case Kind::MAIN:
    case Kind::ABOUT:
    case Kind::SHORTCUTS:
        if (focus != nullptr && (focus == w || focus->window() == w))
            s |= bit(STATE_ACTIVE);
        if (focus == w)
            s |= bit(STATE_FOCUSABLE) | (menu ? 0 : bit(STATE_FOCUSED));
        break;
    case Kind::KEY: {
        const int base = modeKeyRadix(w);
        if (!w->active_r())
            s &= ~(bit(STATE_ENABLED) | bit(STATE_SENSITIVE));
        else
            s |= bit(STATE_FOCUSABLE);
        if (base != 0)
            s |= bit(STATE_CHECKABLE) | (base == g_base ? bit(STATE_CHECKED) : 0);
        if (focus == w && !menu)
            s |= bit(STATE_FOCUSED);
        break;
    }
    case Kind::OK:
        s |= bit(STATE_FOCUSABLE) | (focus == w ? bit(STATE_FOCUSED) : 0);
        break;
    case Kind::DISPLAY:
        s |= bit(STATE_HAS_TOOLTIP);
        break;
    case Kind::TEXT:
        s |= bit(STATE_MULTI_LINE);
        break;
    case Kind::ITEM:
        s |= bit(STATE_SELECTABLE) | bit(STATE_FOCUSABLE);
        if (n.item == s_menuItem)
            s |= bit(STATE_SELECTED) | bit(STATE_FOCUSED);
        break;
    default:
        break;
    }
    return s;
}

std::vector<int> groupOf(int id) {
    std::vector<int> group;
    if (node(id).kind != Kind::KEY || modeKeyRadix(node(id).widget) == 0)
        return group;
    for (int i = nodeCount() - 1; i > 0; --i) // the last in reading order first
        if (node(i).kind == Kind::KEY && modeKeyRadix(node(i).widget) != 0)
            group.push_back(i);
    return group;
}

bool hasAction(int id) {
    const Kind k = node(id).kind;
    return k == Kind::KEY || k == Kind::OK || k == Kind::ITEM;
}

bool doAction(int id) {
    const Node &n = node(id);
    if (n.kind == Kind::ITEM) {
        if (openMenu() == nullptr)
            return false;
        Fl::add_timeout(0, closeMenuCb, reinterpret_cast<void *>(intptr_t(n.item)));
        return true;
    }
    Fl_Widget *w = n.widget;
    const bool can = w->active_r() && w->visible_r() && openMenu() == nullptr;
    if (can)
        Fl::add_timeout(0, pressCb, w);
    return can;
}

std::string keyBindingOf(int id) {
    const auto *button = dynamic_cast<const Fl_Button *>(node(id).widget);
    return button ? keyBinding(button->shortcut()) : "";
}

bool grabFocus(int id) {
    const Node &n = node(id);
    const bool can = n.kind == Kind::KEY && n.widget->active_r() && openMenu() == nullptr;
    if (can)
        chooseFocus(n.widget);
    return can;
}

bool hasText(int id) {
    const Kind k = node(id).kind;
    return k == Kind::TEXT || k == Kind::DISPLAY;
}

std::string textOf(int id) {
    if (node(id).kind != Kind::DISPLAY)
        return nameOf(id);
    return copyText(displayedValue(), g_base, printsUnsigned()).text; // not the fill and dots
}

std::string toolkitVersion() {
    const int v = Fl::api_version();
    return std::to_string(v / 10000) + "." + std::to_string(v / 100 % 100) + "." +
           std::to_string(v % 100);
}

void followMenu(int event) {
    const int items = itemCount();
    if (event == FL_KEYBOARD) {    // as the toolkit moves: Down from none to the first, Up to
        switch (Fl::event_key()) { // the last; neither past the end
        case FL_Down:
            s_menuItem = s_menuItem < 0 ? 0 : std::min(s_menuItem + 1, items - 1);
            break;
        case FL_Up:
            s_menuItem = s_menuItem < 0 ? items - 1 : std::max(s_menuItem - 1, 0);
            break;
        default:
            break;
        }
    } else if ((event == FL_MOVE || event == FL_DRAG) && Fl::grab() != nullptr) {
        const int y = Fl::event_y_root() - Fl::grab()->y_root();
        const int x = Fl::event_x_root() - Fl::grab()->x_root();
        if (x >= 0 && y >= 0 && x < Fl::grab()->w() && y < Fl::grab()->h())
            s_menuItem = y * items / Fl::grab()->h();
    }
}

namespace {

// Everything a look could find changed, in a few words.
struct Fingerprint {
    unsigned value = 0;
    int base = -1;
    bool isUnsigned = false, about = false, shortcuts = false, tip = false, main = false;
    const Fl_Widget *focus = nullptr;
    const Fl_Window *grab = nullptr;
    const char *sign = nullptr;
    uint64_t active = 0;
    int menuItem = -1;
    bool operator==(const Fingerprint &o) const {
        return value == o.value && base == o.base && isUnsigned == o.isUnsigned &&
               about == o.about && shortcuts == o.shortcuts && tip == o.tip && main == o.main &&
               focus == o.focus && grab == o.grab && sign == o.sign && active == o.active &&
               menuItem == o.menuItem;
    }
};
Fingerprint s_fingerprint;

} // namespace

bool modelChanged() {
    const bool menuOpen = openMenu() != nullptr;
    if (menuOpen != s_menuWasOpen) { // the menu opens at the item it last chose, if any
        s_menuWasOpen = menuOpen;
        const Fl_Menu_Item *picked = popup_menu->mvalue();
        s_menuItem = menuOpen && picked != nullptr ? int(picked - popup_menu->menu()) : -1;
    }
    Fingerprint f;
    f.value = displayedValue();
    f.base = g_base;
    f.isUnsigned = printsUnsigned();
    f.about = windowShown(about_window);
    f.shortcuts = windowShown(shortcutWindow());
    f.main = windowShown(mainWindow());
    f.tip = tooltipShown();
    f.focus = Fl::focus();
    f.grab = Fl::grab();
    f.sign = u_button->label();
    f.menuItem = s_menuItem;
    int key = 0;
    for (const Fl_Widget *k : readingOrder())
        f.active |= uint64_t(k->active_r() ? 1 : 0) << key++;
    const bool changed = !(f == s_fingerprint);
    s_fingerprint = f;
    return changed;
}
