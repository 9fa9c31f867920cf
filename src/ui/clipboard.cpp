// SPDX-License-Identifier: MIT
// Numbers in and out: the displayed value copied as a programmer writes it, and a pasted
// number taken as the entry.
#include "engine/engine.h"
#include "format/display.h"
#include "format/format.h"
#include "format/number_text.h"
#include "ui/ui.h"
#include "a11y/a11y.h"

#include <FL/Fl.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Widget.H>
#include <FL/fl_ask.H>
#if FL_API_VERSION < 10400
#include <FL/x.H>
#include <X11/Xatom.h>
#endif

#include <cstdint>

namespace {

// How long a paste waits for the text. The toolkit drops an empty selection without a word,
// and an owner may never answer: the user still hears that nothing was pasted.
constexpr double PASTE_WAIT_SECONDS = 1.0;

// Where the last paste stands. Its text is taken only while it is awaited: once the user
// has typed or clicked, or the bell has told them that nothing came, a late text would
// overwrite what they did since.
enum class Paste {
    NONE,      // nothing asked for, or the answer has come
    AWAITED,   // asked for; its text becomes the entry
    OVERTAKEN, // asked for, but a key or click came first: its text is dropped
    GIVEN_UP,  // no answer in time, and the bell has rung for it
};
Paste s_paste = Paste::NONE;

// The bell, the display's flash for those who cannot hear it, and for a screen reader
// the reason.
void refusePaste(const char *why) {
    fl_beep(FL_BEEP_ERROR);
    flashDisplay();
    announce(why);
}

void noAnswerCb(void *) {
    s_paste = Paste::GIVEN_UP;
    refusePaste("nothing to paste");
}

void pasteText(const char *text, size_t length) {
    Fl::remove_timeout(noAnswerCb);
    const Paste was = s_paste;
    s_paste = Paste::NONE;
    if (was == Paste::NONE || was == Paste::GIVEN_UP)
        return; // the bell has told the user already
    uint32_t value = 0;
    if (was == Paste::AWAITED && text != nullptr && parsePasted(text, length, g_base, value))
        enterValueCb(value);
    else
        refusePaste("not a number"); // and nothing else changes
}

#if FL_API_VERSION < 10400
// FLTK 1.3 corrupts its heap when a selection arrives in pieces (the INCR transfer that
// owners use for large texts: a megabyte crashes it). On 1.3 the text is asked for on a
// connection of our own, opened on first use, and taken only when it comes in one piece of
// at most READ_LIMIT bytes; anything bigger is refused unread. Far more than a number.
constexpr long READ_LIMIT = 4096;

struct OwnConnection {
    Display *display = nullptr;
    Window window = 0;
    Atom utf8 = 0, incr = 0, property = 0;
    Time asked = CurrentTime; // the time stamp of the request being answered
};

void selectionArrivedCb(FL_SOCKET, void *);

// Opened on first use and kept; its answers are read whenever they come.
OwnConnection &ownConnection() {
    static OwnConnection c;
    if (c.display == nullptr && (c.display = XOpenDisplay(DisplayString(fl_display)))) {
        c.window = XCreateWindow(c.display, DefaultRootWindow(c.display), 0, 0, 1, 1, 0, 0,
                                 InputOnly, CopyFromParent, 0, nullptr);
        c.utf8 = XInternAtom(c.display, "UTF8_STRING", False);
        c.incr = XInternAtom(c.display, "INCR", False);
        c.property = XInternAtom(c.display, "NORVIK_PASTE", False);
        Fl::add_fd(ConnectionNumber(c.display), FL_READ, selectionArrivedCb);
    }
    return c;
}

void selectionArrivedCb(FL_SOCKET, void *) {
    OwnConnection &c = ownConnection();
    while (XPending(c.display) > 0) {
        XEvent e;
        XNextEvent(c.display, &e);
        if (e.type != SelectionNotify)
            continue;
        // The answer to an earlier request, whose owner took its time, is not this one's.
        const bool current = e.xselection.time == c.asked;
        if (e.xselection.property == None) { // no owner, or no text
            if (current)
                pasteText("", 0);
            continue;
        }
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        const bool read =
            XGetWindowProperty(c.display, c.window, c.property, 0, READ_LIMIT / 4, False,
                               AnyPropertyType, &type, &format, &count, &after, &data) == Success;
        const bool whole = read && type != c.incr && format == 8 && after == 0;
        if (current)
            pasteText(whole ? reinterpret_cast<char *>(data) : nullptr, whole ? count : 0);
        if (data != nullptr)
            XFree(data);
        if (type != c.incr) // an INCR owner waits for the delete to send its pieces
            XDeleteProperty(c.display, c.window, c.property);
        XFlush(c.display);
    }
}

void askForSelection(int clipboard) {
    OwnConnection &c = ownConnection();
    if (c.display == nullptr)
        return; // no answer: the bell rings after PASTE_WAIT_SECONDS
    const Atom selection = clipboard ? XInternAtom(c.display, "CLIPBOARD", False) : XA_PRIMARY;
    // The key press's or click's own time, as the conventions want it; it also tells this
    // request's answer from a late one to an earlier request.
    c.asked =
        fl_event_time != CurrentTime && fl_event_time != c.asked ? fl_event_time : c.asked + 1;
    XConvertSelection(c.display, selection, c.utf8, c.property, c.window, c.asked);
    XFlush(c.display);
    // Writing may have read a quick answer off the socket already: then it never becomes
    // readable for it.
    if (XPending(c.display) > 0)
        selectionArrivedCb(ConnectionNumber(c.display), nullptr);
}
#else
// Fl::paste() hands the text to one widget's handle() alone, with its length, NUL bytes
// included. An Fl_Input would stop at a NUL and stay silent on an empty paste, so this is
// the program's one class of its own: a widget, never shown, that takes FL_PASTE only.
class PasteReceiver : public Fl_Widget {
  public:
    PasteReceiver() : Fl_Widget(0, 0, 0, 0) {}
    void draw() override {}
    int handle(int event) override {
        if (event != FL_PASTE)
            return 0;
        pasteText(Fl::event_text(), static_cast<size_t>(Fl::event_length()));
        return 1;
    }
};

// Made on first use, never deleted: the toolkit delivers to it whenever the text arrives.
Fl_Widget &receiver() {
    static PasteReceiver *r = nullptr;
    if (r == nullptr) {
        Fl_Group *saved = Fl_Group::current();
        Fl_Group::current(nullptr); // a child of no window
        r = new PasteReceiver;
        Fl_Group::current(saved);
    }
    return *r;
}

void askForSelection(int clipboard) {
    Fl::paste(receiver(), clipboard);
}
#endif

} // namespace

void copyCb() {
    const CopyText text = copyText(displayedValue(), g_base, printsUnsigned());
    Fl::copy(text.text, static_cast<int>(text.length), 2); // 2: CLIPBOARD and PRIMARY
}

void pasteCb(int clipboard) {
    Fl::remove_timeout(noAnswerCb);
    Fl::add_timeout(PASTE_WAIT_SECONDS, noAnswerCb);
    s_paste = Paste::AWAITED;
    askForSelection(clipboard);
}

void pasteOvertaken() {
    if (s_paste == Paste::AWAITED)
        s_paste = Paste::OVERTAKEN;
}
