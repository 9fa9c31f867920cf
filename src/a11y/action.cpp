// SPDX-License-Identifier: MIT
// The Action interface: a key's, the ok button's and a menu item's one action, what clicking
// it does.
#include "a11y/interfaces.h"
#include "a11y/model.h"

namespace {

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
    return r < 0 ? r : sd_bus_reply_method_return(m, "s", keyBindingOf(idFrom(userdata)).c_str());
}
int getActions(sd_bus_message *m, void *userdata, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "a(sss)", 1, ACTION_NAME, ACTION_DESCRIPTION,
                                      keyBindingOf(idFrom(userdata)).c_str());
}
int doActionRequest(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    const int r = readAction(m, error);
    return r < 0 ? r : sd_bus_reply_method_return(m, "b", doAction(idFrom(userdata)));
}

} // namespace

const sd_bus_vtable ACTION_VTABLE[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("NActions", "i", getNActions, 0, 0),
    SD_BUS_METHOD("GetDescription", "i", "s", getActionDescription, 0),
    SD_BUS_METHOD("GetName", "i", "s", getActionName, 0),
    SD_BUS_METHOD("GetLocalizedName", "i", "s", getActionName, 0),
    SD_BUS_METHOD("GetKeyBinding", "i", "s", getKeyBinding, 0),
    SD_BUS_METHOD("GetActions", "", "a(sss)", getActions, 0),
    SD_BUS_METHOD("DoAction", "i", "b", doActionRequest, 0),
    SD_BUS_VTABLE_END};
