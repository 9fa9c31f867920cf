// SPDX-License-Identifier: MIT
// Which back end the GUI tests run on, and the toolkit's scale.
#include "backend.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include <chrono>
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

namespace {

// `argv` started with `in` as its input and `out` as its output; its errors are dropped.
pid_t spawn(const std::vector<const char *> &argv, int in, int out) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int quiet = open("/dev/null", O_RDWR);
        dup2(in >= 0 ? in : quiet, 0);
        dup2(out >= 0 ? out : quiet, 1);
        dup2(quiet, 2);
        std::vector<char *> args;
        for (const char *a : argv)
            args.push_back(const_cast<char *>(a));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

} // namespace

bool waitWhileRunning(const std::function<bool()> &done, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return done();
        Fl::wait(0.005);
    }
    return true;
}

std::string runCollecting(const std::vector<const char *> &argv) {
    int fds[2];
    if (pipe(fds) != 0)
        return "(no pipe)";
    const pid_t pid = spawn(argv, -1, fds[1]);
    close(fds[1]);
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    std::string text;
    bool ended = false;
    waitWhileRunning([&] {
        char buf[65536];
        for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
            text.append(buf, size_t(n));
        return ended = ended || waitpid(pid, nullptr, WNOHANG) == pid;
    });
    close(fds[0]);
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return "(" + std::string(argv[0]) + " hung)";
    }
    return text;
}

bool ClipboardOwner::start(const std::vector<const char *> &argv, const std::string &text) {
    stop();
    std::snprintf(file_, sizeof file_, "/tmp/norvik-clip-XXXXXX");
    const int fd = mkstemp(file_);
    const bool written = fd >= 0 && write(fd, text.data(), text.size()) == ssize_t(text.size());
    if (fd >= 0)
        close(fd);
    const int input = open(file_, O_RDONLY);
    pid_ = spawn(argv, input, -1);
    if (input >= 0)
        close(input);
    return written && pid_ > 0;
}

void ClipboardOwner::signal(int number) {
    if (pid_ > 0)
        kill(pid_, number);
}

void ClipboardOwner::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGCONT);
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        unlink(file_);
    }
    pid_ = -1;
}
