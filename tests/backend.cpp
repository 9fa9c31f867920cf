// SPDX-License-Identifier: MIT
// Which back end the GUI tests run on, and the toolkit's scale.
#include "backend.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

Backend *makeX11Backend();
#ifdef NORVIK_WAYLAND_TESTS
Backend *makeWaylandBackend();
#endif

Backend &backend() {
    static Backend *chosen = nullptr;
    if (!chosen) {
        const char *name = std::getenv("NORVIK_TEST_BACKEND");
#ifdef NORVIK_WAYLAND_TESTS
        if (name && std::strcmp(name, "wayland") == 0)
            chosen = makeWaylandBackend();
#endif
        if (!chosen && name && std::strcmp(name, "wayland") == 0)
            std::abort(); // asked for Wayland in a build without it: no silent X11 run
        if (!chosen)
            chosen = makeX11Backend();
    }
    return *chosen;
}

float scaleOf(Fl_Window *w) {
#if FL_API_VERSION >= 10400
    return Fl::screen_scale(w->screen_num());
#else
    (void)w;
    return 1;
#endif
}

bool ClipboardOwner::start(const std::vector<const char *> &argv, const std::string &text) {
    stop();
    std::snprintf(file_, sizeof file_, "/tmp/norvik-clip-XXXXXX");
    const int fd = mkstemp(file_);
    const bool written = fd >= 0 && write(fd, text.data(), text.size()) == ssize_t(text.size());
    if (fd >= 0)
        close(fd);
    pid_ = fork();
    if (pid_ == 0) {
        const int input = open(file_, O_RDONLY), quiet = open("/dev/null", O_WRONLY);
        dup2(input, 0);
        dup2(quiet, 1);
        dup2(quiet, 2);
        std::vector<char *> args;
        for (const char *a : argv)
            args.push_back(const_cast<char *>(a));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return written && pid_ > 0;
}

void ClipboardOwner::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        unlink(file_);
    }
    pid_ = -1;
}
