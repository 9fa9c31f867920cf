// SPDX-License-Identifier: MIT
// Inside the accessibility bridge: the tree of accessible objects that stands for the
// windows and widgets, exported on the accessibility bus, and the events that tell a screen
// reader what changed. bus.cpp owns the connections; tree.cpp what is on them.
#ifndef NORVIK_A11Y_TREE_H
#define NORVIK_A11Y_TREE_H

#include <string>

struct sd_bus;

// The registry's desktop, the root object's parent, once norvik is embedded in it.
void setDesktop(const char *bus, const char *path);

// Exports the objects on `bus`; false if it could not.
bool exportTree(sd_bus *bus);

// Takes a first look at everything, so that later looks report changes only; with
// `asIfActivated`, as if the active window had just been activated and its focus just
// taken, which the next look then reports.
void lookAtTree(bool asIfActivated);

// Emits an event for every name, description and state that changed since the last look,
// and says the display's value where it changed (see speak()). Returns whether it emitted
// anything.
bool reportChanges(sd_bus *bus, bool announcementHeard);

// Says `text` once: through the Announcement event where a screen reader listens for it
// (`announcementHeard`), else as a change of the description of the object that has the
// focus, which screen readers without it speak.
void speak(sd_bus *bus, const std::string &text, bool announcementHeard);

// For the open popup menu: follows the item it highlights, from the events it gets.
void followMenu(int event);

// ---- bus.cpp

// After a message was queued on `bus`: the event loop waits on what the connection needs.
void watchBus(sd_bus *bus);

// ---- keys.cpp: keys handed to the screen reader before norvik acts on them

// Follows the keystroke listeners of the registry on `bus` (again, after the registry
// started anew): keys are handed over while there are some.
void followKeystrokeListeners(sd_bus *bus);
// The registry went away: no listeners, and the keys held for it go on as not consumed.
void forgetKeystrokeListeners();
// The same, and the bus is gone too.
void leaveKeystrokeListeners();

#endif
