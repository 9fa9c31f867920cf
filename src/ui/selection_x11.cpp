// SPDX-License-Identifier: MIT
// The X11 selections, asked for and read by norvik itself on the toolkit's connection, with
// a window of its own as the requestor. The toolkit's own paste asks for UTF8_STRING only
// (1.3) and reads a text sent in pieces (INCR) either corrupting its heap (1.3) or in a loop
// that drops every key typed meanwhile (1.4). Here the targets are asked for in turn, as
// older owners expect (UTF8_STRING, then STRING, then TEXT), and the pieces come as events
// like any other. Owning the selection stays the toolkit's, but for its list of targets,
// which here names TARGETS too.
#include "ui/selection.h"

#include <FL/Fl.H>
#if FL_API_VERSION >= 10400
#include <FL/platform.H>
#else
#include <FL/x.H>
#endif

#if FL_API_VERSION < 10400 || FLTK_USE_X11
#include <X11/Xatom.h>

#include <string>

namespace {

Display *display() {
#if FL_API_VERSION >= 10400
    return fl_x11_display();
#else
    return fl_display;
#endif
}

enum { UTF8_STRING, STRING, TEXT, INCR, TARGETS, CLIPBOARD, ATOM_COUNT };
const char *const ATOM_NAMES[ATOM_COUNT] = {"UTF8_STRING", "STRING",  "TEXT",
                                            "INCR",        "TARGETS", "CLIPBOARD"};
constexpr int TEXT_TARGETS = 3; // UTF8_STRING, STRING and TEXT, asked for in this order

// One request and its answer. The transfers of earlier requests may still be under way
// (an owner that takes its time, a long text in pieces): each has a property of its own,
// so that their pieces never mix with the latest one's.
struct Transfer {
    Atom property = None;
    Time asked = CurrentTime; // the request's time stamp, which its answer carries
    int target = 0;           // the target asked for, of the text targets
    bool pieces = false;      // the text comes in pieces (INCR)
    bool tooLong = false;     // more than a number came: the rest is dropped unread
    std::string text;
};
constexpr int TRANSFERS = 4;
Transfer s_transfers[TRANSFERS];
int s_latest = 0;
Window s_window = None; // the requestor: made on first use, kept for the whole run
Atom s_atoms[ATOM_COUNT];

bool latest(const Transfer &t) {
    return &t == &s_transfers[s_latest];
}

void ask(Display *d, Atom selection, Transfer &t) {
    XConvertSelection(d, selection, s_atoms[t.target], t.property, s_window, t.asked);
    XFlush(d);
}

// The answer to a request: the text whole, its first piece's announcement, or none. An
// answer that is no longer awaited is dropped unread, and its transfer ended as the owner
// expects.
void answered(Display *d, const XSelectionEvent &e) {
    for (Transfer &t : s_transfers) {
        if (t.asked != e.time || t.property == None)
            continue;
        if (e.property == None) { // no owner, or not this target
            if (latest(t) && pasteAwaited() && ++t.target < TEXT_TARGETS)
                ask(d, e.selection, t);
            else if (latest(t))
                pasteNothing();
            return;
        }
        const bool reading = latest(t) && pasteAwaited();
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        const long words = reading ? long(SELECTION_READ_LIMIT / 4 + 1) : 0;
        if (XGetWindowProperty(d, s_window, t.property, 0, words, False, AnyPropertyType, &type,
                               &format, &count, &after, &data) != Success)
            type = None;
        XDeleteProperty(d, s_window, t.property); // for INCR: the owner's cue to begin
        if (type == s_atoms[INCR]) {
            t.pieces = true;
            t.tooLong = false;
            t.text.clear();
        } else if (!latest(t)) {
        } else if (format != 8 || type == None) {
            pasteNothing();
        } else if (after > 0 || count > SELECTION_READ_LIMIT) {
            pasteTooLong();
        } else {
            pasteArrived(reading ? reinterpret_cast<const char *>(data) : nullptr, count);
        }
        if (data != nullptr)
            XFree(data);
        return;
    }
}

// A piece of a text sent in pieces; an empty one ends it.
void pieceCame(Display *d, const XPropertyEvent &e) {
    for (Transfer &t : s_transfers) {
        if (t.property != e.atom || !t.pieces)
            continue;
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        const bool reading = latest(t) && pasteAwaited() && !t.tooLong;
        const long room = long(SELECTION_READ_LIMIT - t.text.size()) / 4 + 1;
        const bool read =
            XGetWindowProperty(d, s_window, t.property, 0, reading ? room : 0, False,
                               AnyPropertyType, &type, &format, &count, &after, &data) == Success;
        XDeleteProperty(d, s_window, t.property); // the owner's cue for the next piece
        const bool last = !read || (count == 0 && after == 0);
        if (reading && (after > 0 || t.text.size() + count > SELECTION_READ_LIMIT))
            t.tooLong = true;
        else if (reading && format == 8)
            t.text.append(reinterpret_cast<const char *>(data), count);
        if (data != nullptr)
            XFree(data);
        if (!last)
            return;
        t.pieces = false;
        if (latest(t) && t.tooLong)
            pasteTooLong();
        else if (latest(t))
            pasteArrived(pasteAwaited() ? t.text.data() : nullptr, t.text.size());
        t.text = std::string();
        return;
    }
}

// Where norvik owns a selection, its list of targets, which the toolkit gives without
// TARGETS itself.
bool answerTargets(Display *d, const XSelectionRequestEvent &r) {
    if (r.target != s_atoms[TARGETS] ||
        (r.selection != XA_PRIMARY && r.selection != s_atoms[CLIPBOARD]))
        return false;
    const Atom property = r.property != None ? r.property : r.target; // as old requestors ask
    const Atom targets[] = {s_atoms[TARGETS], s_atoms[UTF8_STRING], XA_STRING, s_atoms[TEXT]};
    XChangeProperty(d, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(targets), 4);
    XEvent notify{};
    notify.xselection.type = SelectionNotify;
    notify.xselection.requestor = r.requestor;
    notify.xselection.selection = r.selection;
    notify.xselection.target = r.target;
    notify.xselection.property = property;
    notify.xselection.time = r.time;
    XSendEvent(d, r.requestor, False, NoEventMask, &notify);
    return true;
}

// The requestor window and the atoms, made on first use: a start-up pays for none of it.
void makeRequestor(Display *d) {
    XSetWindowAttributes a{};
    a.event_mask = PropertyChangeMask;
    s_window = XCreateWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, InputOnly, CopyFromParent,
                             CWEventMask, &a);
    XInternAtoms(d, const_cast<char **>(ATOM_NAMES), ATOM_COUNT, False, s_atoms);
    s_atoms[STRING] = XA_STRING;
    for (int i = 0; i < TRANSFERS; ++i)
        s_transfers[i].property =
            XInternAtom(d, ("NORVIK_PASTE_" + std::to_string(i)).c_str(), False);
}

int selectionEventCb(void *event, void *) {
    Display *d = display();
    if (event == nullptr || d == nullptr) // on Wayland the toolkit calls with none
        return 0;
    const XEvent &e = *static_cast<const XEvent *>(event);
    if (e.type == SelectionRequest) { // after a copy only: nothing is made before
        if (s_window == None)
            makeRequestor(d);
        return answerTargets(d, e.xselectionrequest);
    }
    if (s_window == None)
        return 0;
    if (e.type == SelectionNotify && e.xselection.requestor == s_window)
        answered(d, e.xselection);
    else if (e.type == PropertyNotify && e.xproperty.window == s_window &&
             e.xproperty.state == PropertyNewValue)
        pieceCame(d, e.xproperty);
    else
        return 0;
    return 1;
}

} // namespace

bool askX11Selection(bool clipboard) {
    Display *d = display();
    if (d == nullptr)
        return false;
    if (s_window == None)
        makeRequestor(d);
    Transfer &last = s_transfers[s_latest];
    s_latest = (s_latest + 1) % TRANSFERS;
    Transfer &t = s_transfers[s_latest];
    // The key press's or click's own time, as the conventions want it; each request's is
    // its own, which tells its answer from a late one to an earlier request.
    t.asked =
        fl_event_time != CurrentTime && fl_event_time > last.asked ? fl_event_time : last.asked + 1;
    t.target = 0;
    t.pieces = false;
    ask(d, clipboard ? s_atoms[CLIPBOARD] : XA_PRIMARY, t);
    return true;
}

// Before the toolkit sees an event: norvik's own requests' answers, and its list of targets.
void installSelectionHandler() {
    Fl::add_system_handler(selectionEventCb, nullptr);
}

#else

bool askX11Selection(bool) {
    return false;
}
void installSelectionHandler() {}

#endif
