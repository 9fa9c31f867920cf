// SPDX-License-Identifier: MIT
// The AT-SPI2 interfaces on D-Bus, answered from the model: one file per interface, each with
// its table of methods and properties (accessible.cpp, component.cpp, action.cpp, text.cpp),
// and what they share. Every request is checked: an unknown path is an unknown object, a
// wrong argument an error reply.
#ifndef NORVIK_A11Y_INTERFACES_H
#define NORVIK_A11Y_INTERFACES_H

#include <systemd/sd-bus.h>

#include <cstdint>
#include <string>

// Exports every object's interfaces on `bus`; false if it could not.
bool exportTree(sd_bus *bus);
// The registry's desktop, the root object's parent, once norvik is embedded in it.
void setDesktop(const char *bus, const char *path);

// ---- shared by the interfaces and the events

std::string pathOf(int id);
// norvik's own name on the bus, the first half of a reference to one of its objects.
const char *uniqueName(sd_bus *bus);
// A reply with a reference to an object (-1: the null reference).
int replyRef(sd_bus_message *m, int id);
// The node a request is for, from the user data its object's find callback gave.
int idFrom(void *userdata);
int invalid(sd_bus_error *error, const char *what);
// A request's coordinate type (0, 1 or 2), and before it a point where `x` is given.
bool readCoords(sd_bus_message *m, uint32_t &coords, int *x = nullptr, int *y = nullptr);

// The method and property tables.
extern const sd_bus_vtable ACCESSIBLE_VTABLE[], APPLICATION_VTABLE[], CACHE_VTABLE[],
    COMPONENT_VTABLE[], ACTION_VTABLE[], TEXT_VTABLE[];

#endif
