// SPDX-License-Identifier: MIT
// The keys a screen reader may want for itself. A screen reader that does not watch the
// keyboard itself (Orca 43, and later ones on compositors without a keyboard monitor)
// sees a key only if the application hands it over to the registry first, and a key it
// consumes (Where Am I, flat review, learn mode) must then do nothing in the application.
//
// Each key press and release is held back while the registry has keystroke listeners, and
// handed over with NotifyListenersSync; the event loop goes on meanwhile (norvik answers
// the screen reader's own questions about it), and the key goes on to norvik once its
// answer comes, if it was not consumed. Keys are handed over as they come, without waiting
// for the answers before, and go on in the order they came. A registry that does not
// answer within HOLD_SECONDS has its keys go on as not consumed, and later keys go on at
// once, unheld, until it answers again.
#include "a11y/bridge.h"
#include "ui/ui.h"

#include <FL/Fl.H>
#include <systemd/sd-bus.h>

#include <cstdint>
#include <deque>
#include <string>

namespace {

constexpr char REGISTRY[] = "org.a11y.atspi.Registry";
constexpr char DEC_PATH[] = "/org/a11y/atspi/registry/deviceeventcontroller";
constexpr char DEC[] = "org.a11y.atspi.DeviceEventController";

// As long as the toolkits' own bridges wait for an answer.
constexpr uint64_t HOLD_SECONDS_US = 500000;

enum Answer { WAITING, GO_ON, CONSUMED };
struct Held {
    HeldKey key;
    Answer answer = WAITING;
    sd_bus_slot *slot = nullptr;
};
std::deque<Held> s_held; // in the order the keys came
sd_bus *s_bus = nullptr;
int s_listeners = 0;       // the registry's keystroke listeners
bool s_silent = false;     // the registry let a key wait in vain: keys go on unheld
uint64_t s_generation = 0; // the listeners asked for last: an older answer is stale

// The keys whose answers have come go on to norvik, from the first: a key still waiting
// holds back those behind it. A key may open the menu, whose loop runs until it closes,
// and handles the keys behind it meanwhile.
void release() {
    while (!s_held.empty() && s_held.front().answer != WAITING) {
        Held held = std::move(s_held.front());
        s_held.pop_front();
        sd_bus_slot_unref(held.slot);
        if (held.answer == GO_ON)
            replayKey(held.key);
    }
}

// From the event loop, not from inside the connection's processing, which must not be
// entered again by a loop that a key runs.
void releaseCb(void *) {
    release();
}

int answeredCb(sd_bus_message *reply, void *userdata, sd_bus_error *) {
    const HeldKey *key = static_cast<const HeldKey *>(userdata);
    for (Held &held : s_held) {
        if (&held.key != key)
            continue;
        int consumed = 0;
        const bool answered = !sd_bus_message_is_method_error(reply, nullptr) &&
                              sd_bus_message_read(reply, "b", &consumed) >= 0;
        held.answer = answered && consumed ? CONSUMED : GO_ON;
        if (!answered && sd_bus_message_is_method_error(reply, SD_BUS_ERROR_NO_REPLY)) {
            s_silent = true; // and so are the keys behind it, sent as long ago or less
            for (Held &behind : s_held)
                if (behind.answer == WAITING)
                    behind.answer = GO_ON;
        } else if (answered) {
            s_silent = false;
        }
        break;
    }
    if (!Fl::has_timeout(releaseCb))
        Fl::add_timeout(0, releaseCb);
    return 0;
}

// Any answer from a registry that had fallen silent: keys are held for it again.
int pingedCb(sd_bus_message *reply, void *, sd_bus_error *) {
    if (!sd_bus_message_is_method_error(reply, nullptr))
        s_silent = false;
    return 0;
}

// The key as AT-SPI describes a device event: (type, keysym, keycode, modifiers, time,
// text, is_text), as GTK's bridge sends it.
bool handOver(Held &held) {
    sd_bus_message *m = nullptr;
    const HeldKey &k = held.key;
    const bool text = k.text.size() == 1 && k.text[0] > ' ' && k.text[0] < 0x7f;
    int r =
        sd_bus_message_new_method_call(s_bus, &m, REGISTRY, DEC_PATH, DEC, "NotifyListenersSync");
    if (r >= 0)
        r = sd_bus_message_append(m, "(uinnisb)", uint32_t(k.release ? 1 : 0), int32_t(k.keysym),
                                  int16_t(k.keycode), int16_t(k.modifiers), int32_t(k.time),
                                  k.text.c_str(), text);
    if (r >= 0)
        r = sd_bus_call_async(s_bus, &held.slot, m, answeredCb, &held.key, HOLD_SECONDS_US);
    sd_bus_message_unref(m);
    if (r >= 0)
        watchBus(s_bus);
    return r >= 0;
}

// The registry's keystroke listeners, counted.
int listenersCb(sd_bus_message *reply, void *userdata, sd_bus_error *) {
    if (uint64_t(reinterpret_cast<uintptr_t>(userdata)) != s_generation)
        return 0;
    int count = 0;
    if (!sd_bus_message_is_method_error(reply, nullptr) &&
        sd_bus_message_enter_container(reply, 'a', "(souua(iisi)u(bbb))") > 0) {
        while (sd_bus_message_skip(reply, "(souua(iisi)u(bbb))") > 0)
            ++count;
        sd_bus_message_exit_container(reply);
    }
    s_listeners = count;
    return 0;
}

void askListeners() {
    ++s_generation;
    sd_bus_call_method_async(s_bus, nullptr, REGISTRY, DEC_PATH, DEC, "GetKeystrokeListeners",
                             listenersCb, reinterpret_cast<void *>(uintptr_t(s_generation)), "");
    watchBus(s_bus);
}

int listenersChangedCb(sd_bus_message *, void *, sd_bus_error *) {
    askListeners();
    return 0;
}

} // namespace

void followKeystrokeListeners(sd_bus *bus) {
    if (s_bus != bus) {
        s_bus = bus;
        for (const char *member : {"KeystrokeListenerRegistered", "KeystrokeListenerDeregistered"})
            sd_bus_match_signal_async(bus, nullptr, REGISTRY, DEC_PATH,
                                      "org.a11y.atspi.DeviceEventListener", member,
                                      listenersChangedCb, nullptr, nullptr);
    }
    s_silent = false;
    askListeners();
}

void forgetKeystrokeListeners() {
    ++s_generation;
    s_listeners = 0;
    for (Held &held : s_held)
        if (held.answer == WAITING)
            held.answer = GO_ON;
    if (!s_held.empty() && !Fl::has_timeout(releaseCb))
        Fl::add_timeout(0, releaseCb);
}

void leaveKeystrokeListeners() {
    forgetKeystrokeListeners();
    s_bus = nullptr;
}

// A key press or release that reached norvik: held and handed over (1), or left to norvik
// at once (0).
extern "C" int norvikA11yKey(int event, Fl_Window *window) {
    if (s_bus == nullptr || (s_held.empty() && (s_listeners == 0 || s_silent))) {
        if (s_bus != nullptr && s_silent) // has it come back?
            sd_bus_call_method_async(s_bus, nullptr, REGISTRY, DEC_PATH,
                                     "org.freedesktop.DBus.Peer", "Ping", pingedCb, nullptr, "");
        return 0;
    }
    s_held.push_back(Held{holdKey(event, window)});
    if (s_listeners == 0 || s_silent || !handOver(s_held.back()))
        s_held.back().answer = GO_ON; // behind keys still held: in its turn
    release();
    return 1;
}
