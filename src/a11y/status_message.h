// SPDX-License-Identifier: MIT
// The little of D-Bus that the accessibility status check speaks before the bridge is
// loaded: the method calls it sends, and the messages it reads back, little-endian. Any
// program of the session may write to that socket, so the reader trusts no length and no
// type it is given. Toolkit-free.
#ifndef NORVIK_A11Y_STATUS_MESSAGE_H
#define NORVIK_A11Y_STATUS_MESSAGE_H

#include <cstddef>
#include <cstdint>
#include <string>

// A method call to `destination` with at most one string argument (null: none);
// `flags` 2 asks the bus not to start the destination.
std::string methodCall(uint32_t serial, uint8_t flags, const char *destination, const char *path,
                       const char *interface, const char *member, const char *argument);

// No message the status check asks for is longer; a longer one ends the connection.
constexpr size_t STATUS_MESSAGE_LIMIT = 1 << 20;

// What the message at the front of `size` bytes is.
struct StatusMessage {
    enum Kind {
        INCOMPLETE, // not all of it here yet
        BAD,        // not one to read on (big-endian, over the limit): hang up
        OTHER,      // a method call, or a type D-Bus may add: nothing to answer
        REPLY,      // a method's return, `wanted` read from it as from Properties.GetAll
        ERROR,      // a method's error
        SIGNAL,     // a signal
    } kind = INCOMPLETE;
    size_t length = 0;        // the bytes it takes, where whole
    uint32_t replySerial = 0; // for REPLY and ERROR: the call answered
    // For REPLY: an a{sv} of org.a11y.Status with IsEnabled or ScreenReaderEnabled true.
    bool wanted = false;
};
StatusMessage readStatusMessage(const char *bytes, size_t size);

#endif
