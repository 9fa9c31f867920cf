// SPDX-License-Identifier: MIT
// libFuzzer target for the accessibility status reader, which reads what any program of
// the session may write to norvik's socket. Beyond not crashing: a whole message never
// claims more bytes than it was given, and reading a buffer is the same as reading it with
// junk after it, so that the messages behind it start where the reader says.
#include "a11y/status_message.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const char *bytes = reinterpret_cast<const char *>(data);
    const StatusMessage m = readStatusMessage(bytes, size);
    const bool whole = m.kind != StatusMessage::INCOMPLETE && m.kind != StatusMessage::BAD;
    if (whole && (m.length < 16 || m.length > size || m.length > STATUS_MESSAGE_LIMIT))
        std::abort(); // a length past the buffer or the limit
    if (m.wanted && m.kind != StatusMessage::REPLY)
        std::abort();
    const std::string longer = std::string(bytes, size) + std::string(64, '\xA5');
    const StatusMessage again = readStatusMessage(longer.data(), longer.size());
    if (whole && (again.kind != m.kind || again.length != m.length ||
                  again.replySerial != m.replySerial || again.wanted != m.wanted))
        std::abort(); // what follows a message changed how it reads
    return 0;
}
