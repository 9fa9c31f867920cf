// SPDX-License-Identifier: MIT
// The main window: the display, 36 keys, the Enter and BackSpace catchers and the
// right-click menu button, wired one line per widget.
#include "ui/ui.h"
#include "engine/engine.h"
#include "format/display.h"
#include "a11y/a11y.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Preferences.H>
#include <FL/Fl_Window.H>
#include <FL/x.H> // fl_open_display()

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

Fl_Box *text_disp;
Fl_Button *zero_button, *one_button, *two_button, *three_button, *four_button, *five_button,
    *six_button, *seven_button, *eight_button, *nine_button;
Fl_Button *a_button, *b_button, *c_button, *d_button, *e_button, *f_button;
Fl_Button *bin_button, *oct_button, *dec_button, *hex_button;
Fl_Button *u_button;
Fl_Button *backspace_tricker, *enter_tricker;
Fl_Menu_Button *popup_menu;

namespace {

// Colour indices of the default colour map.
constexpr Fl_Color KEY_FACE = 0;         // FL_FOREGROUND_COLOR: black, follows the theme
constexpr Fl_Color KEY_TEXT = 7;         // FL_BACKGROUND2_COLOR: white, follows the theme
constexpr Fl_Color DARK_KEY_FACE = 34;   // FL_GRAY_RAMP + 2: near-black grey
constexpr Fl_Color DISPLAY_SELECT = 219; // fl_color_cube(0, 3, 4): blue
constexpr Fl_Color MODE_SELECT = 80;     // fl_color_cube(3, 0, 0): dark red
constexpr Fl_Color OCT_SELECT = 81;      // fl_color_cube(3, 1, 0): dark orange-red

// The start-up display: the decimal text of 0 without its three leading blanks, which
// right-justified looks the same. A constant, not a heap copy.
const char START_LABEL[] = ".     .     .     .     .     .     .     .     .     .   0";

const char SIGN_KEY_UNSIGNED[] = "U";
const char SIGN_KEY_SIGNED[] = "S";

// One callback per key with its code bound in; the widget and user data are unused.
template <int Digit> void digitKeyCb(Fl_Widget *, void *) {
    numButtonCb(Digit);
}
template <int Code> void operKeyCb(Fl_Widget *, void *) {
    operCb(Code);
}
template <int Code> void specKeyCb(Fl_Widget *, void *) {
    specButtonCb(Code);
}
template <int Base> void modeKeyCb(Fl_Widget *, void *) {
    modeButtonsCb(Base);
}
void backSpaceKeyCb(Fl_Widget *, void *) {
    backSpaceCb();
}

Fl_Button *makeKey(int x, int y, int w, int h, const char *label, Fl_Callback *cb, int shortcut) {
    Fl_Button *b = new Fl_Button(x, y, w, h, label);
    b->color(KEY_FACE);
    b->labelsize(10);
    b->labelcolor(KEY_TEXT);
    b->callback(cb);
    b->shortcut(shortcut);
    return b;
}

// An invisible 5-pixel button in the gap between keypad and operators that gives a
// keyboard key (Enter, BackSpace) its meaning through its shortcut.
Fl_Button *makeCatcher(int x, int y, int w, int h, Fl_Callback *cb, int shortcut) {
    Fl_Button *b = new Fl_Button(x, y, w, h);
    b->box(FL_FLAT_BOX);
    b->callback(cb);
    b->shortcut(shortcut);
    // A button pressed by its shortcut takes the keyboard focus and draws a dotted frame:
    // on a 5-pixel catcher that frame would be a stray speck between the key blocks.
    b->clear_visible_focus();
    return b;
}

void setActive(std::initializer_list<Fl_Button *> keys, int on) {
    for (Fl_Button *key : keys) {
        if (on == ON)
            key->activate();
        else
            key->deactivate();
    }
}

} // namespace

void activateDeactivateButtons(int group, int on) {
    if (group == LETTER_KEYS)
        setActive({a_button, b_button, c_button, d_button, e_button, f_button}, on);
    else if (group == DIGIT_KEYS)
        setActive({two_button, three_button, four_button, five_button, six_button, seven_button,
                   eight_button, nine_button},
                  on);
}

void showSignKey(unsigned int isUnsigned) {
    // The key shows the mode in force and answers to the shortcut of the other one.
    u_button->label(isUnsigned ? SIGN_KEY_UNSIGNED : SIGN_KEY_SIGNED);
    u_button->redraw();
    u_button->shortcut(FL_SHIFT | (isUnsigned ? 's' : 'u'));
}

void mainWindowExitCb(Fl_Widget *, void *) {
    std::exit(0);
}

Fl_Window *makeWindow() {
    Fl_Window *w = new Fl_Window(303, 139, "norvik - Programmers' calculator");
    w->callback(mainWindowExitCb);
    w->align(FL_ALIGN_TOP | FL_ALIGN_INSIDE);

    text_disp = new Fl_Box(2, 5, 300, 27, START_LABEL);
    text_disp->box(FL_DOWN_BOX);
    text_disp->color(FL_BACKGROUND2_COLOR);
    text_disp->selection_color(DISPLAY_SELECT);
    text_disp->labelfont(FL_HELVETICA_BOLD);
    text_disp->labelsize(10);
    text_disp->align(FL_ALIGN_RIGHT | FL_ALIGN_INSIDE);
    text_disp->damage(FL_DAMAGE_CHILD);

    // Creation order is child order and keyboard-focus order: keep it.
    // clang-format off
    //           makeKey(  x,   y,  w,  h, label, callback,               shortcut)
    c_button     = makeKey(  2,  35, 30, 25, "C",   digitKeyCb<12>,         'c');
    d_button     = makeKey( 34,  35, 30, 25, "D",   digitKeyCb<13>,         'd');
    e_button     = makeKey( 66,  35, 30, 25, "E",   digitKeyCb<14>,         'e');
    f_button     = makeKey( 98,  35, 30, 25, "F",   digitKeyCb<15>,         'f');
    eight_button = makeKey(  2,  61, 30, 25, "8",   digitKeyCb<8>,          '8');
    nine_button  = makeKey( 34,  61, 30, 25, "9",   digitKeyCb<9>,          '9');
    a_button     = makeKey( 66,  61, 30, 25, "A",   digitKeyCb<10>,         'a');
    b_button     = makeKey( 98,  61, 30, 25, "B",   digitKeyCb<11>,         'b');
    four_button  = makeKey(  2,  87, 30, 25, "4",   digitKeyCb<4>,          '4');
    five_button  = makeKey( 34,  87, 30, 25, "5",   digitKeyCb<5>,          '5');
    six_button   = makeKey( 66,  87, 30, 25, "6",   digitKeyCb<6>,          '6');
    seven_button = makeKey( 98,  87, 30, 25, "7",   digitKeyCb<7>,          '7');
    zero_button  = makeKey(  2, 113, 30, 25, "0",   digitKeyCb<0>,          '0');
    one_button   = makeKey( 34, 113, 30, 25, "1",   digitKeyCb<1>,          '1');
    two_button   = makeKey( 66, 113, 30, 25, "2",   digitKeyCb<2>,          '2');
    three_button = makeKey( 98, 113, 30, 25, "3",   digitKeyCb<3>,          '3');
    bin_button   = makeKey(232,  35, 34, 25, "BIN", modeKeyCb<2>,           FL_SHIFT | 'b');
    bin_button->selection_color(MODE_SELECT);
    oct_button   = makeKey(200,  35, 30, 25, "OCT", modeKeyCb<8>,           FL_SHIFT | 'o');
    oct_button->selection_color(OCT_SELECT);                  // 81, not 80 like the others: keep
    dec_button   = makeKey(168,  35, 30, 23, "DEC", modeKeyCb<10>,          FL_SHIFT | 'd'); // 23 high, not 25: keep
    dec_button->selection_color(MODE_SELECT);
    dec_button->labelcolor(FL_GREEN);                         // the start-up radix
    hex_button   = makeKey(136,  35, 30, 25, "HEX", modeKeyCb<16>,          FL_SHIFT | 'h');
    hex_button->color(FL_BLACK);                              // fixed 56, not the theme's 0: keep
    hex_button->selection_color(MODE_SELECT);
    hex_button->labelcolor(FL_WHITE);                         // fixed 255, not the theme's 7: keep
    makeKey(268,  87, 34, 25, "<<", operKeyCb<OPT_LSHIFT>,    '<')->color(DARK_KEY_FACE);
    backspace_tricker = makeCatcher(128,  38, 5, 6,         backSpaceKeyCb,         FL_BackSpace);
    enter_tricker     = makeCatcher(130, 123, 5, 5,         operKeyCb<OPT_EQUAL>,   FL_Enter);
    makeKey(136,  61, 30, 25, "+",   operKeyCb<OPT_ADD>,      '+');
    makeKey(168,  61, 30, 25, "-",   operKeyCb<OPT_SUB>,      '-')->labelsize(12); // 12, not 10: keep
    makeKey(168,  87, 30, 25, "&",   operKeyCb<OPT_AND>,      '&');
    makeKey(136,  87, 30, 25, "|",   operKeyCb<OPT_OR>,       '|');
    makeKey(168, 113, 30, 25, "~",   operKeyCb<OPT_NOT>,      '~');
    makeKey(136, 113, 30, 25, "=",   operKeyCb<OPT_EQUAL>,    '=');
    makeKey(200,  61, 30, 25, "*",   operKeyCb<OPT_MUL>,      '*');
    makeKey(232,  87, 34, 25, ">>",  operKeyCb<OPT_RSHIFT>,   '>');
    makeKey(232,  61, 34, 25, "/",   operKeyCb<OPT_DIV>,      '/');
    makeKey(268,  59, 34, 25, "%",   operKeyCb<OPT_MOD>,      '%');                // y 59, not 61: keep
    makeKey(200, 113, 30, 25, "CE",  specKeyCb<OPT_CE>,       FL_CTRL | 'e');
    makeKey(232, 113, 34, 25, "CD",  specKeyCb<OPT_CD>,       FL_CTRL | 'd');
    makeKey(268, 113, 34, 25, "CA",  specKeyCb<OPT_CA>,       FL_CTRL | 'a');
    makeKey(200,  87, 30, 25, "^",   operKeyCb<OPT_XOR>,      '^')->color(DARK_KEY_FACE);
    u_button     = makeKey(268,  35, 34, 25, "U", specKeyCb<OPT_SIGN>,    FL_SHIFT | 's');
    u_button->labelcolor(FL_GREEN);
    // clang-format on

    // Covers the whole window (one pixel wider, three taller) and, as the last child, sees
    // every press first: right clicks open the menu, the others fall through to the keys.
    popup_menu = new Fl_Menu_Button(0, 0, 304, 142);
    popup_menu->hide(); // start-up shows it once the window is complete
    popup_menu->menu(menu_popup_menu);
    popup_menu->type(Fl_Menu_Button::POPUP3);

    w->end();
    return w;
}

// The toolkit reads the command line, but of an option it does not know it only warns and
// goes on; a mistyped option must not start a calculator that seems fine.
static void checkToolkitOptions(int argc, char **argv) {
    int next = 0;
    if (argc > 1 && Fl::args(argc, argv, next) < argc) {
        std::fprintf(stderr,
                     "%s: unknown or incomplete option '%s'\nusage: %s [options]\n"
                     "options are:\n%s\n",
                     argv[0], argv[next], argv[0], Fl::help);
        std::exit(2);
    }
}

#if FL_API_VERSION < 10400 || FLTK_USE_X11
// Where the X server goes away (it ended, or the session did), Xlib's last call: the
// toolkit's own says only "X I/O error". The end is the same, with status 1.
static int serverGoneHandler(Display *display) {
    std::fprintf(stderr, "norvik: the connection to the X server %s is lost; norvik ends\n",
                 DisplayString(display));
    std::exit(1);
}
#endif

Fl_Window *startUp(int argc, char **argv, FontLoading fonts) {
#if FL_API_VERSION >= 10400
    // norvik writes no file: the toolkit may read its preferences, never write them.
    Fl_Preferences::file_access(Fl_Preferences::ALL_READ_OK);
#endif
    // The font thread reads the environment (fontconfig and its XML parser ask it for
    // variables all along), and a variable added meanwhile can move the whole environment
    // away under it. So everything that sets one comes before the thread or after it:
    // the toolkit's -display and -scheme options, the Compose table's variable, and the
    // toolkit's FLTK_SCHEME, which showing the window sets.
    checkToolkitOptions(argc, argv);
    useOwnComposeTable();
    if (fonts == FONTS_ON_A_THREAD)
        startLoadingFonts();
    fl_open_display(); // meanwhile: the display, the input method, the windows built
#if FL_API_VERSION >= 10400 && FLTK_USE_X11
    if (fl_x11_display() != nullptr)
        XSetIOErrorHandler(serverGoneHandler);
#elif FL_API_VERSION < 10400
    XSetIOErrorHandler(serverGoneHandler);
#endif
    Fl_Window *w = makeWindow();
    showDisplayTooltip();
    fitDisplayLabel();
    makeAboutWindow();
    installEventHandlers();
    popup_menu->show();
    g_base = 10;
    setDesktopIdentity();
    fontsLoaded(); // one thread from here on
    w->show(argc, argv);
    installFocusMark();
    activateDeactivateButtons(LETTER_KEYS, OFF);
    activateDeactivateButtons(DIGIT_KEYS, ON);
    // The accessibility bridge waits until the window is drawn: it is nothing a start-up
    // without a screen reader should pay for.
    afterFirstDraw(startAccessibility);
    return w;
}
