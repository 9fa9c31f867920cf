// SPDX-License-Identifier: MIT
// The font configuration, loaded on a thread of its own while the window is being built.
//
// Reading fontconfig's configuration is the largest piece of norvik's start-up, and the
// toolkit would first ask for it when it first draws, after the window is mapped. Opening
// the display and building the windows need no fonts, so it is loaded meanwhile, on a
// second core (with FLTK 1.4 too, whose pango loads it on a thread of its own, but only at
// the first draw). All program logic stays on the main thread, which waits for the font
// thread before it shows the window. Meanwhile it neither uses fonts, so the two never
// load the configuration at once (fontconfig installs a loaded configuration atomically,
// but two loads running together both parse it, and valgrind's race detector flags that
// parsing), nor changes the environment, which the thread reads (see startUp()).
#include "ui/ui.h"

#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <locale.h> // duplocale, uselocale
#include <system_error>
#include <thread>

namespace {

std::thread s_fontThread;
// The thread reads numbers and characters in a locale of its own, a copy of the program's
// at its start: opening the display sets the program's character type meanwhile.
locale_t s_fontLocale = locale_t(0);

} // namespace

void startLoadingFonts() {
    s_fontLocale = duplocale(LC_GLOBAL_LOCALE);
    try {
        s_fontThread = std::thread([] {
            if (s_fontLocale != locale_t(0))
                uselocale(s_fontLocale); // the thread's until it ends
            FcInit();
        });
        // A start-up that ends early (a bad option, no display) waits for the thread too:
        // a running thread must not be destroyed.
        std::atexit(fontsLoaded);
    } catch (const std::system_error &) {
        // No thread to be had: the toolkit loads the configuration when it first draws.
        fontsLoaded();
    }
}

void fontsLoaded() {
    if (s_fontThread.joinable())
        s_fontThread.join();
    if (s_fontLocale != locale_t(0))
        freelocale(s_fontLocale);
    s_fontLocale = locale_t(0);
}
