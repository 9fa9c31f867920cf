// SPDX-License-Identifier: MIT
// The user interface: start-up, the main window and its widget handles, the radix keys, the
// menu and its windows, and the keys and clicks beyond the widgets' own shortcuts. Grouped
// by the file that defines them. Only forward declarations of toolkit types here, so
// toolkit-free code may call in.
#ifndef NORVIK_UI_UI_H
#define NORVIK_UI_UI_H

#include <string>
#include <vector>

class Fl_Box;
class Fl_Button;
class Fl_Menu_Button;
class Fl_Widget;
class Fl_Window;
struct Fl_Menu_Item;

// ---- main_window.cpp: the main window and start-up

// Set once by makeWindow() and never changed.
extern Fl_Box *text_disp;
extern Fl_Button *zero_button, *one_button, *two_button, *three_button, *four_button, *five_button,
    *six_button, *seven_button, *eight_button, *nine_button;
extern Fl_Button *a_button, *b_button, *c_button, *d_button, *e_button, *f_button;
extern Fl_Button *bin_button, *oct_button, *dec_button, *hex_button;
extern Fl_Button *u_button;
extern Fl_Button *backspace_tricker, *enter_tricker;
extern Fl_Menu_Button *popup_menu;

// Builds the main window, unshown, and sets every handle above.
Fl_Window *makeWindow();

// Everything main() does before the event loop: builds the main and About windows and
// shows the main one in decimal mode. The command line goes to the toolkit. With
// FONTS_ON_A_THREAD the font configuration loads meanwhile (see fonts.cpp); with
// FONTS_WHEN_DRAWN the toolkit loads it when it first draws.
enum FontLoading { FONTS_WHEN_DRAWN, FONTS_ON_A_THREAD };
Fl_Window *startUp(int argc, char **argv, FontLoading fonts = FONTS_WHEN_DRAWN);

// The digit-key groups and how activateDeactivateButtons() switches them: ON activates
// every key of the group, any other value (OFF) deactivates them. Other groups are ignored.
constexpr int LETTER_KEYS = 1; // A..F
constexpr int DIGIT_KEYS = 2;  // 2..9
constexpr int ON = 1, OFF = 2;
void activateDeactivateButtons(int group, int on);

// The main window's callback: closing it or Escape ends the process with status 0.
void mainWindowExitCb(Fl_Widget *, void *);

// ---- radix.cpp

// Switches the radix: 2, 8, 10 or 16. Enables the digit keys of the radix only, lights its
// mode key and shows the shown value in it. Any other radix is stored and changes no key.
void modeButtonsCb(int base);

// The radix a mode key switches to (2, 8, 10, 16); 0 for any other widget.
int modeKeyRadix(const Fl_Widget *key);

// ---- menu.cpp: the right-click menu and the windows it opens

// The menu's items (About, Keyboard Shortcuts, Quit), ended by an all-zero record.
extern Fl_Menu_Item menu_popup_menu[];

// The About window: built hidden by makeAboutWindow(), shown by aboutCb(), hidden by its
// ok button.
extern Fl_Window *about_window;
Fl_Window *makeAboutWindow();
void aboutCb();

// Builds the shortcuts window on first use, then centres it under the pointer and shows it.
void shortcutCb();
// The shortcuts window, or null until it is first asked for.
Fl_Window *shortcutWindow();

// ---- clipboard.cpp

// Copies the displayed value, as a programmer writes it, to the clipboard and on X11 to
// the primary selection too.
void copyCb();

// Asks for the clipboard (1) or the primary selection (0). A number arriving from it
// becomes the entry; anything else rings the bell and changes nothing.
void pasteCb(int clipboard);

// The user typed or clicked while a paste was still waiting for its text: the text is
// dropped when it comes, so that it cannot overwrite what they did meanwhile.
void pasteOvertaken();

// ---- events.cpp

// Keys and clicks beyond the widgets' own shortcuts (copy, paste, keypad Enter, a middle
// click on the display, the keyboard focus) and guards against toolkit faults. Installs
// handlers only.
void installEventHandlers();

// A key press or release as the toolkit gave it, held back while a screen reader decides
// whether the key is its own: what the toolkit knew of it, and what AT-SPI tells of a key
// (the window system's key symbol with the modifiers applied, key code, modifiers, time).
struct HeldKey {
    int event = 0; // FL_KEYBOARD or FL_KEYUP
    Fl_Window *window = nullptr;
    int fltkKeysym = 0, originalKeysym = 0, state = 0, x = 0, y = 0, xRoot = 0, yRoot = 0;
    unsigned long time = 0; // the window system's time stamp of the event
    bool release = false;
    unsigned keysym = 0, keycode = 0, modifiers = 0;
    std::string text;
};
// The key event the toolkit is handling now; and one held earlier, handled now as if it
// came now (in a window that is gone: the first one shown).
HeldKey holdKey(int event, Fl_Window *window);
void replayKey(const HeldKey &key);

// ---- keyboard.cpp: the keyboard focus

// For a key press in the main window: Tab, Shift+Tab and the arrows move the focus among
// the keys in reading order; Space is let through only to a key the user put the focus
// on; Shift+F10 and the Menu key open the menu at the focused key; Ctrl+F1 shows the
// display's tooltip (Escape or Ctrl+F1 hides it again). Returns 1 where the key was
// handled here.
int focusKeys();

// Has the focused key drawn with a mark that stands out on every key face. After the
// window is shown (a scheme given on the command line changes the boxes).
void installFocusMark();

// Puts the keyboard focus on `key` as Tab does (null: on the window, no key).
void chooseFocus(Fl_Widget *key);

// Whether a tooltip is up (the display's is the only one), by Ctrl+F1 or a resting pointer.
bool tooltipShown();

// Shift, Ctrl, Alt, AltGr, the Super keys and the locks: keys that type nothing alone.
bool isModifierKey(int key);

// The 36 keys as they stand on screen: row by row, left to right.
const std::vector<Fl_Widget *> &readingOrder();

// After the toolkit has handled an event in the main window: a key that took the focus
// (its shortcut typed, or clicked) gives it back to the key the user chose, or to the
// window.
void keepChosenFocus();

// ---- focus_x11.cpp

// On X11: the window keeps the focus while another client grabs the keyboard for a moment
// (a screen reader's command key, a window manager's binding); see there.
void keepFocusThroughGrabs();

// ---- labels.cpp: every text drawn whole, whatever fonts the machine has

// A fitted label is drawn at its label size where it fits its room, else the largest size
// down to SMALLEST_LABEL_SIZE that fits, in the font the machine gives: its box's inside,
// clear of the frame (LABEL_IN_BOX), or from where its box begins to the window's edges, for
// a text that may run over its box (LABEL_IN_WINDOW). Its label size attribute stays.
constexpr int SMALLEST_LABEL_SIZE = 8;
enum LabelRoom { LABEL_IN_BOX, LABEL_IN_WINDOW };
void fitLabel(Fl_Widget *w, LabelRoom room);
// The room `w`'s label has, in the window's units; and the size `text` is drawn at there.
void labelRoom(const Fl_Widget *w, int &roomW, int &roomH);
int labelSizeFor(const Fl_Widget *w, const char *text);
// How a fitted label was last drawn, or before it is first drawn would be: its size, its line
// height and the width of a character (the fitted texts are monospace), and the rectangle its
// lines were laid out in (each line at its top, aligned as the widget's label), in units of
// its window. All 0 for a widget whose label is not fitted.
struct LabelLayout {
    int size = 0, lineHeight = 0, x = 0, y = 0, w = 0, h = 0;
    double charWidth = 0; // as the font gives it: a fraction of a unit on a scaled screen
};
LabelLayout labelLayout(const Fl_Widget *w);

// ---- compose.cpp

// Gives the input method a Compose table of norvik's own (the dead-key and Compose
// sequences that type its keys' characters) instead of the locale's whole one, unless the
// user has a table of their own. Must run before the display is opened; where it cannot
// be done the locale's table is used, as before.
void useOwnComposeTable();

// ---- fonts.cpp

// Starts loading the font configuration on a thread of its own; fontsLoaded() waits for
// it. startUp() runs the thread only while the program itself neither uses fonts nor
// changes the environment.
void startLoadingFonts();
void fontsLoaded();

// ---- desktop.cpp

// The window class "norvik" and the window icon, for windows shown from now on.
void setDesktopIdentity();

#endif
