// SPDX-License-Identifier: MIT
// Keys and clicks beyond the widgets' own shortcuts: copy and paste, keypad Enter, a middle
// click on the display, characters composed two at a time, the keyboard; and a guard
// against a fault in FLTK 1.3's popup menus.
#include "ui/selection.h"
#include "ui/ui.h"
#include "a11y/a11y.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>
#if FL_API_VERSION >= 10400
#include <FL/platform.H>
#else
#include <FL/x.H>
#endif

#include <cctype>
#include <cstring>

namespace {

bool isKey(int key, int modifiers) {
    const int held = Fl::event_state() & (FL_SHIFT | FL_CTRL | FL_ALT | FL_META);
    return Fl::event_key() == key && held == modifiers;
}

// Shortcuts that no widget took. Ctrl+C is not the C key's: its shortcut is a plain 'c'.
int clipboardKeys(int event) {
    if (event != FL_SHORTCUT)
        return 0;
    if (isKey('c', FL_CTRL) || isKey(FL_Insert, FL_CTRL)) {
        copyCb();
        return 1;
    }
    if (isKey('v', FL_CTRL) || isKey(FL_Insert, FL_SHIFT)) {
        pasteCb(1);
        return 1;
    }
    return 0;
}

#if FL_API_VERSION < 10400
// FLTK 1.3 crashes when Up, BackSpace or Shift+Tab reaches its popup menu while no menu
// level is current, which the menu takes to be so once the pointer has moved outside it.
// The pointer's moves outside the open menu are therefore not passed on: the menu keeps
// its level, and its keys work wherever the pointer is (a menu opened from the keyboard
// does not open under it). A click outside still closes the menu.
bool unsafeForTheMenu(int event) {
    Fl_Window *menu = Fl::grab();
    if (!menu || (event != FL_MOVE && event != FL_ENTER && event != FL_DRAG))
        return false;
    const int x = Fl::event_x_root() - menu->x(), y = Fl::event_y_root() - menu->y();
    return x < 0 || y < 0 || x >= menu->w() || y >= menu->h();
}
#endif

// The toolkit matches a key's shortcut by the typed character only while Caps Lock is off,
// and by the key's symbol otherwise; so with Caps Lock on, a character typed with Shift
// ("+" on a US keyboard, "=" on a German one, every digit on a French one) would reach no
// key, and an operator typed with AltGr (on a German keyboard "~" is AltGr and "+") would
// reach the key of the symbol it is on. What the user typed is the character: a digit or
// an operator goes on as that character typed on a US keyboard, without Shift and Caps
// Lock, whatever keys typed it. Letters keep their symbols and Shift, which tells a digit
// from a radix key ("b", Shift+"b"), and Caps Lock only changes their case.
void goByTypedCharacter() {
    static const char TYPED_AS_THEMSELVES[] = "0123456789+-*/%|&^~<>=";
    const char typed = Fl::event_length() == 1 ? Fl::event_text()[0] : '\0';
    if (typed != '\0' && std::strchr(TYPED_AS_THEMSELVES, typed) != nullptr &&
        (Fl::event_state() & (FL_CTRL | FL_ALT | FL_META)) == 0) {
        Fl::e_keysym = typed;
        Fl::e_state &= ~(FL_SHIFT | FL_CAPS_LOCK);
    }
}

int handleEvent(int event, Fl_Window *window);

// A dead key followed by a key that it does not combine with gives both characters at
// once ("^3": see the Compose table): each goes on as a key press of its own, as if the
// user had typed "^", Space, "3".
int typeEachCharacter(Fl_Window *window) {
    char *const text = Fl::e_text;
    const int length = Fl::e_length, keysym = Fl::e_keysym, state = Fl::e_state;
    char one[2] = {};
    int handled = 0;
    for (int i = 0; i < length; ++i) {
        one[0] = text[i];
        Fl::e_text = one;
        Fl::e_length = 1;
        Fl::e_keysym = std::tolower(static_cast<unsigned char>(text[i])); // as keys give letters
        Fl::e_state = state;
        handled |= handleEvent(FL_KEYBOARD, window);
    }
    Fl::e_text = text;
    Fl::e_length = length;
    Fl::e_keysym = keysym;
    Fl::e_state = state;
    return handled;
}

bool printableAscii(const char *text, int length) {
    for (int i = 0; i < length; ++i)
        if (text[i] <= ' ' || text[i] > '~')
            return false;
    return true;
}

// Every event passes here before the toolkit handles it, once the screen reader has had
// its say on keys.
int handleEvent(int event, Fl_Window *window) {
    if (event == FL_KEYBOARD) {
        if (Fl::event_length() > 1 && printableAscii(Fl::event_text(), Fl::event_length()))
            return typeEachCharacter(window);
        goByTypedCharacter();
    }
#if FL_API_VERSION < 10400
    if (unsafeForTheMenu(event))
        return 1;
#endif
    if (Fl::grab() != nullptr && Fl::grab()->menu_window())
        followMenuEvent(event);
    // Return closes the About window as its ok button does (Space and Escape already do).
    if (event == FL_KEYBOARD && window == about_window && !Fl::grab() &&
        (isKey(FL_Enter, 0) || isKey(FL_KP_Enter, 0))) {
        about_window->child(1)->do_callback();
        return 1;
    }
    if (window != text_disp->window() || Fl::grab() || Fl::modal())
        return Fl::handle_(event, window);

    // A paste still waiting for its text is dropped once the user does something else.
    if ((event == FL_KEYBOARD && !isModifierKey(Fl::event_key())) || event == FL_PUSH)
        pasteOvertaken();
    if (event == FL_KEYBOARD) {
        if (focusKeys())
            return 1;
        // Unused, the toolkit would spend keypad Enter on moving the keyboard focus.
        if (isKey(FL_KP_Enter, 0)) {
            enter_tricker->do_callback();
            return 1;
        }
    }
    // The middle button pastes the X selection on the display, as into any text field,
    // and presses nothing elsewhere: a paste aimed a little low must not type a digit.
    if ((event == FL_PUSH || event == FL_RELEASE) && Fl::event_button() == FL_MIDDLE_MOUSE) {
        if (event == FL_PUSH && Fl::event_inside(text_disp))
            pasteCb(0);
        return 1;
    }
    const int handled = Fl::handle_(event, window);
    keepChosenFocus();
    return handled;
}

// A key press or release goes to a screen reader first, which may take it for itself: then
// it goes on later, or never.
int dispatch(int event, Fl_Window *window) {
    if ((event == FL_KEYBOARD || event == FL_KEYUP) && screenReaderTakesKey(event, window))
        return 1;
    return handleEvent(event, window);
}

#if FL_API_VERSION < 10400 || FLTK_USE_X11
// The X event of the key being handled, where there is one.
const XKeyEvent *xKeyEvent() {
#if FL_API_VERSION >= 10400
    if (fl_x11_display() == nullptr)
        return nullptr;
#endif
    const bool key =
        fl_xevent != nullptr && (fl_xevent->type == KeyPress || fl_xevent->type == KeyRelease);
    return key ? &fl_xevent->xkey : nullptr;
}
#endif

} // namespace

HeldKey holdKey(int event, Fl_Window *window) {
    HeldKey k;
    k.event = event;
    k.window = window;
    k.fltkKeysym = Fl::e_keysym;
    k.originalKeysym = Fl::e_original_keysym;
    k.state = Fl::e_state;
    k.x = Fl::e_x;
    k.y = Fl::e_y;
    k.xRoot = Fl::e_x_root;
    k.yRoot = Fl::e_y_root;
    k.release = event == FL_KEYUP;
    if (event == FL_KEYBOARD)
        k.text.assign(Fl::e_text, size_t(Fl::e_length));
    k.modifiers = unsigned(Fl::e_state >> 16) & 0xFF; // the toolkit's are X's, shifted
    k.keysym = unsigned(Fl::e_original_keysym);
#if FL_API_VERSION < 10400 || FLTK_USE_X11
    if (xKeyEvent() != nullptr) { // the key as X gave it, with the modifiers applied
        XKeyEvent x = *xKeyEvent();
        char text[8];
        KeySym sym = NoSymbol;
        XLookupString(&x, text, sizeof text, &sym, nullptr);
        k.keysym = unsigned(sym);
        k.keycode = x.keycode;
        k.modifiers = x.state & 0xFFFF;
        k.time = x.time;
    }
#endif
    return k;
}

void replayKey(const HeldKey &k) {
    Fl_Window *window = Fl::first_window();
    for (Fl_Window *w = window; w != nullptr; w = Fl::next_window(w))
        if (w == k.window)
            window = w;
    if (window == nullptr)
        return;
    // What the toolkit holds of the event it handles now (none, or another), for after.
    HeldKey now;
    now.fltkKeysym = Fl::e_keysym;
    now.originalKeysym = Fl::e_original_keysym;
    now.state = Fl::e_state;
    now.x = Fl::e_x;
    now.y = Fl::e_y;
    now.xRoot = Fl::e_x_root;
    now.yRoot = Fl::e_y_root;
    char *const nowText = Fl::e_text;
    const int nowLength = Fl::e_length;
    const auto put = [](const HeldKey &e) {
        Fl::e_keysym = e.fltkKeysym;
        Fl::e_original_keysym = e.originalKeysym;
        Fl::e_state = e.state;
        Fl::e_x = e.x;
        Fl::e_y = e.y;
        Fl::e_x_root = e.xRoot;
        Fl::e_y_root = e.yRoot;
    };
    put(k);
    std::string typed = k.text;
    Fl::e_text = &typed[0];
    Fl::e_length = int(typed.size());
#if FL_API_VERSION < 10400 || FLTK_USE_X11
    const unsigned long then = fl_event_time;
    if (k.time != 0)
        fl_event_time = k.time; // a paste asks for the selection at the key's own time
#endif
    handleEvent(k.event, window);
#if FL_API_VERSION < 10400 || FLTK_USE_X11
    fl_event_time = then;
#endif
    put(now);
    Fl::e_text = nowText;
    Fl::e_length = nowLength;
}

void installEventHandlers() {
    Fl::add_handler(clipboardKeys);
    Fl::event_dispatch(dispatch);
    installSelectionHandler();
    keepFocusThroughGrabs();
    watchWaylandSelections();
}
