// SPDX-License-Identifier: MIT
// Numbers in and out: the displayed value copied as a programmer writes it, and a pasted
// number taken as the entry.
#include "engine/engine.h"
#include "format/display.h"
#include "format/format.h"
#include "format/number_text.h"
#include "ui/selection.h"
#include "ui/ui.h"
#include "a11y/a11y.h"

#include <FL/Fl.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Widget.H>
#include <FL/fl_ask.H>

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

// The answer has come: true where it is the awaited paste's; a late one is dropped, and
// one overtaken by the user is refused (the bell has not rung for it yet).
bool answerCame() {
    Fl::remove_timeout(noAnswerCb);
    const Paste was = s_paste;
    s_paste = Paste::NONE;
    if (was == Paste::OVERTAKEN)
        refusePaste("not a number");
    return was == Paste::AWAITED;
}

#if FL_API_VERSION >= 10400
// Where norvik does not fetch the text itself: Fl::paste() hands it to one widget's handle()
// alone, with its length, NUL bytes included. An Fl_Input would stop at a NUL and stay
// silent on an empty paste, so this is a widget, never shown, that takes FL_PASTE only.
class PasteReceiver : public Fl_Widget {
  public:
    PasteReceiver() : Fl_Widget(0, 0, 0, 0) {}
    void draw() override {}
    int handle(int event) override {
        if (event != FL_PASTE)
            return 0;
        if (pasteAwaited() && Fl::event_length() > int(SELECTION_READ_LIMIT))
            pasteTooLong();
        else
            pasteArrived(Fl::event_text(), static_cast<size_t>(Fl::event_length()));
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
#endif

void askForSelection(int clipboard) {
    if (askX11Selection(clipboard != 0) || askWaylandSelection(clipboard != 0))
        return;
#if FL_API_VERSION >= 10400
    Fl::paste(receiver(), clipboard);
#endif
}

} // namespace

bool pasteAwaited() {
    return s_paste == Paste::AWAITED;
}

void pasteArrived(const char *text, size_t length) {
    if (!answerCame())
        return;
    uint32_t value = 0;
    if (text != nullptr && length == 0)
        refusePaste("nothing to paste");
    else if (text != nullptr && parsePasted(text, length, g_base, value))
        enterValueCb(value);
    else
        refusePaste("not a number"); // and nothing else changes
}

void pasteNothing() {
    if (answerCame())
        refusePaste("nothing to paste");
}

void pasteTooLong() {
    if (answerCame())
        refusePaste("not a number");
}

void copyCb() {
    const CopyText text = copyText(displayedValue(), g_base, printsUnsigned());
    Fl::copy(text.text, static_cast<int>(text.length), 2); // 2: CLIPBOARD and PRIMARY (X11)
    copiedOnWayland(text.text, text.length);
}

void pasteCb(int clipboard) {
    if (!clipboard && !primarySelectionOffered())
        return; // a compositor without one: a middle click pastes nothing
    Fl::remove_timeout(noAnswerCb);
    Fl::add_timeout(PASTE_WAIT_SECONDS, noAnswerCb);
    s_paste = Paste::AWAITED;
    askForSelection(clipboard);
}

void pasteOvertaken() {
    if (s_paste == Paste::AWAITED)
        s_paste = Paste::OVERTAKEN;
}
