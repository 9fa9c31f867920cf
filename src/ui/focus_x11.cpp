// SPDX-License-Identifier: MIT
// A key grab by another client takes the keyboard for a moment without moving the focus: a
// screen reader's command keys (Orca's flat review grabs the keypad), a window manager's
// bindings. X tells the focused window so with a FocusOut of mode NotifyGrab, and a FocusIn
// of mode NotifyUngrab when the grab ends. The toolkit takes them for the user leaving the
// window and coming back, and a screen reader then hears the window deactivated and
// activated again on each of its own commands, and loses its place. norvik keeps the focus
// through such a grab; a real change of the focus while the keyboard is grabbed still comes
// (NotifyWhileGrabbed), and so do the toolkit's own grabs for its menus.
#include "ui/ui.h"

#include <FL/Fl.H>
#if FL_API_VERSION >= 10400
#include <FL/platform.H>
#else
#include <FL/x.H>
#endif

#if FL_API_VERSION < 10400 || FLTK_USE_X11

namespace {

Window s_kept = None; // the window whose focus another client's grab did not take away

// Each change comes as one event or two (one for the window, one where the pointer is).
int focusEventCb(void *event, void *) {
    if (event == nullptr) // on Wayland the toolkit calls with none
        return 0;
    const XEvent &e = *static_cast<const XEvent *>(event);
    if (e.type != FocusIn && e.type != FocusOut)
        return 0;
    const XFocusChangeEvent &f = e.xfocus;
    const bool grabbing = f.mode == NotifyGrab || f.mode == NotifyUngrab;
    if (e.type == FocusOut && f.mode == NotifyGrab) { // the toolkit's own grabs are its own
        const bool others = Fl::grab() == nullptr && fl_find(f.window) != nullptr;
        s_kept = others ? f.window : None;
        return others ? 1 : 0;
    }
    if (grabbing && s_kept != None && f.window == s_kept)
        return 1;
    if (!grabbing && f.window == s_kept) // the focus moved: the toolkit hears of it
        s_kept = None;
    return 0;
}

} // namespace

void keepFocusThroughGrabs() {
    Fl::add_system_handler(focusEventCb, nullptr);
}

#else

void keepFocusThroughGrabs() {}

#endif
