// SPDX-License-Identifier: MIT
// The objects on the bus: their paths, the Accessible interface every one has, Application
// on the root, the Cache clients ask for first, and the tables that say which object has
// which interface.
#include "a11y/events.h"
#include "a11y/interfaces.h"
#include "a11y/model.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char PREFIX[] = "/org/a11y/atspi/accessible";
constexpr char ROOT_PATH[] = "/org/a11y/atspi/accessible/root";
constexpr char NULL_PATH[] = "/org/a11y/atspi/null";

std::string s_desktopBus, s_desktopPath = NULL_PATH;

// The node at `path`, where it is there now; -1 for any other path.
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
    return number && id > 0 && id < long(nodeCount()) && exists(int(id)) ? int(id) : -1;
}

// Accessible

int getName(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply,
            void *userdata, sd_bus_error *) {
    return sd_bus_message_append(reply, "s", nameOf(idFrom(userdata)).c_str());
}
int getDescription(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply,
                   void *userdata, sd_bus_error *) {
    return sd_bus_message_append(reply, "s", descriptionNow(idFrom(userdata)).c_str());
}
int getParent(sd_bus *bus, const char *, const char *, const char *, sd_bus_message *reply,
              void *userdata, sd_bus_error *) {
    const int id = idFrom(userdata);
    if (id == 0)
        return sd_bus_message_append(reply, "(so)", s_desktopBus.c_str(), s_desktopPath.c_str());
    return sd_bus_message_append(reply, "(so)", uniqueName(bus), pathOf(parentOf(id)).c_str());
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

// A reply that is an array of references, or of one relation and its targets.
int replyRefs(sd_bus_message *m, const std::vector<int> &ids, const uint32_t *relation) {
    sd_bus_message *reply = nullptr;
    int r = sd_bus_message_new_method_return(m, &reply);
    const char *name = uniqueName(sd_bus_message_get_bus(m));
    if (r >= 0 && relation != nullptr)
        r = sd_bus_message_open_container(reply, 'a', "(ua(so))");
    if (r >= 0 && relation != nullptr && !ids.empty())
        r = sd_bus_message_open_container(reply, 'r', "ua(so)");
    if (r >= 0 && relation != nullptr && !ids.empty())
        r = sd_bus_message_append(reply, "u", *relation);
    if (r >= 0 && (relation == nullptr || !ids.empty()))
        r = sd_bus_message_open_container(reply, 'a', "(so)");
    for (int id : ids)
        if (r >= 0)
            r = sd_bus_message_append(reply, "(so)", name, pathOf(id).c_str());
    if (r >= 0 && (relation == nullptr || !ids.empty()))
        r = sd_bus_message_close_container(reply);
    if (r >= 0 && relation != nullptr && !ids.empty())
        r = sd_bus_message_close_container(reply);
    if (r >= 0 && relation != nullptr)
        r = sd_bus_message_close_container(reply);
    if (r >= 0)
        r = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return r;
}

int getChildren(sd_bus_message *m, void *userdata, sd_bus_error *) {
    return replyRefs(m, childrenOf(idFrom(userdata)), nullptr);
}
int getIndexInParent(sd_bus_message *m, void *userdata, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "i", indexInParent(idFrom(userdata)));
}
// A radix key is a member of the group of the four.
int getRelationSet(sd_bus_message *m, void *userdata, sd_bus_error *) {
    return replyRefs(m, groupOf(idFrom(userdata)), &RELATION_MEMBER_OF);
}
int getRole(sd_bus_message *m, void *userdata, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "u", roleOf(idFrom(userdata)));
}
int getRoleName(sd_bus_message *m, void *userdata, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "s", roleName(roleOf(idFrom(userdata))));
}
int getState(sd_bus_message *m, void *userdata, sd_bus_error *) {
    const StateSet s = statesOf(idFrom(userdata));
    return sd_bus_reply_method_return(m, "au", 2, uint32_t(s), uint32_t(s >> 32));
}
// The toolkit, on the root; a radix key's place in its group, counted in reading order
// (Orca 48 takes it from here first, and would sort the relation's members otherwise).
int getAttributes(sd_bus_message *m, void *userdata, sd_bus_error *) {
    const int id = idFrom(userdata);
    if (id == 0)
        return sd_bus_reply_method_return(m, "a{ss}", 1, "toolkit", "FLTK");
    const std::vector<int> group = groupOf(id);
    if (group.empty())
        return sd_bus_reply_method_return(m, "a{ss}", 0);
    const auto at = std::find(group.rbegin(), group.rend(), id); // the group is listed backwards
    return sd_bus_reply_method_return(m, "a{ss}", 2, "posinset",
                                      std::to_string(at - group.rbegin() + 1).c_str(), "setsize",
                                      std::to_string(group.size()).c_str());
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

// Application

int s_applicationId = 0;

int getToolkit(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply, void *,
               sd_bus_error *) {
    return sd_bus_message_append(reply, "s", "FLTK");
}
int getVersion(sd_bus *, const char *, const char *, const char *, sd_bus_message *reply, void *,
               sd_bus_error *) {
    return sd_bus_message_append(reply, "s", toolkitVersion().c_str());
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

// Cache: clients ask for it first; an empty one is a fine answer.
int getItems(sd_bus_message *m, void *, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "a((so)(so)(so)iiassusau)", 0);
}

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

} // namespace

const sd_bus_vtable ACCESSIBLE_VTABLE[] = {
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

const sd_bus_vtable CACHE_VTABLE[] = {
    SD_BUS_VTABLE_START(0), SD_BUS_METHOD("GetItems", "", "a((so)(so)(so)iiassusau)", getItems, 0),
    SD_BUS_VTABLE_END};

std::string pathOf(int id) {
    return id == 0 ? ROOT_PATH : std::string(PREFIX) + "/" + std::to_string(id);
}

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

bool readCoords(sd_bus_message *m, uint32_t &coords, int *x, int *y) {
    if (x != nullptr && sd_bus_message_read(m, "ii", x, y) < 0)
        return false;
    return sd_bus_message_read(m, "u", &coords) >= 0 && coords <= COORDS_PARENT;
}

void setDesktop(const char *bus, const char *path) {
    s_desktopBus = bus;
    s_desktopPath = path;
}

bool exportTree(sd_bus *bus) {
    buildModel();
    const struct {
        const char *interface;
        const sd_bus_vtable *vtable;
        sd_bus_object_find_t find;
    } TABLES[] = {
        {"org.a11y.atspi.Accessible", ACCESSIBLE_VTABLE, find<any>},
        {"org.a11y.atspi.Application", APPLICATION_VTABLE, find<isApplication>},
        {"org.a11y.atspi.Component", COMPONENT_VTABLE, find<isComponent>},
        {"org.a11y.atspi.Action", ACTION_VTABLE, find<hasAction>},
        {"org.a11y.atspi.Text", TEXT_VTABLE, find<hasText>},
    };
    for (const auto &t : TABLES)
        if (sd_bus_add_fallback_vtable(bus, nullptr, PREFIX, t.interface, t.vtable, t.find,
                                       nullptr) < 0)
            return false;
    return sd_bus_add_object_vtable(bus, nullptr, "/org/a11y/atspi/cache", "org.a11y.atspi.Cache",
                                    CACHE_VTABLE, nullptr) >= 0;
}
