// SPDX-License-Identifier: MIT
// Whether a screen reader wants norvik: asked of the session bus once the window is drawn,
// without starting anything, and listened for after. The bridge itself (sd-bus and the
// accessible tree, in the module norvik-a11y.so) is loaded only once accessibility is on:
// a start-up without a screen reader pays for one local socket and a few hundred bytes,
// not for a D-Bus library. So this file speaks the little of D-Bus it needs on its own:
// the EXTERNAL login, Hello, two match rules and Properties.GetAll of org.a11y.Status,
// with the replies and signals that answer them, in little-endian messages.
#include "a11y/a11y.h"
#include "a11y/status_message.h"

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
    int (*key)(int, Fl_Window *);
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
    s_module.key = reinterpret_cast<int (*)(int, Fl_Window *)>(entry("norvikA11yKey"));
    if (!s_module.join || !s_module.leave || !s_module.announce || !s_module.followMenu ||
        !s_module.key) {
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

constexpr uint8_t NO_AUTO_START = 2;

void askStatus() {
    s_statusSerial = ++s_serial;
    sendAll(methodCall(s_statusSerial, NO_AUTO_START, "org.a11y.Bus", "/org/a11y/bus",
                       "org.freedesktop.DBus.Properties", "GetAll", "org.a11y.Status"));
}

// One whole message from the front of s_input, handled; false if there is none yet.
bool handleMessage() {
    const StatusMessage m = readStatusMessage(s_input.data(), s_input.size());
    if (m.kind == StatusMessage::BAD)
        hangUp();
    if (m.kind == StatusMessage::BAD || m.kind == StatusMessage::INCOMPLETE)
        return false;
    if ((m.kind == StatusMessage::REPLY || m.kind == StatusMessage::ERROR) &&
        m.replySerial == s_statusSerial && s_statusSerial != 0)
        setWanted(m.kind == StatusMessage::REPLY && m.wanted);
    else if (m.kind == StatusMessage::SIGNAL) // the status changed, or the bus came or went
        askStatus();
    s_input.erase(0, m.length);
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
        out += methodCall(++s_serial, 0, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                          "org.freedesktop.DBus", "Hello", nullptr);
        for (const char *match : MATCHES)
            out += methodCall(++s_serial, 0, "org.freedesktop.DBus", "/org/freedesktop/DBus",
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
    const char *off = std::getenv("NO_AT_BRIDGE"); // keeps GTK and Qt programs off it too
    if (s_fd >= 0 || (off != nullptr && off[0] != '\0' && std::strcmp(off, "0") != 0))
        return;
    sockaddr_un address;
    socklen_t length = 0;
    if (sessionSocket(address, length))
        s_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s_fd < 0 || connect(s_fd, reinterpret_cast<sockaddr *>(&address), length) != 0) {
        hangUp();
        // No session bus to ask: an accessibility bus named for norvik all the same is
        // joined, as toolkits join it.
        const char *bus = std::getenv("AT_SPI_BUS_ADDRESS");
        if (bus != nullptr && bus[0] != '\0')
            setWanted(true);
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

bool screenReaderTakesKey(int event, Fl_Window *window) {
    return s_module.key != nullptr && s_module.key(event, window) != 0;
}
