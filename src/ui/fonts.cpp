// SPDX-License-Identifier: MIT
// The font configuration, loaded on a thread of its own while the window is being built.
//
// Reading fontconfig's configuration is the largest piece of norvik's start-up, and the
// toolkit would first ask for it when it first draws, after the window is mapped. Nothing
// before that needs it, so it is loaded meanwhile, on a second core (with FLTK 1.4 too,
// whose pango loads it on a thread of its own, but only at the first draw). All program
// logic stays on the main thread: it waits for the font thread before the event loop
// starts, and nothing before that uses fonts. So the two never load the configuration at
// once: fontconfig installs a loaded configuration atomically, but two loads running
// together both parse it, and valgrind's race detector flags that parsing.
#include "ui/ui.h"

#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <system_error>
#include <thread>

namespace {

std::thread s_fontThread;

} // namespace

void startLoadingFonts() {
    try {
        s_fontThread = std::thread([] { FcInit(); });
        // A start-up that ends early (a bad option, no display) waits for the thread too:
        // a running thread must not be destroyed.
        std::atexit(fontsLoaded);
    } catch (const std::system_error &) {
        // No thread to be had: the toolkit loads the configuration when it first draws.
    }
}

void fontsLoaded() {
    if (s_fontThread.joinable())
        s_fontThread.join();
}
