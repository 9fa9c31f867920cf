// SPDX-License-Identifier: MIT
// The events that tell a screen reader what changed: each look at the model is compared with
// the last, whole state sets and all, and every difference goes out (events.cpp).
#ifndef NORVIK_A11Y_EVENTS_H
#define NORVIK_A11Y_EVENTS_H

#include <string>

struct sd_bus;

// Takes a first look at everything, so that later looks report changes only; with
// `asIfActivated`, as if the active window had just been activated and its focus just
// taken, which the next look then reports.
void lookAtTree(bool asIfActivated);

// Emits an event for every object that came or went, every name, description and state
// that changed since the last look, and says the display's value where it changed, with
// the radix or signedness where those did. Returns whether it emitted anything.
bool reportChanges(sd_bus *bus, bool announcementHeard);

// Says `text` once: through the display's Announcement event where a screen reader listens
// for it (`announcementHeard`), else as a change of the description of the object that has
// the focus, which screen readers without it speak.
void speak(sd_bus *bus, const std::string &text, bool announcementHeard);

// A node's description as a screen reader reads it now: its own, or for a moment the text
// spoken as the focus's description.
std::string descriptionNow(int id);

#endif
