// SPDX-License-Identifier: MIT
// Where the accessible objects are: each one's rectangle, and each character of a window's
// text, in the logical pixels of the coordinates a client asks for, at the screen's scale.
#include "a11y/model.h"
#include "a11y/model_nodes.h"
#include "ui/ui.h"

#include <FL/Fl.H>
#include <FL/Fl_Widget.H>
#include <FL/Fl_Window.H>
#if FL_API_VERSION >= 10400
#include <FL/platform.H>
#endif

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

float scaleOf(Fl_Window *w) { // not const: screen_num() is not
#if FL_API_VERSION >= 10400
    return Fl::screen_scale(w->screen_num());
#else
    (void)w;
    return 1;
#endif
}

// Where no client knows where its windows are.
bool onWayland() {
#if FL_API_VERSION >= 10400 && FLTK_USE_WAYLAND
    return fl_wl_display() != nullptr;
#else
    return false;
#endif
}

// A rectangle in `window`'s units, from the window's inside, to logical pixels of `coords`
// (the parent's coordinates are the window's: every object is a window's direct child).
TextBox toPixels(Fl_Window *window, TextBox b, uint32_t coords) {
    const float scale = scaleOf(window);
    if (coords == COORDS_SCREEN && onWayland())
        return {0, 0, int(b.w * scale), int(b.h * scale)}; // as GTK 4 answers there
    if (coords == COORDS_SCREEN) {
        b.x += window->x_root();
        b.y += window->y_root();
    }
    return {int(b.x * scale), int(b.y * scale), int(b.w * scale), int(b.h * scale)};
}

// The window a node is drawn in, and its rectangle there in units.
Fl_Window *placeOf(int id, TextBox &box) {
    const Kind kind = kindOf(id);
    Fl_Window *window = kind == Kind::MENU || kind == Kind::ITEM ? openMenu() : nullptr;
    Fl_Widget *widget = window ? window : widgetOf(id);
    if (widget == nullptr)
        return nullptr;
    if (window == nullptr)
        window = widget->as_window() ? widget->as_window() : widget->window();
    const bool whole = widget == window;
    box = {whole ? 0 : widget->x(), whole ? 0 : widget->y(), widget->w(), widget->h()};
    if (kind == Kind::ITEM) { // equally high items
        box.h = window->h() / itemCount();
        box.y = box.h * menuItemOf(id);
    }
    return window;
}

// How a window's text is drawn, for the places of its lines and characters: in pixels of
// `coords`, from where its window is (on Wayland's screen, from (0, 0)).
bool geometryOf(int id, Fl_Window *window, uint32_t coords, TextGeometry &g) {
    const Fl_Widget *w = widgetOf(id);
    if (kindOf(id) != Kind::TEXT || w == nullptr)
        return false;
    const LabelLayout l = labelLayout(w);
    const TextBox origin = toPixels(window, TextBox{}, coords);
    const double scale = scaleOf(window);
    g = {origin.x + l.x * scale, origin.y + l.y * scale, l.w * scale,
         l.lineHeight * scale,   l.charWidth * scale,    w == about_window->child(0)};
    return l.size > 0;
}

} // namespace

// A window's text may reach out of its widget into the window (see fitLabel()): its
// place is the widget's and its lines'.
TextBox extentsOf(int id, uint32_t coords) {
    TextBox box;
    TextGeometry g;
    Fl_Window *window = placeOf(id, box);
    if (window == nullptr)
        return TextBox{};
    box = toPixels(window, box, coords);
    if (!geometryOf(id, window, coords, g))
        return box;
    const TextBox text = rangeBox(textOf(id), g, 0, INT_MAX);
    const int right = std::max(box.x + box.w, text.x + text.w);
    const int bottom = std::max(box.y + box.h, text.y + text.h);
    box.x = std::min(box.x, text.x);
    box.y = std::min(box.y, text.y);
    return {box.x, box.y, right - box.x, bottom - box.y};
}

bool containsPoint(int id, int x, int y, uint32_t coords) {
    if (coords == COORDS_SCREEN && onWayland())
        return false;
    const TextBox b = extentsOf(id, coords);
    return x >= b.x && y >= b.y && x < b.x + b.w && y < b.y + b.h;
}

TextBox characterExtents(int id, int offset, uint32_t coords) {
    return rangeExtents(id, offset, offset < INT_MAX ? offset + 1 : offset, coords);
}

TextBox rangeExtents(int id, int start, int end, uint32_t coords) {
    TextGeometry g;
    TextBox box;
    Fl_Window *window = placeOf(id, box);
    if (window == nullptr)
        return TextBox{};
    if (!geometryOf(id, window, coords, g))
        return extentsOf(id, coords); // every character is the whole node
    return int64_t(end) - start <= 1 ? characterBox(textOf(id), g, start)
                                     : rangeBox(textOf(id), g, start, end);
}

int offsetAtPoint(int id, int x, int y, uint32_t coords) {
    TextGeometry g;
    TextBox box;
    Fl_Window *window = placeOf(id, box);
    if (window == nullptr || !containsPoint(id, x, y, coords))
        return -1;
    if (!geometryOf(id, window, coords, g))
        return 0; // the whole node is its text's first character
    return offsetAt(textOf(id), g, x, y);
}
