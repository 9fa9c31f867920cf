// SPDX-License-Identifier: MIT
// D-Bus messages for the accessibility status check: written and read by hand, little-endian.
#include "a11y/status_message.h"

#include <cstring>

namespace {

enum Type : uint8_t { METHOD_CALL = 1, METHOD_RETURN = 2, ERROR = 3, SIGNAL = 4 };
enum Field : uint8_t {
    PATH = 1,
    INTERFACE = 2,
    MEMBER = 3,
    REPLY_SERIAL = 5,
    DESTINATION = 6,
    SIGNATURE = 8
};

struct Writer {
    std::string bytes;
    void align(size_t n) { bytes.resize((bytes.size() + n - 1) / n * n, '\0'); }
    void u32(uint32_t v) {
        align(4);
        for (int i = 0; i < 4; ++i)
            bytes += char(v >> (8 * i));
    }
    void put(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + size_t(i)] = char(v >> (8 * i));
    }
    void string(const std::string &s) {
        u32(uint32_t(s.size()));
        bytes += s;
        bytes += '\0';
    }
    void signature(const char *s) {
        bytes += char(std::strlen(s));
        bytes += s;
        bytes += '\0';
    }
    void field(Field code, char type, const std::string &value) {
        align(8);
        bytes += char(code);
        const char own[] = {type, '\0'}; // the field's own type, then its value
        signature(own);
        if (type == 'g')
            signature(value.c_str());
        else
            string(value);
    }
};

// Reads from [at, end) of a buffer; once anything is out of bounds, ok turns false and
// every later read gives nothing.
struct Reader {
    const char *bytes;
    size_t at, end;
    bool ok = true;
    void align(size_t n) {
        at = (at + n - 1) / n * n;
        ok = ok && at <= end;
    }
    uint32_t u32() {
        align(4);
        if (!ok || end - at < 4) {
            ok = false;
            return 0;
        }
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= uint32_t(uint8_t(bytes[at + size_t(i)])) << (8 * i);
        at += 4;
        return v;
    }
    std::string string() {
        const uint32_t n = u32();
        if (!ok || end - at < size_t(n) + 1) {
            ok = false;
            return "";
        }
        std::string s(bytes + at, n);
        at += size_t(n) + 1;
        return s;
    }
    std::string signature() {
        if (!ok || at >= end || end - at < size_t(uint8_t(bytes[at])) + 2) {
            ok = false;
            return "";
        }
        const size_t n = uint8_t(bytes[at]);
        std::string s(bytes + at + 1, n);
        at += n + 2;
        return s;
    }
};

// IsEnabled (what Orca and at-spi2-core's launcher set) or ScreenReaderEnabled, from the
// a{sv} of Properties.GetAll.
bool statusWanted(Reader &r) {
    const uint32_t length = r.u32();
    r.align(8);
    if (!r.ok || r.end - r.at < length)
        return false;
    const size_t end = r.at + length;
    bool wanted = false;
    while (r.ok && r.at < end) {
        r.align(8);
        const std::string name = r.string(), type = r.signature();
        if (type != "b")
            break; // the status has booleans only
        const bool on = r.u32() != 0;
        wanted = wanted || (on && (name == "IsEnabled" || name == "ScreenReaderEnabled"));
    }
    return r.ok && wanted;
}

} // namespace

std::string methodCall(uint32_t serial, uint8_t flags, const char *destination, const char *path,
                       const char *interface, const char *member, const char *argument) {
    Writer w;
    w.bytes = std::string("l") + char(METHOD_CALL) + char(flags) + char(1);
    w.u32(0); // the body's length, below
    w.u32(serial);
    w.u32(0); // the header fields' length, below
    w.field(PATH, 'o', path);
    w.field(INTERFACE, 's', interface);
    w.field(MEMBER, 's', member);
    w.field(DESTINATION, 's', destination);
    if (argument != nullptr)
        w.field(SIGNATURE, 'g', "s");
    w.put(12, uint32_t(w.bytes.size() - 16));
    w.align(8);
    const size_t body = w.bytes.size();
    if (argument != nullptr)
        w.string(argument);
    w.put(4, uint32_t(w.bytes.size() - body));
    return w.bytes;
}

StatusMessage readStatusMessage(const char *bytes, size_t size) {
    StatusMessage m;
    if (size < 16)
        return m;
    if (bytes[0] != 'l') { // a big-endian peer: beyond what this knows
        m.kind = StatusMessage::BAD;
        return m;
    }
    Reader r{bytes, 4, size};
    const uint32_t bodyLength = r.u32();
    r.u32(); // serial
    const uint32_t fieldsLength = r.u32();
    const size_t bodyAt = (16 + size_t(fieldsLength) + 7) / 8 * 8;
    if (fieldsLength > STATUS_MESSAGE_LIMIT || bodyLength > STATUS_MESSAGE_LIMIT ||
        bodyAt + bodyLength > STATUS_MESSAGE_LIMIT) {
        m.kind = StatusMessage::BAD;
        return m;
    }
    if (size < bodyAt + bodyLength)
        return m;
    m.length = bodyAt + bodyLength;
    r.end = 16 + fieldsLength;
    while (r.ok && r.at < r.end) {
        r.align(8);
        if (!r.ok || r.at >= r.end)
            break;
        const uint8_t code = uint8_t(bytes[r.at++]);
        const std::string type = r.signature();
        if (type == "u") {
            const uint32_t value = r.u32();
            if (code == REPLY_SERIAL)
                m.replySerial = value;
        } else if (type == "g") {
            r.signature();
        } else if (type == "s" || type == "o") {
            r.string();
        } else {
            break; // no header field has another type
        }
    }
    switch (uint8_t(bytes[1])) {
    case METHOD_RETURN: {
        m.kind = StatusMessage::REPLY;
        Reader body{bytes, bodyAt, m.length};
        m.wanted = statusWanted(body);
        break;
    }
    case ERROR:
        m.kind = StatusMessage::ERROR;
        break;
    case SIGNAL:
        m.kind = StatusMessage::SIGNAL;
        break;
    default: // a call, or a type to be ignored
        m.kind = StatusMessage::OTHER;
        break;
    }
    return m;
}
