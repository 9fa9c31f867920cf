// SPDX-License-Identifier: MIT
// The accessible objects: the application, its windows (the main window, About, Keyboard
// Shortcuts, the open popup menu) and what is in them, as the AT-SPI2 interfaces Accessible,
// Application, Component and Action present them; and the events that report what changed.
// Every request is checked: an unknown path is an unknown object, a wrong argument an error
// reply, and nothing a client asks for changes the calculation but the keys' own action.
#include "a11y/tree.h"
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
#include <systemd/sd-bus.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr char PREFIX[] = "/org/a11y/atspi/accessible";
constexpr char ROOT_PATH[] = "/org/a11y/atspi/accessible/root";
constexpr char NULL_PATH[] = "/org/a11y/atspi/null";

// Roles and states as AT-SPI2 numbers them.
enum Role : uint32_t {
    DIALOG = 16,
    FRAME = 23,
    LABEL = 29,
    MENU_ITEM = 35,
    POPUP_MENU = 41,
    PUSH_BUTTON = 43,
    APPLICATION = 75,
};
const char *roleName(uint32_t role) {
    switch (role) {
    case DIALOG:
        return "dialog";
    case FRAME:
        return "frame";
    case LABEL:
        return "label";
    case MENU_ITEM:
        return "menu item";
    case POPUP_MENU:
        return "popup menu";
    case PUSH_BUTTON:
        return "push button";
    default:
        return "application";
    }
}

enum State : int {
    ACTIVE = 1,
    CHECKED = 4,
    ENABLED = 8,
    FOCUSABLE = 11,
    FOCUSED = 12,
    HAS_TOOLTIP = 13,
    MULTI_LINE = 17,
    SELECTABLE = 22,
    SELECTED = 23,
    SENSITIVE = 24,
    SHOWING = 25,
    VISIBLE = 30,
    CHECKABLE = 41,
};
// The states whose changes are reported, with the names events give them.
const struct {
    State state;
    const char *name;
} REPORTED[] = {
    {ENABLED, "enabled"}, {SENSITIVE, "sensitive"}, {CHECKED, "checked"}, {SHOWING, "showing"},
    {VISIBLE, "visible"}, {SELECTED, "selected"},   {ACTIVE, "active"},   {FOCUSED, "focused"},
};
constexpr uint64_t bit(State s) {
    return uint64_t(1) << s;
}

// One accessible object. Its number is its place in s_nodes and the last part of its path.
enum Kind { APP, MAIN, ABOUT, SHORTCUTS, DISPLAY, KEY, TEXT, OK, MENU, ITEM };
struct Node {
    Kind kind;
    int parent;
    Fl_Widget *widget; // what it stands for; the menu and its items have none
    int item;          // a menu item's place in the menu
};
std::vector<Node> s_nodes;

// What a look saw of each object, to be compared with the next look.
struct Seen {
    bool exists = false;
    std::string name, description;
    uint64_t states = 0;
};
std::vector<Seen> s_seen;
std::string s_desktopBus, s_desktopPath = NULL_PATH;
std::string s_spokenDescription; // for a moment, the focused object's description
int s_menuItem = -1;             // the item the open menu highlights, or -1
bool s_menuWasOpen = false;
bool s_tipWasShown = false;

// ---- the tree

Fl_Window *mainWindow() {
    return text_disp->window();
}

Fl_Window *windowOf(const Node &n) {
    switch (n.kind) {
    case MAIN:
        return mainWindow();
    case ABOUT:
        return about_window;
    case SHORTCUTS:
        return shortcutWindow();
    default:
        return nullptr;
    }
}

bool windowShown(Fl_Window *w) {
    return w != nullptr && w->shown() && w->visible();
}

Fl_Window *openMenu() {
    Fl_Window *grab = Fl::grab();
    return grab != nullptr && grab->menu_window() ? grab : nullptr;
}

int itemCount() {
    return popup_menu->menu()->size() - 1; // the items, less the terminator
}

void buildTree() {
    s_nodes = {{APP, -1, nullptr, 0}, {MAIN, 0, nullptr, 0}, {DISPLAY, 1, text_disp, 0}};
    for (Fl_Widget *key : readingOrder())
        s_nodes.push_back({KEY, 1, key, 0});
    const int about = int(s_nodes.size());
    s_nodes.push_back({ABOUT, 0, about_window, 0});
    s_nodes.push_back({TEXT, about, about_window->child(0), 0});
    s_nodes.push_back({OK, about, about_window->child(1), 0});
    const int shortcuts = int(s_nodes.size());
    s_nodes.push_back({SHORTCUTS, 0, nullptr, 0});
    s_nodes.push_back({TEXT, shortcuts, nullptr, 0});
    const int menu = int(s_nodes.size());
    s_nodes.push_back({MENU, 1, nullptr, 0});
    for (int i = 0; i < itemCount(); ++i)
        s_nodes.push_back({ITEM, menu, nullptr, i});
    s_seen.assign(s_nodes.size(), Seen());
}

// The widget of a node, where it can change (the shortcuts window is built on first use).
Fl_Widget *widgetOf(const Node &n) {
    if (n.kind == SHORTCUTS)
        return shortcutWindow();
    if (n.kind == TEXT && n.widget == nullptr)
        return shortcutWindow() ? shortcutWindow()->child(0) : nullptr;
    if (n.kind == MAIN)
        return mainWindow();
    return n.widget;
}

// Whether the object is there now: windows while shown, the menu while open.
bool exists(int id) {
    if (id < 0 || id >= int(s_nodes.size()))
        return false;
    const Node &n = s_nodes[size_t(id)];
    switch (n.kind) {
    case APP:
        return true;
    case MAIN:
    case ABOUT:
    case SHORTCUTS:
        return windowShown(windowOf(n));
    case MENU:
    case ITEM:
        return openMenu() != nullptr;
    default:
        return exists(n.parent) && widgetOf(n) != nullptr;
    }
}

std::vector<int> childrenOf(int id) {
    std::vector<int> children;
    for (size_t i = 0; i < s_nodes.size(); ++i)
        if (s_nodes[i].parent == id && exists(int(i)))
            children.push_back(int(i));
    return children;
}

std::string pathOf(int id) {
    return id == 0 ? ROOT_PATH : std::string(PREFIX) + "/" + std::to_string(id);
}

int idOf(const char *path) {
    if (std::strcmp(path, ROOT_PATH) == 0)
        return 0;
    const size_t prefix = sizeof PREFIX - 1;
    if (std::strncmp(path, PREFIX, prefix) != 0 || path[prefix] != '/' || path[prefix + 1] == '0')
        return -1;
    char *end = nullptr;
    errno = 0;
    const long id = std::strtol(path + prefix + 1, &end, 10);
    const bool number = errno == 0 && *end == '\0' && end != path + prefix + 1;
    return number && id > 0 && id < long(s_nodes.size()) && exists(int(id)) ? int(id) : -1;
}

// Where the keyboard focus is, as a node: a key, a window, the ok button, a menu item.
int focusedNode() {
    if (openMenu() != nullptr && s_menuItem >= 0)
        return int(s_nodes.size()) - itemCount() + s_menuItem;
    for (size_t i = 1; i < s_nodes.size(); ++i)
        if (widgetOf(s_nodes[i]) != nullptr && widgetOf(s_nodes[i]) == Fl::focus() &&
            exists(int(i)))
            return int(i);
    return exists(1) ? 1 : 0;
}

// ---- what an object is

std::string menuLabel(int item) {
    std::string label = popup_menu->menu()[item].label();
    return label.substr(0, label.find_last_not_of(' ') + 1); // the blanks only widen it
}

std::string nameOf(int id) {
    const Node &n = s_nodes[size_t(id)];
    Fl_Widget *w = widgetOf(n);
    switch (n.kind) {
    case APP:
        return "norvik";
    case DISPLAY: { // worded again only when the value, radix or signedness changed
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
    case KEY: {
        const char *name = keyName(w->label());
        return name ? name : "";
    }
    case MENU:
        return "";
    case ITEM:
        return menuLabel(n.item);
    case TEXT: { // "@@" is how a label shows one "@"
        std::string text = w->label();
        for (size_t at = 0; (at = text.find("@@", at)) != std::string::npos; ++at)
            text.erase(at, 1);
        return text;
    }
    default:
        return w->label() ? w->label() : "";
    }
}

std::string descriptionOf(int id) {
    if (!s_spokenDescription.empty() && id == focusedNode())
        return s_spokenDescription;
    return s_nodes[size_t(id)].kind == DISPLAY ? text_disp->tooltip() : "";
}

uint32_t roleOf(int id) {
    switch (s_nodes[size_t(id)].kind) {
    case APP:
        return APPLICATION;
    case MAIN:
    case SHORTCUTS:
        return FRAME;
    case ABOUT:
        return DIALOG;
    case DISPLAY:
    case TEXT:
        return LABEL;
    case MENU:
        return POPUP_MENU;
    case ITEM:
        return MENU_ITEM;
    default:
        return PUSH_BUTTON;
    }
}

uint64_t statesOf(int id) {
    if (!exists(id))
        return 0;
    const Node &n = s_nodes[size_t(id)];
    Fl_Widget *w = widgetOf(n);
    uint64_t s = bit(ENABLED) | bit(SENSITIVE);
    if (n.kind != APP)
        s |= bit(VISIBLE) | bit(SHOWING);
    switch (n.kind) {
    case MAIN:
    case ABOUT:
    case SHORTCUTS: {
        Fl_Widget *focus = Fl::focus();
        if (focus != nullptr && (focus == w || focus->window() == w))
            s |= bit(ACTIVE);
        if (focus == w)
            s |= bit(FOCUSABLE) | bit(FOCUSED);
        break;
    }
    case KEY: {
        const int base = modeKeyRadix(w);
        if (!w->active_r())
            s &= ~(bit(ENABLED) | bit(SENSITIVE));
        else
            s |= bit(FOCUSABLE);
        if (base != 0)
            s |= bit(CHECKABLE) | (base == g_base ? bit(CHECKED) : 0);
        if (Fl::focus() == w && openMenu() == nullptr)
            s |= bit(FOCUSED);
        break;
    }
    case OK:
        s |= bit(FOCUSABLE) | (Fl::focus() == w ? bit(FOCUSED) : 0);
        break;
    case DISPLAY:
        s |= bit(HAS_TOOLTIP);
        break;
    case TEXT:
        s |= bit(MULTI_LINE);
        break;
    case ITEM:
        s |= bit(SELECTABLE) | bit(FOCUSABLE);
        if (n.item == s_menuItem)
            s |= bit(SELECTED) | bit(FOCUSED);
        break;
    default:
        break;
    }
    return s;
}

// The object's place on the screen (0), in its window (1) or in its parent (2), in pixels.
void extentsOf(int id, uint32_t coords, int &x, int &y, int &w, int &h) {
    x = y = w = h = 0;
    const Node &n = s_nodes[size_t(id)];
    Fl_Window *window = n.kind == MENU || n.kind == ITEM ? openMenu() : nullptr;
    Fl_Widget *widget = window ? window : widgetOf(n);
    if (widget == nullptr)
        return;
    if (window == nullptr)
        window = widget->as_window() ? widget->as_window() : widget->window();
#if FL_API_VERSION >= 10400
    const float scale = Fl::screen_scale(window->screen_num());
#else
    const float scale = 1;
#endif
    const bool whole = widget == window;
    int X = whole ? 0 : widget->x(), Y = whole ? 0 : widget->y();
    int W = widget->w(), H = widget->h();
    if (n.kind == ITEM) { // equally high items
        H = window->h() / itemCount();
        Y = H * n.item;
    }
    if (coords == 0) { // the screen
        X += window->x_root();
        Y += window->y_root();
    }
    x = int(X * scale);
    y = int(Y * scale);
    w = int(W * scale);
    h = int(H * scale);
}

bool hasAction(int id) {
    const Kind k = s_nodes[size_t(id)].kind;
    return k == KEY || k == OK;
}
// The text a screen reader reviews: the words of a window, the display's value as copied.
bool hasText(int id) {
    const Kind k = s_nodes[size_t(id)].kind;
    return k == TEXT || k == DISPLAY;
}
std::string textOf(int id) {
    if (s_nodes[size_t(id)].kind != DISPLAY)
        return nameOf(id);
    return copyText(displayedValue(), g_base, printsUnsigned()).text; // not the fill and dots
}

// ---- replies

// norvik's own name on the bus, the first half of a reference to one of its objects.
const char *uniqueName(sd_bus *bus) {
    const char *name = nullptr;
    return sd_bus_get_unique_name(bus, &name) >= 0 && name != nullptr ? name : "";
}

int replyRef(sd_bus_message *m, int id) {
    if (id < 0)
        return sd_bus_reply_method_return(m, "(so)", "", NULL_PATH);
    return sd_bus_reply_method_return(m, "(so)", uniqueName(sd_bus_message_get_bus(m)),
                                      pathOf(id).c_str());
}

int idFrom(void *userdata) {
    return int(reinterpret_cast<intptr_t>(userdata)) - 1;
}

int invalid(sd_bus_error *error, const char *what) {
    return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, what);
}

// Accessible

int getName(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply,
            void *userdata, sd_bus_error *) {
    return sd_bus_message_append(reply, "s", nameOf(idFrom(userdata)).c_str());
}
int getDescription(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply,
                   void *userdata, sd_bus_error *) {
    return sd_bus_message_append(reply, "s", descriptionOf(idFrom(userdata)).c_str());
}
int getParent(sd_bus *bus, const char *, const char *, const char *, sd_bus_message *reply,
              void *userdata, sd_bus_error *) {
    const int id = idFrom(userdata);
    if (id == 0)
        return sd_bus_message_append(reply, "(so)", s_desktopBus.c_str(), s_desktopPath.c_str());
    return sd_bus_message_append(reply, "(so)", uniqueName(bus),
                                 pathOf(s_nodes[size_t(id)].parent).c_str());
}
int getChildCount(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply,
                  void *userdata, sd_bus_error *) {
    return sd_bus_message_append(reply, "i", int(childrenOf(idFrom(userdata)).size()));
}
int getLocale(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply, void *,
              sd_bus_error *) {
    return sd_bus_message_append(reply, "s", "C");
}
int getAccessibleId(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply,
                    void *userdata, sd_bus_error *) {
    return sd_bus_message_append(reply, "s", std::to_string(idFrom(userdata)).c_str());
}

int childAtIndex(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    int index = 0;
    const int r = sd_bus_message_read(m, "i", &index);
    if (r < 0)
        return r;
    const std::vector<int> children = childrenOf(idFrom(userdata));
    if (index < 0 || index >= int(children.size()))
        return invalid(error, "no child at that index");
    return replyRef(m, children[size_t(index)]);
}

int getChildren(sd_bus_message *m, void *userdata, sd_bus_error *) {
    sd_bus_message *reply = nullptr;
    int r = sd_bus_message_new_method_return(m, &reply);
    const char *name = uniqueName(sd_bus_message_get_bus(m));
    if (r >= 0)
        r = sd_bus_message_open_container(reply, 'a', "(so)");
    for (int child : childrenOf(idFrom(userdata)))
        if (r >= 0)
            r = sd_bus_message_append(reply, "(so)", name, pathOf(child).c_str());
    if (r >= 0)
        r = sd_bus_message_close_container(reply);
    if (r >= 0)
        r = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return r;
}

int getIndexInParent(sd_bus_message *m, void *userdata, sd_bus_error *) {
    const int id = idFrom(userdata);
    int index = -1;
    if (id > 0) {
        const std::vector<int> siblings = childrenOf(s_nodes[size_t(id)].parent);
        for (size_t i = 0; i < siblings.size(); ++i)
            if (siblings[i] == id)
                index = int(i);
    }
    return sd_bus_reply_method_return(m, "i", index);
}

int getRelationSet(sd_bus_message *m, void *, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "a(ua(so))", 0);
}
int getRole(sd_bus_message *m, void *userdata, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "u", roleOf(idFrom(userdata)));
}
int getRoleName(sd_bus_message *m, void *userdata, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "s", roleName(roleOf(idFrom(userdata))));
}
int getState(sd_bus_message *m, void *userdata, sd_bus_error *) {
    const uint64_t s = statesOf(idFrom(userdata));
    return sd_bus_reply_method_return(m, "au", 2, uint32_t(s), uint32_t(s >> 32));
}
int getAttributes(sd_bus_message *m, void *userdata, sd_bus_error *) {
    if (idFrom(userdata) == 0)
        return sd_bus_reply_method_return(m, "a{ss}", 1, "toolkit", "FLTK");
    return sd_bus_reply_method_return(m, "a{ss}", 0);
}
int getApplication(sd_bus_message *m, void *, sd_bus_error *) {
    return replyRef(m, 0);
}

int getInterfaces(sd_bus_message *m, void *userdata, sd_bus_error *) {
    const int id = idFrom(userdata);
    const char *const accessible = "org.a11y.atspi.Accessible";
    const char *const component = "org.a11y.atspi.Component";
    if (id == 0)
        return sd_bus_reply_method_return(m, "as", 2, accessible, "org.a11y.atspi.Application");
    if (hasAction(id))
        return sd_bus_reply_method_return(m, "as", 3, accessible, component,
                                          "org.a11y.atspi.Action");
    if (hasText(id))
        return sd_bus_reply_method_return(m, "as", 3, accessible, component, "org.a11y.atspi.Text");
    return sd_bus_reply_method_return(m, "as", 2, accessible, component);
}

const sd_bus_vtable ACCESSIBLE[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Name", "s", getName, 0, 0),
    SD_BUS_PROPERTY("Description", "s", getDescription, 0, 0),
    SD_BUS_PROPERTY("Parent", "(so)", getParent, 0, 0),
    SD_BUS_PROPERTY("ChildCount", "i", getChildCount, 0, 0),
    SD_BUS_PROPERTY("Locale", "s", getLocale, 0, 0),
    SD_BUS_PROPERTY("AccessibleId", "s", getAccessibleId, 0, 0),
    SD_BUS_METHOD("GetChildAtIndex", "i", "(so)", childAtIndex, 0),
    SD_BUS_METHOD("GetChildren", "", "a(so)", getChildren, 0),
    SD_BUS_METHOD("GetIndexInParent", "", "i", getIndexInParent, 0),
    SD_BUS_METHOD("GetRelationSet", "", "a(ua(so))", getRelationSet, 0),
    SD_BUS_METHOD("GetRole", "", "u", getRole, 0),
    SD_BUS_METHOD("GetRoleName", "", "s", getRoleName, 0),
    SD_BUS_METHOD("GetLocalizedRoleName", "", "s", getRoleName, 0),
    SD_BUS_METHOD("GetState", "", "au", getState, 0),
    SD_BUS_METHOD("GetAttributes", "", "a{ss}", getAttributes, 0),
    SD_BUS_METHOD("GetApplication", "", "(so)", getApplication, 0),
    SD_BUS_METHOD("GetInterfaces", "", "as", getInterfaces, 0),
    SD_BUS_VTABLE_END};

// Application

int s_applicationId = 0;

int getToolkit(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply, void *,
               sd_bus_error *) {
    return sd_bus_message_append(reply, "s", "FLTK");
}
int getVersion(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply, void *,
               sd_bus_error *) {
    const int v = Fl::api_version();
    const std::string version = std::to_string(v / 10000) + "." + std::to_string(v / 100 % 100) +
                                "." + std::to_string(v % 100);
    return sd_bus_message_append(reply, "s", version.c_str());
}
int getAtspiVersion(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply,
                    void *, sd_bus_error *) {
    return sd_bus_message_append(reply, "s", "2.1");
}
int getId(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply, void *,
          sd_bus_error *) {
    return sd_bus_message_append(reply, "i", s_applicationId);
}
int setId(sd_bus *, const char *, const char *, const char *, sd_bus_message *value, void *,
          sd_bus_error *) {
    return sd_bus_message_read(value, "i", &s_applicationId);
}
int getAppLocale(sd_bus_message *m, void *, sd_bus_error *) {
    uint32_t category = 0;
    const int r = sd_bus_message_read(m, "u", &category);
    return r < 0 ? r : sd_bus_reply_method_return(m, "s", "C");
}
int getBusAddress(sd_bus_message *m, void *, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "s", "");
}

const sd_bus_vtable APPLICATION_VTABLE[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("ToolkitName", "s", getToolkit, 0, 0),
    SD_BUS_PROPERTY("Version", "s", getVersion, 0, 0),
    SD_BUS_PROPERTY("ToolkitVersion", "s", getVersion, 0, 0),
    SD_BUS_PROPERTY("AtspiVersion", "s", getAtspiVersion, 0, 0),
    SD_BUS_WRITABLE_PROPERTY("Id", "i", getId, setId, 0, 0),
    SD_BUS_METHOD("GetLocale", "u", "s", getAppLocale, 0),
    SD_BUS_METHOD("GetApplicationBusAddress", "", "s", getBusAddress, 0),
    SD_BUS_VTABLE_END};

// Component

// A request's coordinate type (0, 1 or 2), and before it a point where `x` is given.
bool readCoords(sd_bus_message *m, uint32_t &coords, int *x = nullptr, int *y = nullptr) {
    if (x != nullptr && sd_bus_message_read(m, "ii", x, y) < 0)
        return false;
    return sd_bus_message_read(m, "u", &coords) >= 0 && coords <= 2;
}

int getExtents(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    uint32_t coords = 0;
    if (!readCoords(m, coords))
        return invalid(error, "coordinate type 0, 1 or 2");
    int x, y, w, h;
    extentsOf(idFrom(userdata), coords, x, y, w, h);
    return sd_bus_reply_method_return(m, "(iiii)", x, y, w, h);
}
int getPosition(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    uint32_t coords = 0;
    if (!readCoords(m, coords))
        return invalid(error, "coordinate type 0, 1 or 2");
    int x, y, w, h;
    extentsOf(idFrom(userdata), coords, x, y, w, h);
    return sd_bus_reply_method_return(m, "ii", x, y);
}
int getSize(sd_bus_message *m, void *userdata, sd_bus_error *) {
    int x, y, w, h;
    extentsOf(idFrom(userdata), 0, x, y, w, h);
    return sd_bus_reply_method_return(m, "ii", w, h);
}
bool inside(int id, int x, int y, uint32_t coords) {
    int X, Y, W, H;
    extentsOf(id, coords, X, Y, W, H);
    return x >= X && y >= Y && x < X + W && y < Y + H;
}
int contains(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    int x = 0, y = 0;
    uint32_t coords = 0;
    if (!readCoords(m, coords, &x, &y))
        return invalid(error, "x, y and a coordinate type 0, 1 or 2");
    return sd_bus_reply_method_return(m, "b", inside(idFrom(userdata), x, y, coords));
}
// The child of the object at (x, y); none outside its children.
int accessibleAtPoint(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    int x = 0, y = 0;
    uint32_t coords = 0;
    if (!readCoords(m, coords, &x, &y))
        return invalid(error, "x, y and a coordinate type 0, 1 or 2");
    for (int child : childrenOf(idFrom(userdata)))
        if (inside(child, x, y, coords))
            return replyRef(m, child);
    return replyRef(m, -1);
}
int getLayer(sd_bus_message *m, void *userdata, sd_bus_error *) {
    const Kind k = s_nodes[size_t(idFrom(userdata))].kind;
    return sd_bus_reply_method_return(m, "u", k == MAIN || k == ABOUT || k == SHORTCUTS ? 7 : 3);
}
int getZOrder(sd_bus_message *m, void *, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "n", int16_t(-1));
}
int getAlpha(sd_bus_message *m, void *, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "d", 1.0);
}
// As Tab would put the focus there: on a key that takes it.
int grabFocus(sd_bus_message *m, void *userdata, sd_bus_error *) {
    const Node &n = s_nodes[size_t(idFrom(userdata))];
    const bool can = n.kind == KEY && n.widget->active_r() && openMenu() == nullptr;
    if (can)
        chooseFocus(n.widget);
    return sd_bus_reply_method_return(m, "b", can);
}

const sd_bus_vtable COMPONENT[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Contains", "iiu", "b", contains, 0),
    SD_BUS_METHOD("GetAccessibleAtPoint", "iiu", "(so)", accessibleAtPoint, 0),
    SD_BUS_METHOD("GetExtents", "u", "(iiii)", getExtents, 0),
    SD_BUS_METHOD("GetPosition", "u", "ii", getPosition, 0),
    SD_BUS_METHOD("GetSize", "", "ii", getSize, 0),
    SD_BUS_METHOD("GetLayer", "", "u", getLayer, 0),
    SD_BUS_METHOD("GetMDIZOrder", "", "n", getZOrder, 0),
    SD_BUS_METHOD("GrabFocus", "", "b", grabFocus, 0),
    SD_BUS_METHOD("GetAlpha", "", "d", getAlpha, 0),
    SD_BUS_VTABLE_END};

// Action: a key's one action is what clicking it does.

constexpr char ACTION_NAME[] = "click", ACTION_DESCRIPTION[] = "Press the key";

int getNActions(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply, void *,
                sd_bus_error *) {
    return sd_bus_message_append(reply, "i", 1);
}
int readAction(sd_bus_message *m, sd_bus_error *error) {
    int index = -1;
    const int r = sd_bus_message_read(m, "i", &index);
    if (r < 0)
        return r;
    return index == 0 ? 0 : invalid(error, "no such action");
}
std::string bindingOf(int id) {
    const auto *button = dynamic_cast<const Fl_Button *>(s_nodes[size_t(id)].widget);
    return button ? keyBinding(button->shortcut()) : "";
}
int getActionName(sd_bus_message *m, void *, sd_bus_error *error) {
    const int r = readAction(m, error);
    return r < 0 ? r : sd_bus_reply_method_return(m, "s", ACTION_NAME);
}
int getActionDescription(sd_bus_message *m, void *, sd_bus_error *error) {
    const int r = readAction(m, error);
    return r < 0 ? r : sd_bus_reply_method_return(m, "s", ACTION_DESCRIPTION);
}
int getKeyBinding(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    const int r = readAction(m, error);
    return r < 0 ? r : sd_bus_reply_method_return(m, "s", bindingOf(idFrom(userdata)).c_str());
}
int getActions(sd_bus_message *m, void *userdata, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "a(sss)", 1, ACTION_NAME, ACTION_DESCRIPTION,
                                      bindingOf(idFrom(userdata)).c_str());
}
// Queued to the event loop, as a click reaches the key, never run inside the request.
void pressCb(void *widget) {
    auto *w = static_cast<Fl_Widget *>(widget);
    if (w->active_r() && w->visible_r())
        w->do_callback();
}
int doAction(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    const int r = readAction(m, error);
    if (r < 0)
        return r;
    Fl_Widget *w = s_nodes[size_t(idFrom(userdata))].widget;
    const bool can = w->active_r() && w->visible_r() && openMenu() == nullptr;
    if (can)
        Fl::add_timeout(0, pressCb, w);
    return sd_bus_reply_method_return(m, "b", can);
}

const sd_bus_vtable ACTION[] = {SD_BUS_VTABLE_START(0),
                                SD_BUS_PROPERTY("NActions", "i", getNActions, 0, 0),
                                SD_BUS_METHOD("GetDescription", "i", "s", getActionDescription, 0),
                                SD_BUS_METHOD("GetName", "i", "s", getActionName, 0),
                                SD_BUS_METHOD("GetLocalizedName", "i", "s", getActionName, 0),
                                SD_BUS_METHOD("GetKeyBinding", "i", "s", getKeyBinding, 0),
                                SD_BUS_METHOD("GetActions", "", "a(sss)", getActions, 0),
                                SD_BUS_METHOD("DoAction", "i", "b", doAction, 0),
                                SD_BUS_VTABLE_END};

// Text: the words of the About and Keyboard Shortcuts windows and the display's value as
// Ctrl+C copies it, for a screen reader's review by character, word and line. The texts are
// ASCII, so an offset counts bytes; the extents of any part are those of the whole object.

// The character, word (with the blanks after it) or line (with its line break) that holds
// `offset`, as [start, end): AT-SPI's boundaries 0 (character), 1 and 2 (word), 3 to 6
// (sentence and line: these texts have no sentences but lines).
std::pair<int, int> pieceAt(const std::string &text, int offset, uint32_t boundary) {
    const int n = int(text.size());
    offset = std::max(0, std::min(offset, n));
    if (boundary == 0)
        return {offset, std::min(offset + 1, n)};
    const char *breaks = boundary <= 2 ? " \n" : "\n";
    int start = offset, end = offset;
    if (boundary <= 2) { // blanks belong to the word before them
        while (start > 0 && (start == n || text[size_t(start)] == ' '))
            --start;
        while (start > 0 && !std::strchr(breaks, text[size_t(start - 1)]))
            --start;
        end = start;
        while (end < n && !std::strchr(breaks, text[size_t(end)]))
            ++end;
        while (end < n && text[size_t(end)] == ' ')
            ++end;
    } else {
        while (start > 0 && text[size_t(start - 1)] != '\n')
            --start;
        while (end < n && text[size_t(end)] != '\n')
            ++end;
    }
    return {start, std::min(end + (end < n && text[size_t(end)] == '\n' ? 1 : 0), n)};
}

int getCharacterCount(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply,
                      void *userdata, sd_bus_error *) {
    return sd_bus_message_append(reply, "i", int(textOf(idFrom(userdata)).size()));
}
int getCaretOffset(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply,
                   void *, sd_bus_error *) {
    return sd_bus_message_append(reply, "i", 0);
}
int getText(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    int start = 0, end = 0;
    if (sd_bus_message_read(m, "ii", &start, &end) < 0)
        return invalid(error, "a start and an end offset");
    const std::string text = textOf(idFrom(userdata));
    const int n = int(text.size());
    end = end < 0 || end > n ? n : end;
    start = std::max(0, std::min(start, end));
    return sd_bus_reply_method_return(m, "s",
                                      text.substr(size_t(start), size_t(end - start)).c_str());
}
int getCharacterAtOffset(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    int offset = 0;
    if (sd_bus_message_read(m, "i", &offset) < 0)
        return invalid(error, "an offset");
    const std::string text = textOf(idFrom(userdata));
    const bool in = offset >= 0 && offset < int(text.size());
    return sd_bus_reply_method_return(m, "i", in ? int(text[size_t(offset)]) : 0);
}
// The piece at the offset (`step` 0), the one before it (-1) or the one after it (1).
int replyPiece(sd_bus_message *m, void *userdata, sd_bus_error *error, uint32_t limit, int step) {
    int offset = 0;
    uint32_t unit = 0;
    if (sd_bus_message_read(m, "iu", &offset, &unit) < 0 || unit > limit)
        return invalid(error, "an offset and a boundary type");
    if (limit == 4) // a granularity: character, word, sentence, line, paragraph
        unit = unit == 0 ? 0 : unit == 1 ? 1 : 5;
    const std::string text = textOf(idFrom(userdata));
    const int n = int(text.size());
    std::pair<int, int> piece = pieceAt(text, offset, unit);
    if (step < 0)
        piece = piece.first > 0 ? pieceAt(text, piece.first - 1, unit) : std::make_pair(0, 0);
    else if (step > 0)
        piece = piece.second < n ? pieceAt(text, piece.second, unit) : std::make_pair(n, n);
    const std::string words = text.substr(size_t(piece.first), size_t(piece.second - piece.first));
    return sd_bus_reply_method_return(m, "sii", words.c_str(), piece.first, piece.second);
}
int getStringAtOffset(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    return replyPiece(m, userdata, error, 4, 0);
}
int getTextBeforeOffset(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    return replyPiece(m, userdata, error, 6, -1);
}
int getTextAtOffset(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    return replyPiece(m, userdata, error, 6, 0);
}
int getTextAfterOffset(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    return replyPiece(m, userdata, error, 6, 1);
}
// A character's or a range's extents: the whole object's.
int getPartExtents(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    const bool range = std::strcmp(sd_bus_message_get_member(m), "GetRangeExtents") == 0;
    uint32_t coords = 0;
    if (sd_bus_message_skip(m, range ? "ii" : "i") < 0 || !readCoords(m, coords))
        return invalid(error, "offsets and a coordinate type 0, 1 or 2");
    int x, y, w, h;
    extentsOf(idFrom(userdata), coords, x, y, w, h);
    return sd_bus_reply_method_return(m, "iiii", x, y, w, h);
}
int getOffsetAtPoint(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    int x = 0, y = 0;
    uint32_t coords = 0;
    if (!readCoords(m, coords, &x, &y))
        return invalid(error, "x, y and a coordinate type 0, 1 or 2");
    return sd_bus_reply_method_return(m, "i", inside(idFrom(userdata), x, y, coords) ? 0 : -1);
}
// Attributes, selections: none, and none can be made. (The bus checks every request's
// arguments against the signatures below: unread ones need no reading.)
int getAttributeRun(sd_bus_message *m, void *userdata, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "a{ss}ii", 0, 0, int(textOf(idFrom(userdata)).size()));
}
int getNoAttributes(sd_bus_message *m, void *, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "a{ss}", 0);
}
int getNoAttribute(sd_bus_message *m, void *, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "s", "");
}
int getNSelections(sd_bus_message *m, void *, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "i", 0);
}
int noSelection(sd_bus_message *, void *, sd_bus_error *error) {
    return invalid(error, "there is no selection");
}
int refused(sd_bus_message *m, void *, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "b", false);
}

const sd_bus_vtable TEXT_VTABLE[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("CharacterCount", "i", getCharacterCount, 0, 0),
    SD_BUS_PROPERTY("CaretOffset", "i", getCaretOffset, 0, 0),
    SD_BUS_METHOD("GetText", "ii", "s", getText, 0),
    SD_BUS_METHOD("GetCharacterAtOffset", "i", "i", getCharacterAtOffset, 0),
    SD_BUS_METHOD("GetStringAtOffset", "iu", "sii", getStringAtOffset, 0),
    SD_BUS_METHOD("GetTextBeforeOffset", "iu", "sii", getTextBeforeOffset, 0),
    SD_BUS_METHOD("GetTextAtOffset", "iu", "sii", getTextAtOffset, 0),
    SD_BUS_METHOD("GetTextAfterOffset", "iu", "sii", getTextAfterOffset, 0),
    SD_BUS_METHOD("GetCharacterExtents", "iu", "iiii", getPartExtents, 0),
    SD_BUS_METHOD("GetRangeExtents", "iiu", "iiii", getPartExtents, 0),
    SD_BUS_METHOD("GetOffsetAtPoint", "iiu", "i", getOffsetAtPoint, 0),
    SD_BUS_METHOD("GetAttributeRun", "ib", "a{ss}ii", getAttributeRun, 0),
    SD_BUS_METHOD("GetAttributes", "i", "a{ss}ii", getAttributeRun, 0),
    SD_BUS_METHOD("GetAttributeValue", "is", "s", getNoAttribute, 0),
    SD_BUS_METHOD("GetDefaultAttributes", "", "a{ss}", getNoAttributes, 0),
    SD_BUS_METHOD("GetDefaultAttributeSet", "", "a{ss}", getNoAttributes, 0),
    SD_BUS_METHOD("GetNSelections", "", "i", getNSelections, 0),
    SD_BUS_METHOD("GetSelection", "i", "ii", noSelection, 0),
    SD_BUS_METHOD("AddSelection", "ii", "b", refused, 0),
    SD_BUS_METHOD("RemoveSelection", "i", "b", refused, 0),
    SD_BUS_METHOD("SetSelection", "iii", "b", refused, 0),
    SD_BUS_METHOD("SetCaretOffset", "i", "b", refused, 0),
    SD_BUS_VTABLE_END};

// Cache: clients ask for it first; an empty one is a fine answer.
int getItems(sd_bus_message *m, void *, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "a((so)(so)(so)iiassusau)", 0);
}

const sd_bus_vtable CACHE[] = {
    SD_BUS_VTABLE_START(0), SD_BUS_METHOD("GetItems", "", "a((so)(so)(so)iiassusau)", getItems, 0),
    SD_BUS_VTABLE_END};

// Which objects have which interface: the find callback of each fallback table.
template <bool (*Has)(int)>
int find(sd_bus *, const char *path, const char *, void *, void **found, sd_bus_error *) {
    const int id = idOf(path);
    if (id < 0 || !Has(id))
        return 0;
    *found = reinterpret_cast<void *>(intptr_t(id) + 1);
    return 1;
}
bool any(int) {
    return true;
}
bool isApplication(int id) {
    return id == 0;
}
bool isComponent(int id) {
    return id != 0;
}

// ---- events

void emit(sd_bus *bus, int id, const char *interface, const char *member, const char *detail,
          int value, const std::string *text) {
    if (text != nullptr)
        sd_bus_emit_signal(bus, pathOf(id).c_str(), interface, member, "siiva{sv}", detail, value,
                           0, "s", text->c_str(), 0);
    else
        sd_bus_emit_signal(bus, pathOf(id).c_str(), interface, member, "siiva{sv}", detail, value,
                           0, "i", 0, 0);
}

constexpr char OBJECT[] = "org.a11y.atspi.Event.Object";
constexpr char WINDOW[] = "org.a11y.atspi.Event.Window";

// A child that came or went, with a reference to it.
void emitChild(sd_bus *bus, int parent, int child, bool added) {
    sd_bus_emit_signal(bus, pathOf(parent).c_str(), OBJECT, "ChildrenChanged", "siiva{sv}",
                       added ? "add" : "remove", 0, 0, "(so)", uniqueName(bus),
                       pathOf(child).c_str(), 0);
}

// Only the display and the signedness key change their names, and only the display its
// description: the others keep what the last look saw. A look runs after every turn of
// the event loop, several for each key, so it must cost little.
bool namesChange(int id) {
    const Node &n = s_nodes[size_t(id)];
    return n.kind == DISPLAY || (n.kind == KEY && n.widget == u_button);
}

Seen look(int id, const Seen &before) {
    Seen seen;
    seen.exists = exists(id);
    if (!seen.exists)
        return seen;
    if (before.exists && !namesChange(id)) {
        seen.name = before.name;
        seen.description = before.description;
    } else {
        seen.name = nameOf(id);
        seen.description = descriptionOf(id);
    }
    seen.states = statesOf(id);
    return seen;
}

// Everything a look could find changed, in a few words: where none of it changed since the
// last look, nothing did, and the look is spared.
struct Fingerprint {
    unsigned value = 0;
    int base = 0;
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

Fingerprint fingerprint() {
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
    int bit = 0;
    for (const Fl_Widget *key : readingOrder())
        f.active |= uint64_t(key->active_r() ? 1 : 0) << bit++;
    return f;
}

} // namespace

void setDesktop(const char *bus, const char *path) {
    s_desktopBus = bus;
    s_desktopPath = path;
}

bool exportTree(sd_bus *bus) {
    buildTree();
    const struct {
        const char *interface;
        const sd_bus_vtable *vtable;
        sd_bus_object_find_t find;
    } TABLES[] = {
        {"org.a11y.atspi.Accessible", ACCESSIBLE, find<any>},
        {"org.a11y.atspi.Application", APPLICATION_VTABLE, find<isApplication>},
        {"org.a11y.atspi.Component", COMPONENT, find<isComponent>},
        {"org.a11y.atspi.Action", ACTION, find<hasAction>},
        {"org.a11y.atspi.Text", TEXT_VTABLE, find<hasText>},
    };
    for (const auto &t : TABLES)
        if (sd_bus_add_fallback_vtable(bus, nullptr, PREFIX, t.interface, t.vtable, t.find,
                                       nullptr) < 0)
            return false;
    return sd_bus_add_object_vtable(bus, nullptr, "/org/a11y/atspi/cache", "org.a11y.atspi.Cache",
                                    CACHE, nullptr) >= 0;
}

void lookAtTree(bool asIfActivated) {
    for (size_t i = 0; i < s_nodes.size(); ++i) {
        s_seen[i] = look(int(i), Seen());
        if (asIfActivated)
            s_seen[i].states &= ~(bit(ACTIVE) | bit(FOCUSED));
    }
    s_tipWasShown = tooltipShown();
    s_fingerprint = fingerprint();
    if (asIfActivated)
        s_fingerprint.base = -1; // the next look is a whole one
}

bool reportChanges(sd_bus *bus, bool announcementHeard) {
    const bool menuOpen = openMenu() != nullptr;
    if (menuOpen != s_menuWasOpen) {
        s_menuWasOpen = menuOpen;
        const Fl_Menu_Item *picked = popup_menu->mvalue();
        s_menuItem = menuOpen && picked != nullptr ? int(picked - popup_menu->menu()) : -1;
    }
    const Fingerprint now = fingerprint();
    if (now == s_fingerprint)
        return false;
    s_fingerprint = now;
    bool changed = false;
    int focused = -1;
    std::string value;
    for (size_t i = 0; i < s_nodes.size(); ++i) {
        const int id = int(i);
        const Seen before = std::move(s_seen[i]);
        const Seen now = look(id, before);
        s_seen[i] = now;
        if (now.exists != before.exists && id > 0) {
            emitChild(bus, s_nodes[i].parent, id, now.exists);
            changed = true;
        }
        if (!now.exists)
            continue;
        if (now.name != before.name) {
            emit(bus, id, OBJECT, "PropertyChange", "accessible-name", 0, &now.name);
            if (s_nodes[i].kind == DISPLAY && before.exists)
                value = now.name;
            changed = true;
        }
        if (now.description != before.description) {
            emit(bus, id, OBJECT, "PropertyChange", "accessible-description", 0, &now.description);
            changed = true;
        }
        for (const auto &r : REPORTED) {
            const bool on = (now.states & bit(r.state)) != 0;
            if (on == ((before.states & bit(r.state)) != 0))
                continue;
            changed = true;
            if (r.state == FOCUSED && on) {
                focused = id; // last, once everything else is known
                continue;
            }
            emit(bus, id, OBJECT, "StateChanged", r.name, on, nullptr);
            if (r.state == ACTIVE)
                emit(bus, id, WINDOW, on ? "Activate" : "Deactivate", "", 0, &now.name);
        }
    }
    if (focused >= 0)
        emit(bus, focused, OBJECT, "StateChanged", "focused", 1, nullptr);
    if (!value.empty())
        speak(bus, value, announcementHeard);
    const bool tip = tooltipShown();
    if (tip && !s_tipWasShown)
        speak(bus, text_disp->tooltip(), announcementHeard);
    s_tipWasShown = tip;
    return changed;
}

void speak(sd_bus *bus, const std::string &text, bool announcementHeard) {
    if (announcementHeard) {
        sd_bus_emit_signal(bus, ROOT_PATH, OBJECT, "Announcement", "siiva{sv}", "", 1, 0, "s",
                           text.c_str(), 0);
        return;
    }
    // The object with the focus changes its description to the text and back at once: a
    // screen reader that knows no announcements speaks a new description of its focus.
    const int focus = focusedNode();
    s_spokenDescription = text;
    emit(bus, focus, OBJECT, "PropertyChange", "accessible-description", 0, &text);
    s_spokenDescription.clear();
    const std::string back = descriptionOf(focus);
    emit(bus, focus, OBJECT, "PropertyChange", "accessible-description", 0, &back);
    s_seen[size_t(focus)].description = back;
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
