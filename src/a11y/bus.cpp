// SPDX-License-Identifier: MIT
// The accessibility bridge's connection, in the toolkit's one thread: norvik on the
// accessibility bus, embedded in the registry, while accessibility is on. It is one file
// descriptor and one timeout in the toolkit's event loop, and may go away at any time;
// then norvik goes on as it would without it. This is the module norvik-a11y.so, which
// status.cpp loads once accessibility is on, and these are its entry points.
#include "a11y/bridge.h"
#include "a11y/events.h"
#include "a11y/interfaces.h"
#include "a11y/model.h"
#include "a11y/words.h"

#include <FL/Fl.H>
#include <systemd/sd-bus.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <string>
#include <utility>
#include <vector>

namespace {

sd_bus *s_session = nullptr;         // null: no session bus, or not yet asked
sd_bus *s_a11y = nullptr;            // null: accessibility off, or not yet joined
int s_sessionFd = -1, s_a11yFd = -1; // the descriptors the event loop watches for them
bool s_wanted = false;               // accessibility is on in the session
bool s_embedded = false;             // the registry has norvik among its applications
bool s_announcementHeard = false;

// Requests handled per turn of the event loop: a flood of calls must not starve the window.
constexpr int REQUESTS_PER_TURN = 64;

void leave(sd_bus *&bus);
void watch(sd_bus *bus);
void changesCb(void *);

void process(sd_bus *bus) {
    int r = 1;
    for (int i = 0; r > 0 && i < REQUESTS_PER_TURN; ++i)
        r = sd_bus_process(bus, nullptr);
    if (r < 0)
        leave(bus == s_a11y ? s_a11y : s_session);
    else
        watch(bus);
}

void readyCb(FL_SOCKET, void *bus) {
    process(static_cast<sd_bus *>(bus));
}

void timeoutCb(void *bus) {
    process(static_cast<sd_bus *>(bus));
}

int &watchedFd(sd_bus *bus) {
    return bus == s_a11y ? s_a11yFd : s_sessionFd;
}

// The descriptor and the timeout the connection waits on now.
void watch(sd_bus *bus) {
    const int fd = sd_bus_get_fd(bus);
    const int events = sd_bus_get_events(bus);
    if (fd < 0 || events < 0)
        return;
    if (watchedFd(bus) >= 0)
        Fl::remove_fd(watchedFd(bus));
    watchedFd(bus) = fd;
    Fl::add_fd(fd, FL_READ | ((events & POLLOUT) ? FL_WRITE : 0), readyCb, bus);
    Fl::remove_timeout(timeoutCb, bus);
    uint64_t until = 0;
    if (sd_bus_get_timeout(bus, &until) >= 0 && until != UINT64_MAX) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const uint64_t nowUs = uint64_t(now.tv_sec) * 1000000u + uint64_t(now.tv_nsec) / 1000u;
        Fl::add_timeout(until > nowUs ? double(until - nowUs) / 1e6 : 0.0, timeoutCb, bus);
    }
}

// After every turn of the event loop: what changed goes out as events.
void changesCb(void *) {
    if (s_a11y != nullptr && s_embedded && reportChanges(s_a11y, s_announcementHeard))
        watch(s_a11y);
}

void leave(sd_bus *&bus) {
    if (bus == nullptr)
        return;
    if (watchedFd(bus) >= 0) // before it is closed: the loop must not wait on a stale one
        Fl::remove_fd(watchedFd(bus));
    watchedFd(bus) = -1;
    Fl::remove_timeout(timeoutCb, bus);
    if (bus == s_a11y) {
        Fl::remove_check(changesCb);
        s_embedded = false;
        leaveKeystrokeListeners();
    }
    sd_bus_close_unref(bus);
    bus = nullptr;
}

// ---- the accessibility bus

// Which events screen readers listen for: the Announcement event, or not.
int registeredCb(sd_bus_message *reply, void *, sd_bus_error *) {
    if (sd_bus_message_is_method_error(reply, nullptr))
        return 0;
    std::vector<std::pair<std::string, std::string>> registered;
    const char *bus = nullptr, *event = nullptr;
    if (sd_bus_message_enter_container(reply, 'a', "(ss)") > 0) {
        while (sd_bus_message_read(reply, "(ss)", &bus, &event) > 0)
            registered.emplace_back(bus, event);
        sd_bus_message_exit_container(reply);
    }
    s_announcementHeard = announcementsHeard(registered);
    return 0;
}

void askRegisteredEvents() {
    sd_bus_call_method_async(s_a11y, nullptr, "org.a11y.atspi.Registry", "/org/a11y/atspi/registry",
                             "org.a11y.atspi.Registry", "GetRegisteredEvents", registeredCb,
                             nullptr, "");
}

int listenersChangedCb(sd_bus_message *, void *, sd_bus_error *) {
    askRegisteredEvents();
    return 0;
}

int embeddedCb(sd_bus_message *reply, void *, sd_bus_error *) {
    const char *bus = nullptr, *path = nullptr;
    if (sd_bus_message_is_method_error(reply, nullptr) ||
        sd_bus_message_read(reply, "(so)", &bus, &path) < 0)
        return 0; // no registry: nobody to be found by
    setDesktop(bus, path);
    s_embedded = true;
    // What the screen reader would have heard had it been there all along: the active
    // window, just activated, and the focus in it.
    lookAtTree(true);
    Fl::remove_check(changesCb);
    Fl::add_check(changesCb);
    return 0;
}

// Into the registry's list of applications, and what its listeners want: at the start, and
// again whenever the registry starts anew (its old list is gone with it).
void embed() {
    const char *name = nullptr;
    if (sd_bus_get_unique_name(s_a11y, &name) < 0)
        return;
    askRegisteredEvents();
    followKeystrokeListeners(s_a11y);
    sd_bus_call_method_async(s_a11y, nullptr, "org.a11y.atspi.Registry",
                             "/org/a11y/atspi/accessible/root", "org.a11y.atspi.Socket", "Embed",
                             embeddedCb, nullptr, "(so)", name, "/org/a11y/atspi/accessible/root");
}

// The registry went away (its clients' listeners with it) or came back.
int registryOwnerCb(sd_bus_message *m, void *, sd_bus_error *) {
    const char *name = nullptr, *before = nullptr, *now = nullptr;
    if (sd_bus_message_read(m, "sss", &name, &before, &now) < 0)
        return 0;
    s_embedded = false;
    Fl::remove_check(changesCb);
    if (now != nullptr && now[0] != '\0')
        embed();
    else
        forgetKeystrokeListeners();
    return 0;
}

// Once the bus has said who norvik is: what to follow, and into the registry.
int connectedCb(sd_bus_message *, void *, sd_bus_error *) {
    for (const char *member : {"EventListenerRegistered", "EventListenerDeregistered"})
        sd_bus_match_signal_async(s_a11y, nullptr, "org.a11y.atspi.Registry",
                                  "/org/a11y/atspi/registry", "org.a11y.atspi.Registry", member,
                                  listenersChangedCb, nullptr, nullptr);
    sd_bus_add_match_async(s_a11y, nullptr,
                           "type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',"
                           "arg0='org.a11y.atspi.Registry'",
                           registryOwnerCb, nullptr, nullptr);
    embed();
    return 0;
}

// Joins the accessibility bus at `address`: the tree on it, and the rest once connected.
void connectTo(const char *address) {
    sd_bus *bus = nullptr;
    if (sd_bus_new(&bus) < 0)
        return;
    if (sd_bus_set_address(bus, address) < 0 || sd_bus_set_bus_client(bus, 1) < 0 ||
        sd_bus_set_connected_signal(bus, 1) < 0 || !exportTree(bus) ||
        sd_bus_match_signal(bus, nullptr, "org.freedesktop.DBus.Local", nullptr,
                            "org.freedesktop.DBus.Local", "Connected", connectedCb, nullptr) < 0 ||
        sd_bus_start(bus) < 0) {
        sd_bus_unref(bus);
        return;
    }
    s_a11y = bus;
    watch(s_a11y);
}

int addressCb(sd_bus_message *reply, void *, sd_bus_error *) {
    const char *address = nullptr;
    if (!s_wanted || s_a11y != nullptr || sd_bus_message_is_method_error(reply, nullptr) ||
        sd_bus_message_read(reply, "s", &address) < 0 || address[0] == '\0')
        return 0;
    connectTo(address);
    return 0;
}

} // namespace

void watchBus(sd_bus *bus) {
    watch(bus);
}

// Accessibility is on: to the accessibility bus, which AT_SPI_BUS_ADDRESS names where set
// (as every toolkit reads it first), else the session bus.
extern "C" void norvikA11yJoin() {
    s_wanted = true;
    const char *address = std::getenv("AT_SPI_BUS_ADDRESS");
    if (s_a11y == nullptr && address != nullptr && address[0] != '\0') {
        connectTo(address);
        return;
    }
    if (s_a11y != nullptr || (s_session == nullptr && sd_bus_open_user(&s_session) < 0))
        return;
    sd_bus_call_method_async(s_session, nullptr, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus",
                             "GetAddress", addressCb, nullptr, "");
    watch(s_session);
}

// Accessibility is off again: norvik leaves the accessibility bus.
extern "C" void norvikA11yLeave() {
    s_wanted = false;
    leave(s_a11y);
}

extern "C" void norvikA11yAnnounce(const char *text) {
    if (s_a11y != nullptr && s_embedded) {
        speak(s_a11y, text, s_announcementHeard);
        watch(s_a11y);
    }
}

extern "C" void norvikA11yFollowMenu(int event) {
    if (s_a11y != nullptr)
        followMenu(event);
}
