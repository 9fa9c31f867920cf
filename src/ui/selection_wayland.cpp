// SPDX-License-Identifier: MIT
// The Wayland clipboard and primary selection, received by norvik itself. The toolkit's own
// paste reads the owner's pipe until the owner closes it, without a timeout, and then asks
// it a second time for the whole text: a stopped owner froze the window and took the keys
// typed meanwhile, and a huge clipboard was read twice into memory. Here norvik has a data
// device of its own on the seat (a client may have several, and each is told of the
// selections while the client has the keyboard focus), asks for a text type only, and
// reads the pipe through the event loop, at most SELECTION_READ_LIMIT bytes of it. The
// primary selection (zwp_primary_selection_device_manager_v1, where the compositor offers
// it) is read the same way, and a copy sets it too, as on X11. Copying to the clipboard
// stays the toolkit's.
#include "ui/selection.h"

#if NORVIK_WAYLAND_SELECTION
#include "primary-selection-unstable-v1-client-protocol.h"

#include <FL/Fl.H>
#include <FL/platform.H>

#include <wayland-client.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <list>
#include <string>
#include <unistd.h>

namespace {

// The text types asked for, in this order; anything else offered is not text to norvik.
constexpr const char *TEXT_TYPES[] = {"text/plain;charset=utf-8", "text/plain"};

// An offer of a selection, with the best text type it has (or none yet).
struct Offer {
    void *proxy = nullptr; // a wl_data_offer or a zwp_primary_selection_offer_v1
    bool primary = false;
    int type = -1; // into TEXT_TYPES
};

// A text on its way through a pipe: read as it comes, at most SELECTION_READ_LIMIT + 1 bytes.
struct Transfer {
    int fd = -1;
    std::string text;
};

struct Seat {
    wl_seat *seat = nullptr;
    wl_keyboard *keyboard = nullptr; // for the serial a new selection needs
    uint32_t serial = 0;
    wl_data_device_manager *manager = nullptr;
    wl_data_device *device = nullptr;
    zwp_primary_selection_device_manager_v1 *primaryManager = nullptr;
    zwp_primary_selection_device_v1 *primaryDevice = nullptr;
    zwp_primary_selection_source_v1 *primarySource = nullptr; // while norvik owns it
    std::list<Offer> offers;
    Offer *clipboard = nullptr, *primary = nullptr; // the selections now, or none
    std::list<Transfer> transfers;
    const Transfer *latest = nullptr;
    // norvik's own copy, until the compositor has told of it as the new selections: a paste
    // right after a copy takes it as it is. The compositor has, once it has answered a sync
    // sent after the copy.
    std::string copied;
    int copiesUntold = 0;
    bool primaryCopied = false; // the copy set the primary selection too
} s;

void destroy(Offer *o) {
    if (o == nullptr)
        return;
    if (o->primary)
        zwp_primary_selection_offer_v1_destroy(
            static_cast<zwp_primary_selection_offer_v1 *>(o->proxy));
    else
        wl_data_offer_destroy(static_cast<wl_data_offer *>(o->proxy));
    s.offers.remove_if([o](const Offer &each) { return &each == o; });
}

void offered(Offer *o, const char *type) {
    for (int i = 0; i < int(sizeof TEXT_TYPES / sizeof *TEXT_TYPES); ++i)
        if (std::strcmp(type, TEXT_TYPES[i]) == 0 && (o->type < 0 || i < o->type))
            o->type = i;
}

Offer *offerOf(void *proxy);

// The selection is `proxy`'s offer now (null: none); the one before goes.
void selected(Offer *&current, void *proxy) {
    Offer *now = offerOf(proxy);
    if (current != now)
        destroy(current);
    current = now;
}

// ---- offers of the clipboard

void dataOfferType(void *data, wl_data_offer *, const char *type) {
    offered(static_cast<Offer *>(data), type);
}
void dataOfferActions(void *, wl_data_offer *, uint32_t) {}
void dataOfferAction(void *, wl_data_offer *, uint32_t) {}
const wl_data_offer_listener DATA_OFFER = {dataOfferType, dataOfferActions, dataOfferAction};

void deviceOffer(void *, wl_data_device *, wl_data_offer *offer) {
    s.offers.push_back(Offer{offer, false, -1});
    wl_data_offer_add_listener(offer, &DATA_OFFER, &s.offers.back());
}
Offer *offerOf(void *proxy) {
    for (Offer &o : s.offers)
        if (proxy != nullptr && o.proxy == proxy)
            return &o;
    return nullptr;
}
// A drag's offer: the toolkit's own device takes drops, not this one.
void deviceEnter(void *, wl_data_device *, uint32_t, wl_surface *, wl_fixed_t, wl_fixed_t,
                 wl_data_offer *offer) {
    destroy(offerOf(offer));
}
void deviceLeave(void *, wl_data_device *) {}
void deviceMotion(void *, wl_data_device *, uint32_t, wl_fixed_t, wl_fixed_t) {}
void deviceDrop(void *, wl_data_device *) {}
void deviceSelection(void *, wl_data_device *, wl_data_offer *offer) {
    selected(s.clipboard, offer);
}
const wl_data_device_listener DATA_DEVICE = {deviceOffer,  deviceEnter, deviceLeave,
                                             deviceMotion, deviceDrop,  deviceSelection};

// ---- offers of the primary selection

void primaryOfferType(void *data, zwp_primary_selection_offer_v1 *, const char *type) {
    offered(static_cast<Offer *>(data), type);
}
const zwp_primary_selection_offer_v1_listener PRIMARY_OFFER = {primaryOfferType};

void primaryDeviceOffer(void *, zwp_primary_selection_device_v1 *,
                        zwp_primary_selection_offer_v1 *offer) {
    s.offers.push_back(Offer{offer, true, -1});
    zwp_primary_selection_offer_v1_add_listener(offer, &PRIMARY_OFFER, &s.offers.back());
}
void primaryDeviceSelection(void *, zwp_primary_selection_device_v1 *,
                            zwp_primary_selection_offer_v1 *offer) {
    selected(s.primary, offer);
}
const zwp_primary_selection_device_v1_listener PRIMARY_DEVICE = {primaryDeviceOffer,
                                                                 primaryDeviceSelection};

// ---- norvik's own primary selection

void primarySend(void *, zwp_primary_selection_source_v1 *, const char *, int32_t fd) {
    // A number is far shorter than a pipe holds: written at once, never waited for.
    const int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    if (write(fd, s.copied.data(), s.copied.size()) < 0) {
        // the reader went: nothing to do
    }
    close(fd);
}
void primaryCancelled(void *, zwp_primary_selection_source_v1 *source) {
    zwp_primary_selection_source_v1_destroy(source);
    if (s.primarySource == source)
        s.primarySource = nullptr;
}
const zwp_primary_selection_source_v1_listener PRIMARY_SOURCE = {primarySend, primaryCancelled};

void told(void *, wl_callback *callback, uint32_t) {
    wl_callback_destroy(callback);
    --s.copiesUntold;
}
const wl_callback_listener TOLD = {told};

// ---- the keyboard, for its serials only

void keymap(void *, wl_keyboard *, uint32_t, int32_t fd, uint32_t) {
    close(fd);
}
void keyboardEnter(void *, wl_keyboard *, uint32_t serial, wl_surface *, wl_array *) {
    s.serial = serial;
}
void keyboardLeave(void *, wl_keyboard *, uint32_t, wl_surface *) {}
void key(void *, wl_keyboard *, uint32_t serial, uint32_t, uint32_t, uint32_t) {
    s.serial = serial;
}
void modifiers(void *, wl_keyboard *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void repeatInfo(void *, wl_keyboard *, int32_t, int32_t) {}
const wl_keyboard_listener KEYBOARD = {keymap, keyboardEnter, keyboardLeave,
                                       key,    modifiers,     repeatInfo};

void capabilities(void *, wl_seat *seat, uint32_t caps) {
    if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && s.keyboard == nullptr) {
        s.keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(s.keyboard, &KEYBOARD, nullptr);
    }
}
void seatName(void *, wl_seat *, const char *) {}
const wl_seat_listener SEAT = {capabilities, seatName};

// ---- the globals: the first seat, the two device managers

void devices() {
    if (s.seat == nullptr)
        return;
    if (s.manager != nullptr && s.device == nullptr) {
        s.device = wl_data_device_manager_get_data_device(s.manager, s.seat);
        wl_data_device_add_listener(s.device, &DATA_DEVICE, nullptr);
    }
    if (s.primaryManager != nullptr && s.primaryDevice == nullptr) {
        s.primaryDevice =
            zwp_primary_selection_device_manager_v1_get_device(s.primaryManager, s.seat);
        zwp_primary_selection_device_v1_add_listener(s.primaryDevice, &PRIMARY_DEVICE, nullptr);
    }
}

void global(void *, wl_registry *registry, uint32_t name, const char *interface, uint32_t version) {
    const auto bind = [&](const wl_interface *type, uint32_t most) {
        return wl_registry_bind(registry, name, type, version < most ? version : most);
    };
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && s.seat == nullptr) {
        s.seat = static_cast<wl_seat *>(bind(&wl_seat_interface, 4));
        wl_seat_add_listener(s.seat, &SEAT, nullptr);
    } else if (std::strcmp(interface, wl_data_device_manager_interface.name) == 0) {
        s.manager =
            static_cast<wl_data_device_manager *>(bind(&wl_data_device_manager_interface, 3));
    } else if (std::strcmp(interface, zwp_primary_selection_device_manager_v1_interface.name) ==
               0) {
        s.primaryManager = static_cast<zwp_primary_selection_device_manager_v1 *>(
            bind(&zwp_primary_selection_device_manager_v1_interface, 1));
    }
    devices();
}
void globalRemoved(void *, wl_registry *, uint32_t) {}
const wl_registry_listener REGISTRY = {global, globalRemoved};

// ---- reading

// What came through a pipe: read while it comes, told when it ends or runs past the limit.
void readableCb(int fd, void *) {
    for (auto t = s.transfers.begin(); t != s.transfers.end(); ++t) {
        if (t->fd != fd)
            continue;
        char buffer[1024];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (n > 0)
            t->text.append(buffer, size_t(n));
        const bool tooLong = t->text.size() > SELECTION_READ_LIMIT;
        if (n > 0 && !tooLong)
            return; // more to come
        Fl::remove_fd(fd);
        close(fd); // past the limit: read no further
        if (&*t == s.latest && tooLong)
            pasteTooLong();
        else if (&*t == s.latest)
            pasteArrived(pasteAwaited() ? t->text.data() : nullptr, t->text.size());
        if (&*t == s.latest)
            s.latest = nullptr;
        s.transfers.erase(t);
        return;
    }
}

bool onWayland() {
    static bool setUp = false;
    if (fl_wl_display() == nullptr)
        return false;
    if (!setUp) {
        setUp = true;
        wl_registry_add_listener(wl_display_get_registry(fl_wl_display()), &REGISTRY, nullptr);
        wl_display_flush(fl_wl_display());
    }
    return true;
}

} // namespace

void watchWaylandSelections() {
    onWayland();
}

bool askWaylandSelection(bool clipboard) {
    if (!onWayland())
        return false;
    if (s.copiesUntold > 0 && (clipboard || s.primaryCopied)) {
        pasteArrived(s.copied.data(), s.copied.size());
        return true;
    }
    Offer *o = clipboard ? s.clipboard : s.primary;
    int fds[2];
    if (o == nullptr || o->type < 0 || pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        pasteNothing(); // no owner, or nothing offered as text
        return true;
    }
    if (o->primary)
        zwp_primary_selection_offer_v1_receive(
            static_cast<zwp_primary_selection_offer_v1 *>(o->proxy), TEXT_TYPES[o->type], fds[1]);
    else
        wl_data_offer_receive(static_cast<wl_data_offer *>(o->proxy), TEXT_TYPES[o->type], fds[1]);
    close(fds[1]);
    wl_display_flush(fl_wl_display());
    s.transfers.push_back(Transfer{fds[0], std::string()});
    s.latest = &s.transfers.back();
    Fl::add_fd(fds[0], FL_READ, readableCb);
    return true;
}

bool primarySelectionOffered() {
    return !onWayland() || s.primaryDevice != nullptr;
}

void copiedOnWayland(const char *text, size_t length) {
    if (!onWayland())
        return;
    s.copied.assign(text, length);
    s.primaryCopied = s.primaryManager != nullptr && s.primaryDevice != nullptr;
    if (s.primaryCopied) {
        if (s.primarySource != nullptr)
            zwp_primary_selection_source_v1_destroy(s.primarySource);
        s.primarySource = zwp_primary_selection_device_manager_v1_create_source(s.primaryManager);
        zwp_primary_selection_source_v1_add_listener(s.primarySource, &PRIMARY_SOURCE, nullptr);
        for (const char *type : TEXT_TYPES)
            zwp_primary_selection_source_v1_offer(s.primarySource, type);
        zwp_primary_selection_device_v1_set_selection(s.primaryDevice, s.primarySource, s.serial);
    }
    // After the selections set (the toolkit's request for the clipboard went before): its
    // answer comes after the news of them.
    ++s.copiesUntold;
    wl_callback_add_listener(wl_display_sync(fl_wl_display()), &TOLD, nullptr);
    wl_display_flush(fl_wl_display());
}

#else

void watchWaylandSelections() {}
bool askWaylandSelection(bool) {
    return false;
}
bool primarySelectionOffered() {
    return true;
}
void copiedOnWayland(const char *, size_t) {}

#endif
