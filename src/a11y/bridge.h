// SPDX-License-Identifier: MIT
// Inside the accessibility bridge, its connection layer: bus.cpp owns the connections and
// drives the model's interfaces (interfaces.h) and events (events.h) on them; keys.cpp hands
// keys to the screen reader.
#ifndef NORVIK_A11Y_BRIDGE_H
#define NORVIK_A11Y_BRIDGE_H

struct sd_bus;

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
