// SPDX-License-Identifier: MIT
// Start-up, memory and per-key cost of norvik against the floor program, each launch on a
// fresh Xvfb. See bench/README.md for what every figure means.
#include "process.h"
#include "xsession.h"

#include <X11/keysym.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fstream>
#include <map>
#include <poll.h>
#include <sched.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

cpu_set_t s_allCpus, s_oneCpu;

double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// CPU time (user + system) of another process, in milliseconds, to the nanosecond.
double cpuMs(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double residentMb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

// Quiet: program and X server together use under QUIET_CPU_MS of CPU over QUIET_WINDOW_MS.
constexpr double QUIET_WINDOW_MS = 100, QUIET_CPU_MS = 1.0, SAMPLE_MS = 2;

struct Figures {
    double map, idle, startCpu, rss, idleCpu, keyCpu;
};

struct Options {
    int runs = 5, keys = 100, paceMs = 150;
    bool accessibility = false; // on in norvik's session (--accessibility)
};

// A session of the launch's own, as a desktop gives every program: a session bus, a fresh
// home and runtime folder; with accessibility switched on, its bus and registry running.
struct Session {
    std::string dir;
    pid_t bus = -1;
    std::vector<std::string> environment;

    bool start(bool accessibility) {
        char folder[] = "/tmp/norvik-bench-XXXXXX";
        if (mkdtemp(folder) == nullptr)
            return false;
        dir = folder;
        const std::string address = "unix:path=" + dir + "/bus";
        bus = spawn({"dbus-daemon", "--session", "--nofork", "--address=" + address},
                    {"GSETTINGS_BACKEND=memory"});
        environment = {"DBUS_SESSION_BUS_ADDRESS=" + address, "HOME=" + dir,
                       "XDG_RUNTIME_DIR=" + dir};
        if (!waitUntil([&] { return access((dir + "/bus").c_str(), F_OK) == 0; }))
            return false;
        if (!accessibility)
            return true;
        const auto send = [&](std::vector<std::string> args) {
            args.insert(args.begin(), {"env", environment[0], "dbus-send", "--print-reply"});
            return runCollecting(args);
        };
        send({"--session", "--dest=org.a11y.Bus", "/org/a11y/bus",
              "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status", "string:IsEnabled",
              "variant:boolean:true"});
        const std::string reply =
            send({"--session", "--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress"});
        const size_t open = reply.find('"'), close = reply.rfind('"');
        return open != std::string::npos && close > open &&
               send({"--bus=" + reply.substr(open + 1, close - open - 1),
                     "--dest=org.a11y.atspi.Registry", "/org/a11y/atspi/registry",
                     "org.freedesktop.DBus.Peer.Ping"})
                       .find("method return") != std::string::npos;
    }
    ~Session() {
        stopProgram(bus); // the accessibility bus and the registry end with it
        runCollecting({"rm", "-rf", dir});
    }
};

bool launch(const std::string &program, const Options &o, bool accessibility, Figures &f) {
    Session session;
    if (!session.start(accessibility))
        return false;
    std::string name;
    const pid_t server = startXvfb(name);
    if (server < 0)
        return false;
    Display *d = XOpenDisplay(name.c_str());
    useDisplay(d);
    const Window root = DefaultRootWindow(d);
    XSelectInput(d, root, SubstructureNotifyMask);
    XSync(d, False);

    const auto t0 = Clock::now();
    sched_setaffinity(0, sizeof s_allCpus, &s_allCpus); // inherited by the program only
    std::vector<std::string> environment = session.environment;
    environment.push_back("DISPLAY=" + name);
    const pid_t pid = spawn({program}, environment);
    sched_setaffinity(0, sizeof s_oneCpu, &s_oneCpu);

    // start -> map: the first MapNotify of a top-level window, waited for on the socket.
    Window win = None;
    pollfd pfd{ConnectionNumber(d), POLLIN, 0};
    while (win == None && msSince(t0) < 10000) {
        while (XPending(d) && win == None) {
            XEvent e;
            XNextEvent(d, &e);
            if (e.type == MapNotify && !e.xmap.override_redirect)
                win = e.xmap.window;
        }
        if (win == None)
            poll(&pfd, 1, 100);
    }
    f.map = msSince(t0);

    clockid_t programClock, serverClock;
    bool ok = win != None && clock_getcpuclockid(pid, &programClock) == 0 &&
              clock_getcpuclockid(server, &serverClock) == 0;

    // start -> idle: the start of the first quiet window after the map.
    struct Sample {
        double at, program, total;
    };
    std::deque<Sample> samples;
    f.idle = -1;
    while (ok && f.idle < 0 && msSince(t0) < 10000) {
        const double p = cpuMs(programClock);
        samples.push_back({msSince(t0), p, p + cpuMs(serverClock)});
        while (samples.back().at - samples.front().at > QUIET_WINDOW_MS) {
            const Sample &first = samples.front();
            if (samples.back().at - first.at >= QUIET_WINDOW_MS &&
                samples.back().total - first.total < QUIET_CPU_MS) {
                f.idle = first.at;
                f.startCpu = first.program;
                break;
            }
            samples.pop_front();
        }
        usleep(useconds_t(SAMPLE_MS * 1000));
    }
    ok = ok && f.idle >= 0;

    if (ok) {
        f.rss = residentMb(pid);
        const double before = cpuMs(programClock);
        usleep(1000000);
        f.idleCpu = cpuMs(programClock) - before;

        // Per key: digits, operators and Enter, each handled (both processes quiet for
        // 10 ms) before the next, at a human pace.
        focusWindow(win);
        const unsigned long keys[] = {XK_1,        XK_2, XK_plus,  XK_3, XK_4,
                                      XK_asterisk, XK_5, XK_minus, XK_6, XK_Return};
        const double start = cpuMs(programClock);
        for (int i = 0; i < o.keys; ++i) {
            const auto sent = Clock::now();
            typeKey(keys[i % 10]);
            double last = cpuMs(programClock) + cpuMs(serverClock);
            for (auto quietSince = Clock::now(); msSince(quietSince) < 10;) {
                usleep(1000);
                const double now = cpuMs(programClock) + cpuMs(serverClock);
                if (now - last > 0.05)
                    quietSince = Clock::now();
                last = now;
            }
            const double left = o.paceMs - msSince(sent);
            if (left > 0)
                usleep(useconds_t(left * 1000));
        }
        f.keyCpu = (cpuMs(programClock) - start) / o.keys;
    }

    stopProgram(pid);
    XCloseDisplay(d);
    useDisplay(nullptr);
    stopProgram(server);
    return ok;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char **argv) {
    std::string norvik, floor;
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--norvik")
            norvik = argv[i + 1];
        else if (opt == "--floor")
            floor = argv[i + 1];
        else if (opt == "--runs")
            o.runs = std::atoi(argv[i + 1]);
        else if (opt == "--keys")
            o.keys = std::atoi(argv[i + 1]);
        else if (opt == "--accessibility")
            o.accessibility = std::string(argv[i + 1]) == "on";
    }
    if (norvik.empty() || floor.empty() || o.runs < 1 || o.keys < 1) {
        std::fprintf(stderr,
                     "usage: %s --norvik PATH --floor PATH [--runs N] [--keys N]"
                     " [--accessibility on]\n",
                     argv[0]);
        return 2;
    }
    XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });

    // Xvfb and the benchmark on one CPU (the last), so that they are scheduled the same way
    // on every launch, which halves the spread between launches; the program may use every
    // CPU, as on a desktop (norvik loads its fonts on a second thread).
    sched_getaffinity(0, sizeof s_allCpus, &s_allCpus);
    CPU_ZERO(&s_oneCpu);
    CPU_SET(sysconf(_SC_NPROCESSORS_ONLN) - 1, &s_oneCpu);
    sched_setaffinity(0, sizeof s_oneCpu, &s_oneCpu);

    // One unmeasured warm-up each, then floor and norvik alternately.
    std::map<const std::string *, std::vector<Figures>> results; // the same path may be both
    for (int round = 0; round <= o.runs; ++round) {
        for (const std::string *program : {&floor, &norvik}) {
            Figures f{};
            if (!launch(*program, o, o.accessibility && program == &norvik, f)) {
                std::fprintf(stderr, "bench: %s did not start or never went idle\n",
                             program->c_str());
                return 1;
            }
            if (round > 0)
                results[program].push_back(f);
            std::fprintf(stderr, "%s %s: map %.1f ms, idle %.1f ms\n", round ? "run" : "warm-up",
                         program->c_str(), f.map, f.idle);
        }
    }

    // Budgets, norvik / floor at most (0: none). norvik gives the input method a Compose
    // table of its own and loads the font configuration on a second thread while it builds
    // its window, which the floor does not: that is where it starts below the floor. FLTK
    // 1.4 spends more of its start-up elsewhere (pango), so its budgets differ.
    const bool fltk13 = std::string(NORVIK_FLTK_VERSION).rfind("1.3.", 0) == 0;
    const struct {
        const char *name, *unit;
        double Figures::*field;
        double budget;
    } rows[] = {
        {"start -> map", "ms", &Figures::map, fltk13 ? 0 : 0.85},
        {"start -> idle", "ms", &Figures::idle, fltk13 ? 0.50 : 0.90},
        {"start CPU", "ms", &Figures::startCpu, fltk13 ? 0.85 : 0.95},
        {"idle RSS", "MB", &Figures::rss, 0},
        {"idle CPU over 1 s", "ms", &Figures::idleCpu, 0},
        {"CPU per key", "ms", &Figures::keyCpu, 1.10},
    };
    std::printf("FLTK %s; %d runs each, %d keys per run%s; medians (min-max)\n\n",
                NORVIK_FLTK_VERSION, o.runs, o.keys,
                o.accessibility ? "; accessibility on for norvik" : "");
    std::printf("| figure | floor | norvik | norvik / floor | budget |\n|---|---|---|---|---|\n");
    bool withinBudget = true;
    for (const auto &r : rows) {
        std::vector<double> a, b;
        for (const Figures &f : results[&floor])
            a.push_back(f.*r.field);
        for (const Figures &f : results[&norvik])
            b.push_back(f.*r.field);
        const double fm = median(a), nm = median(b), ratio = fm > 0 ? nm / fm : 0;
        std::string budget = "-";
        bool ok = true;
        if (r.budget > 0) {
            ok = ratio <= r.budget;
            budget = "<= " + std::to_string(r.budget).substr(0, 4) + " x";
        } else if (r.field == &Figures::rss) {
            ok = nm <= fm;
            budget = "<= floor";
        } else if (r.field == &Figures::idleCpu) {
            ok = nm == 0;
            budget = "0";
        }
        withinBudget = withinBudget && ok;
        std::printf(
            "| %s (%s) | %.2f (%.2f-%.2f) | %.2f (%.2f-%.2f) | %.2f | %s %s |\n", r.name, r.unit,
            fm, *std::min_element(a.begin(), a.end()), *std::max_element(a.begin(), a.end()), nm,
            *std::min_element(b.begin(), b.end()), *std::max_element(b.begin(), b.end()), ratio,
            budget.c_str(), r.budget > 0 || budget != "-" ? (ok ? "ok" : "OVER") : "");
    }
    std::printf("\n%s\n", withinBudget ? "all budgets met" : "some budgets are over");
    return 0;
}
