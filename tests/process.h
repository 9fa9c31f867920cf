// SPDX-License-Identifier: MIT
// Other programs and waiting, for the tests, the screenshot tool and the benchmark: one way
// to start a program, one to run one for what it writes, one to wait for a condition.
#ifndef NORVIK_TESTS_PROCESS_H
#define NORVIK_TESTS_PROCESS_H

#include <csignal>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

// Where a started program's standard streams go: descriptors of ours, or (-1) /dev/null.
struct Streams {
    int in = -1, out = -1, err = -1;
};

// Starts `argv` (found in PATH) with `environment` ("NAME=value") added to ours. Returns
// its pid, or -1. Descriptors not marked close-on-exec are inherited.
pid_t spawn(const std::vector<std::string> &argv, const std::vector<std::string> &environment = {},
            Streams streams = {});

// Sends `signal` to a started program and reaps it (killed, if it lingers 5 seconds).
void stopProgram(pid_t pid, int signal = SIGTERM);

// A started program's exit status once it has ended (128 + the signal that ended it), or
// -1 while it runs after waiting up to `seconds`.
int exitStatus(pid_t pid, double seconds = 5);

// What `argv` writes on its standard output until it ends (its input empty), waiting as
// waitUntil() does; "(argv[0] hung)" if it still runs after `seconds`.
std::string runCollecting(const std::vector<std::string> &argv, double seconds = 5);

// What a program wrote to the file at `path` so far; empty if there is none.
std::string readFile(const std::string &path);

// Checks `done` until it holds or `seconds` pass, letting time pass between looks; returns
// whether it came true.
bool waitUntil(const std::function<bool()> &done, double seconds = 5);

// How waitUntil() lets time pass: a short sleep, unless a test that runs the toolkit in its
// own process has installed a loop that keeps the toolkit running meanwhile.
using WaitLoop = bool (*)(const std::function<bool()> &done, double seconds);
void setWaitLoop(WaitLoop loop);

#endif
