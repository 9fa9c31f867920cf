// SPDX-License-Identifier: MIT
// Inside the clipboard: how a paste's text is fetched from the window system (X11 or
// Wayland, each on its own terms) and what becomes of what comes. clipboard.cpp holds the
// paste's state; the selection_*.cpp files are its transports.
#ifndef NORVIK_UI_SELECTION_H
#define NORVIK_UI_SELECTION_H

#include <cstddef>

// What a transport reads of a text at most: a page, far more than a number with white space
// round it (which the paste grammar then judges). Anything longer is refused unread, so
// that a clipboard of hundreds of megabytes costs nothing.
constexpr size_t SELECTION_READ_LIMIT = 4096;

// Whether the paste asked for last still waits for its text. A transport reads a text only
// then; any other it drops unread, and ends its transfer as the owner expects.
bool pasteAwaited();

// The answer to the paste asked for last: its text (of at most SELECTION_READ_LIMIT bytes;
// null where it was not read, as it was not awaited); or no text (nothing offered as text,
// no owner); or a text too long to be a number. Answers to earlier requests are not told.
void pasteArrived(const char *text, size_t length);
void pasteNothing();
void pasteTooLong();

// The transports: true where the window system is theirs and the request went out (its
// answer comes later, through the functions above).
bool askX11Selection(bool clipboard);

bool askWaylandSelection(bool clipboard);

// Has the X11 transport see the events for its requests, and the requests for the list of
// targets of a selection norvik owns, before the toolkit does; on Wayland, has norvik's
// own data devices follow the seat's selections.
void installSelectionHandler();
void watchWaylandSelections();

// Whether there is a primary selection to paste from: not on a Wayland compositor that does
// not offer the protocol.
bool primarySelectionOffered();

// A copy, on Wayland: to the primary selection too (the toolkit's copy sets the clipboard
// only), and taken as it is by a paste before the compositor tells of the new selections.
void copiedOnWayland(const char *text, size_t length);

#endif
