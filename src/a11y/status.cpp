// SPDX-License-Identifier: MIT
// Whether a screen reader wants norvik: asked of the session bus once the window is drawn,
// without starting anything, and listened for after. The bridge itself (sd-bus and the
// accessible tree, in the module norvik-a11y.so) is loaded only once accessibility is on:
// a start-up without a screen reader pays for one local socket and a few hundred bytes,
// not for a D-Bus library. So this file speaks the little of D-Bus it needs on its own:
// the EXTERNAL login, Hello, two match rules and Properties.GetAll of org.a11y.Status,
// with the replies and signals that answer them, in little-endian messages.
#include "a11y/a11y.h"

#include <FL/Fl.H>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// ---- the module

struct Module {
    void (*join)();
    void (*leave)();
    void (*announce)(const char *);
    void (*followMenu)(int);
};
Module s_module{};

// Beside the program in a build tree, in its library folder where installed.
bool loadModule() {
    if (s_module.join != nullptr)
        return true;
    char exe[PATH_MAX] = {};
    if (readlink("/proc/self/exe", exe, sizeof exe - 1) <= 0)
        return false;
    const std::string dir = std::string(exe).substr(0, std::string(exe).rfind('/'));
    void *handle = nullptr;
    for (const std::string &path :
         {dir + "/norvik-a11y.so", dir + "/" NORVIK_A11Y_MODULE_DIR "/norvik-a11y.so"})
        if ((handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) != nullptr)
            break;
    if (handle == nullptr)
        return false;
    const auto entry = [&](const char *name) { return dlsym(handle, name); };
    s_module.join = reinterpret_cast<void (*)()>(entry("norvikA11yJoin"));
    s_module.leave = reinterpret_cast<void (*)()>(entry("norvikA11yLeave"));
    s_module.announce = reinterpret_cast<void (*)(const char *)>(entry("norvikA11yAnnounce"));
    s_module.followMenu = reinterpret_cast<void (*)(int)>(entry("norvikA11yFollowMenu"));
    if (!s_module.join || !s_module.leave || !s_module.announce || !s_module.followMenu) {
        s_module = Module{};
        return false;
    }
    return true;
}

void setWanted(bool wanted) {
    if (wanted && loadModule())
        s_module.join();
    else if (!wanted && s_module.leave != nullptr)
        s_module.leave();
}

// ---- messages

constexpr size_t MESSAGE_LIMIT = 1 << 20;
enum Type : uint8_t { METHOD_CALL = 1, METHOD_RETURN = 2, ERROR = 3, SIGNAL = 4 };
enum Field : uint8_t { PATH = 1, INTERFACE = 2, MEMBER = 3, REPLY_SERIAL = 5, DESTINATION = 6 };
constexpr uint8_t NO_AUTO_START = 2;

struct Writer {
    std::string bytes;
    void align(size_t n) { bytes.resize((bytes.size() + n - 1) / n * n, '\0'); }
    void u32(uint32_t v) {
        align(4);
        for (int i = 0; i < 4; ++i)
            bytes += char(v >> (8 * i));
    }
    void put(uint32_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = char(v >> (8 * i));
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

// A method call with at most one string argument.
std::string call(uint32_t serial, uint8_t flags, const char *destination, const char *path,
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
        w.field(Field(8), 'g', "s"); // SIGNATURE
    w.put(12, uint32_t(w.bytes.size() - 16));
    w.align(8);
    const size_t body = w.bytes.size();
    if (argument != nullptr)
        w.string(argument);
    w.put(4, uint32_t(w.bytes.size() - body));
    return w.bytes;
}

// Reads a little-endian message from the front of a buffer.
struct Reader {
    const std::string &bytes;
    size_t at, end;
    bool ok = true;
    void align(size_t n) { at = (at + n - 1) / n * n; }
    uint32_t u32() {
        align(4);
        if (at + 4 > end) {
            ok = false;
            return 0;
        }
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= uint32_t(uint8_t(bytes[at + i])) << (8 * i);
        at += 4;
        return v;
    }
    std::string string() {
        const uint32_t n = u32();
        if (!ok || at + n + 1 > end) {
            ok = false;
            return "";
        }
        std::string s = bytes.substr(at, n);
        at += n + 1;
        return s;
    }
    std::string signature() {
        if (at >= end || at + uint8_t(bytes[at]) + 2 > end) {
            ok = false;
            return "";
        }
        const size_t n = uint8_t(bytes[at]);
        std::string s = bytes.substr(at + 1, n);
        at += n + 2;
        return s;
    }
};

// ---- the connection

int s_fd = -1;
std::string s_input;
bool s_loggedIn = false;
uint32_t s_serial = 0, s_statusSerial = 0;

void hangUp() {
    if (s_fd >= 0) {
        Fl::remove_fd(s_fd);
        close(s_fd);
    }
    s_fd = -1;
}

bool sendAll(const std::string &bytes) {
    if (::send(s_fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL) ==
        ssize_t(bytes.size()))
        return true;
    hangUp();
    return false;
}

void askStatus() {
    s_statusSerial = ++s_serial;
    sendAll(call(s_statusSerial, NO_AUTO_START, "org.a11y.Bus", "/org/a11y/bus",
                 "org.freedesktop.DBus.Properties", "GetAll", "org.a11y.Status"));
}

// IsEnabled (what Orca 43 sets) or ScreenReaderEnabled, from the a{sv} of GetAll.
bool statusWanted(Reader &r) {
    const uint32_t length = r.u32();
    r.align(8);
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

// One whole message from the front of s_input, handled; false if there is none yet.
bool handleMessage() {
    if (s_input.size() < 16)
        return false;
    if (s_input[0] != 'l') { // a big-endian peer: beyond what this knows; stay off
        hangUp();
        return false;
    }
    Reader r{s_input, 4, s_input.size()};
    const uint32_t bodyLength = r.u32();
    r.u32(); // serial
    const uint32_t fieldsLength = r.u32();
    const size_t bodyAt = (16 + size_t(fieldsLength) + 7) / 8 * 8;
    if (bodyAt + bodyLength > MESSAGE_LIMIT) { // nothing this asks for is so long
        hangUp();
        return false;
    }
    if (s_input.size() < bodyAt + bodyLength)
        return false;
    const uint8_t type = uint8_t(s_input[1]);
    uint32_t replySerial = 0;
    r.end = 16 + fieldsLength;
    while (r.ok && r.at < r.end) {
        r.align(8);
        const uint8_t code = uint8_t(s_input[r.at++]);
        const std::string sig = r.signature();
        if (sig == "u") {
            const uint32_t value = r.u32();
            if (code == REPLY_SERIAL)
                replySerial = value;
        } else if (sig == "g")
            r.signature();
        else
            r.string();
    }
    Reader body{s_input, bodyAt, bodyAt + bodyLength};
    if ((type == METHOD_RETURN || type == ERROR) && replySerial == s_statusSerial &&
        s_statusSerial != 0)
        setWanted(type == METHOD_RETURN && statusWanted(body));
    else if (type == SIGNAL) // the status changed, or the accessibility bus came or went
        askStatus();
    s_input.erase(0, bodyAt + bodyLength);
    return s_fd >= 0;
}

void readableCb(FL_SOCKET, void *) {
    char buffer[4096];
    const ssize_t n = recv(s_fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n <= 0) {
        hangUp();
        return;
    }
    s_input.append(buffer, size_t(n));
    if (!s_loggedIn) {
        const size_t line = s_input.find("\r\n");
        if (line == std::string::npos)
            return;
        if (s_input.compare(0, 3, "OK ") != 0) {
            hangUp();
            return;
        }
        s_input.erase(0, line + 2);
        s_loggedIn = true;
        const char *const MATCHES[] = {
            "type='signal',sender='org.a11y.Bus',path='/org/a11y/bus',"
            "interface='org.freedesktop.DBus.Properties',member='PropertiesChanged'",
            "type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',"
            "arg0='org.a11y.Bus'"};
        std::string out = "BEGIN\r\n";
        out += call(++s_serial, 0, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                    "org.freedesktop.DBus", "Hello", nullptr);
        for (const char *match : MATCHES)
            out += call(++s_serial, 0, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                        "org.freedesktop.DBus", "AddMatch", match);
        if (sendAll(out))
            askStatus();
        return;
    }
    while (handleMessage()) {
    }
}

// The session bus's socket: unix:path=... or unix:abstract=..., else $XDG_RUNTIME_DIR/bus.
bool sessionSocket(sockaddr_un &address, socklen_t &length) {
    std::string bus;
    if (const char *env = std::getenv("DBUS_SESSION_BUS_ADDRESS"))
        bus = env;
    else if (const char *runtime = std::getenv("XDG_RUNTIME_DIR"))
        bus = std::string("unix:path=") + runtime + "/bus";
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    for (const char *kind : {"unix:path=", "unix:abstract="}) {
        if (bus.rfind(kind, 0) != 0)
            continue;
        const std::string path = bus.substr(std::strlen(kind), bus.find(',') - std::strlen(kind));
        const bool abstract = kind[5] == 'a';
        if (path.size() + 1 > sizeof address.sun_path)
            return false;
        std::memcpy(address.sun_path + (abstract ? 1 : 0), path.data(), path.size());
        length = socklen_t(offsetof(sockaddr_un, sun_path) + path.size() + (abstract ? 1 : 0));
        return true;
    }
    return false;
}

} // namespace

void startAccessibility() {
    sockaddr_un address;
    socklen_t length = 0;
    if (s_fd >= 0 || !sessionSocket(address, length))
        return; // no session bus: nothing to ask
    s_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s_fd < 0 || connect(s_fd, reinterpret_cast<sockaddr *>(&address), length) != 0) {
        hangUp();
        return;
    }
    const std::string uid = std::to_string(getuid());
    std::string hex;
    for (char c : uid)
        hex += "3" + std::string(1, c); // the uid's digits, as hex of their ASCII codes
    if (sendAll(std::string(1, '\0') + "AUTH EXTERNAL " + hex + "\r\n"))
        Fl::add_fd(s_fd, FL_READ, readableCb);
}

void announce(const char *text) {
    if (s_module.announce != nullptr)
        s_module.announce(text);
}

void followMenuEvent(int event) {
    if (s_module.followMenu != nullptr)
        s_module.followMenu(event);
}
