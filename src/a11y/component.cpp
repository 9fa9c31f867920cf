// SPDX-License-Identifier: MIT
// The Component interface: where an object is, in the coordinates a client asks for, and
// which object is at a point.
#include "a11y/interfaces.h"
#include "a11y/model.h"

namespace {

int getExtents(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    uint32_t coords = 0;
    if (!readCoords(m, coords))
        return invalid(error, "coordinate type 0, 1 or 2");
    const TextBox b = extentsOf(idFrom(userdata), coords);
    return sd_bus_reply_method_return(m, "(iiii)", b.x, b.y, b.w, b.h);
}
int getPosition(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    uint32_t coords = 0;
    if (!readCoords(m, coords))
        return invalid(error, "coordinate type 0, 1 or 2");
    const TextBox b = extentsOf(idFrom(userdata), coords);
    return sd_bus_reply_method_return(m, "ii", b.x, b.y);
}
int getSize(sd_bus_message *m, void *userdata, sd_bus_error *) {
    const TextBox b = extentsOf(idFrom(userdata), COORDS_WINDOW);
    return sd_bus_reply_method_return(m, "ii", b.w, b.h);
}
int contains(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    int x = 0, y = 0;
    uint32_t coords = 0;
    if (!readCoords(m, coords, &x, &y))
        return invalid(error, "x, y and a coordinate type 0, 1 or 2");
    return sd_bus_reply_method_return(m, "b", containsPoint(idFrom(userdata), x, y, coords));
}
// The child of the object at (x, y); none outside its children.
int accessibleAtPoint(sd_bus_message *m, void *userdata, sd_bus_error *error) {
    int x = 0, y = 0;
    uint32_t coords = 0;
    if (!readCoords(m, coords, &x, &y))
        return invalid(error, "x, y and a coordinate type 0, 1 or 2");
    for (int child : childrenOf(idFrom(userdata)))
        if (containsPoint(child, x, y, coords))
            return replyRef(m, child);
    return replyRef(m, -1);
}
int getLayer(sd_bus_message *m, void *userdata, sd_bus_error *) {
    const Kind k = kindOf(idFrom(userdata));
    const bool window = k == Kind::MAIN || k == Kind::ABOUT || k == Kind::SHORTCUTS;
    return sd_bus_reply_method_return(m, "u", window ? 7 : k == Kind::MENU ? 5 : 3);
}
int getZOrder(sd_bus_message *m, void *, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "n", int16_t(-1));
}
int getAlpha(sd_bus_message *m, void *, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "d", 1.0);
}
int grabFocusRequest(sd_bus_message *m, void *userdata, sd_bus_error *) {
    return sd_bus_reply_method_return(m, "b", grabFocus(idFrom(userdata)));
}

} // namespace

const sd_bus_vtable COMPONENT_VTABLE[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Contains", "iiu", "b", contains, 0),
    SD_BUS_METHOD("GetAccessibleAtPoint", "iiu", "(so)", accessibleAtPoint, 0),
    SD_BUS_METHOD("GetExtents", "u", "(iiii)", getExtents, 0),
    SD_BUS_METHOD("GetPosition", "u", "ii", getPosition, 0),
    SD_BUS_METHOD("GetSize", "", "ii", getSize, 0),
    SD_BUS_METHOD("GetLayer", "", "u", getLayer, 0),
    SD_BUS_METHOD("GetMDIZOrder", "", "n", getZOrder, 0),
    SD_BUS_METHOD("GrabFocus", "", "b", grabFocusRequest, 0),
    SD_BUS_METHOD("GetAlpha", "", "d", getAlpha, 0),
    SD_BUS_VTABLE_END};
