// SPDX-License-Identifier: MIT
// What changed, told as AT-SPI2 events: after every turn of the event loop where anything
// could have, each object is looked at and compared with the last look. An object that
// came or went is a child added or removed, at its index; every state that differs, of the
// whole set, is a state change; a new name or description is a property change. The value
// is said where the display's changed, with the radix or signedness where either did.
#include "a11y/events.h"
#include "a11y/interfaces.h"
#include "a11y/model.h"
#include "engine/engine.h"
#include "format/format.h"
#include "ui/ui.h"

#include <systemd/sd-bus.h>

#include <utility>
#include <vector>

namespace {

constexpr char OBJECT[] = "org.a11y.atspi.Event.Object";
constexpr char WINDOW[] = "org.a11y.atspi.Event.Window";
constexpr int DISPLAY_NODE = 2; // see buildModel()

// What a look saw of each object, to be compared with the next look.
struct Seen {
    bool exists = false;
    std::string name, description;
    StateSet states = 0;
};
std::vector<Seen> s_seen;
bool s_lookAgain = false;        // the next look is a whole one, whatever changed
bool s_tipWasShown = false;      // the display's tooltip, as the last look saw it
int s_base = 0, s_unsigned = -1; // the radix and signedness the last look saw
std::string s_spokenDescription; // for a moment, the focused object's description

void emit(sd_bus *bus, int id, const char *interface, const char *member, const char *detail,
          int value, const std::string *text) {
    if (text != nullptr)
        sd_bus_emit_signal(bus, pathOf(id).c_str(), interface, member, "siiva{sv}", detail, value,
                           0, "s", text->c_str(), 0);
    else
        sd_bus_emit_signal(bus, pathOf(id).c_str(), interface, member, "siiva{sv}", detail, value,
                           0, "i", 0, 0);
}

// A child that came or went, at its index among the children there are with it.
void emitChild(sd_bus *bus, int child, bool added, const std::vector<Seen> &before) {
    const int parent = parentOf(child);
    int index = 0;
    for (int i = 0; i < child; ++i)
        index += parentOf(i) == parent && (added ? exists(i) : before[size_t(i)].exists);
    sd_bus_emit_signal(bus, pathOf(parent).c_str(), OBJECT, "ChildrenChanged", "siiva{sv}",
                       added ? "add" : "remove", index, 0, "(so)", uniqueName(bus),
                       pathOf(child).c_str(), 0);
}

// A look runs after every turn of the event loop, several for each key, so it must cost
// little: only the names that can change are worded again.
Seen look(int id, const Seen &before) {
    Seen seen;
    seen.exists = exists(id);
    if (!seen.exists)
        return seen;
    if (before.exists && !nameCanChange(id)) {
        seen.name = before.name;
        seen.description = before.description;
    } else {
        seen.name = nameOf(id);
        seen.description = descriptionOf(id);
    }
    seen.states = statesOf(id);
    return seen;
}

// The words that say a new value, with the radix where it changed to decimal (the other
// radixes' words start with theirs) and the signedness where it changed; empty where
// nothing is to be said.
std::string valueWords(const std::string &value, bool valueChanged) {
    std::string words;
    const int isUnsigned = printsUnsigned() ? 1 : 0;
    if (s_unsigned >= 0 && isUnsigned != s_unsigned)
        words = isUnsigned ? "unsigned" : "signed";
    if (s_base != 0 && g_base != s_base && g_base == 10)
        words = words.empty() ? "decimal" : "decimal, " + words;
    s_unsigned = isUnsigned;
    s_base = g_base;
    if (valueChanged)
        words = words.empty() ? value : words + ", " + value;
    return words;
}

} // namespace

void lookAtTree(bool asIfActivated) {
    s_seen.assign(size_t(nodeCount()), Seen());
    for (int i = 0; i < nodeCount(); ++i) {
        s_seen[size_t(i)] = look(i, Seen());
        if (asIfActivated)
            s_seen[size_t(i)].states &= ~(bit(STATE_ACTIVE) | bit(STATE_FOCUSED));
    }
    s_tipWasShown = tooltipShown();
    s_base = g_base;
    s_unsigned = printsUnsigned() ? 1 : 0;
    modelChanged();
    s_lookAgain = asIfActivated;
}

bool reportChanges(sd_bus *bus, bool announcementHeard) {
    if (!modelChanged() && !s_lookAgain)
        return false;
    s_lookAgain = false;
    const std::vector<Seen> before = s_seen;
    bool changed = false, valueChanged = false;
    int focused = -1;
    for (int id = 0; id < nodeCount(); ++id) {
        const Seen &was = before[size_t(id)];
        const Seen now = s_seen[size_t(id)] = look(id, was);
        if (now.exists != was.exists && id > 0) {
            emitChild(bus, id, now.exists, before);
            changed = true;
        }
        if (!now.exists)
            continue;
        if (now.name != was.name) {
            emit(bus, id, OBJECT, "PropertyChange", "accessible-name", 0, &now.name);
            valueChanged = valueChanged || (id == DISPLAY_NODE && was.exists);
            changed = true;
        }
        if (now.description != was.description) {
            emit(bus, id, OBJECT, "PropertyChange", "accessible-description", 0, &now.description);
            changed = true;
        }
        for (int state = 1; state < STATE_COUNT; ++state) {
            const bool on = (now.states & bit(State(state))) != 0;
            if (on == ((was.states & bit(State(state))) != 0))
                continue;
            changed = true;
            if (state == STATE_FOCUSED && on) {
                focused = id; // last, once everything else is known
                continue;
            }
            emit(bus, id, OBJECT, "StateChanged", stateName(state), on, nullptr);
            if (state == STATE_ACTIVE)
                emit(bus, id, WINDOW, on ? "Activate" : "Deactivate", "", 0, &now.name);
        }
    }
    if (focused >= 0)
        emit(bus, focused, OBJECT, "StateChanged", "focused", 1, nullptr);
    const std::string words = valueWords(s_seen[DISPLAY_NODE].name, valueChanged);
    if (!words.empty())
        speak(bus, words, announcementHeard);
    const bool tip = tooltipShown();
    if (tip && !s_tipWasShown)
        speak(bus, descriptionOf(DISPLAY_NODE), announcementHeard);
    s_tipWasShown = tip;
    return changed || !words.empty();
}

void speak(sd_bus *bus, const std::string &text, bool announcementHeard) {
    if (announcementHeard) { // from the object whose value it is
        sd_bus_emit_signal(bus, pathOf(DISPLAY_NODE).c_str(), OBJECT, "Announcement", "siiva{sv}",
                           "", 1, 0, "s", text.c_str(), 0);
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
    if (size_t(focus) < s_seen.size())
        s_seen[size_t(focus)].description = back;
}

std::string descriptionNow(int id) {
    if (!s_spokenDescription.empty() && id == focusedNode())
        return s_spokenDescription;
    return descriptionOf(id);
}
