// SPDX-License-Identifier: MIT
// The built program started as a user starts it, for the tests that run it as a process of
// its own: its output and error streams caught in files.
#ifndef NORVIK_TESTS_LAUNCH_H
#define NORVIK_TESTS_LAUNCH_H

#include "process.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

class Launch {
  public:
    explicit Launch(std::vector<std::string> args = {},
                    const std::vector<std::string> &environment = {},
                    const char *binary = NORVIK_BINARY) {
        args.insert(args.begin(), binary);
        Streams streams;
        streams.out = fileno(out_);
        streams.err = fileno(err_);
        pid_ = spawn(args, environment, streams);
    }
    ~Launch() {
        if (status_ < 0)
            stopProgram(pid_, SIGKILL);
        std::fclose(out_);
        std::fclose(err_);
    }
    bool running() { return end(0) < 0; }
    // Waits up to `seconds` for the end: the exit status, 128 + signal, or -1 if running.
    int end(double seconds = 5) {
        if (status_ < 0)
            status_ = exitStatus(pid_, seconds);
        return status_;
    }
    std::string out() const { return readAll(out_); }
    std::string err() const { return readAll(err_); }
    // How many threads it runs now.
    long threads() const {
        const std::string tasks = runCollecting({"ls", "/proc/" + std::to_string(pid_) + "/task"});
        return std::count(tasks.begin(), tasks.end(), '\n');
    }

  private:
    // From the start, without moving the offset the program writes at.
    static std::string readAll(FILE *file) {
        std::string text;
        char buf[4096];
        for (ssize_t n; (n = pread(fileno(file), buf, sizeof buf, off_t(text.size()))) > 0;)
            text.append(buf, size_t(n));
        return text;
    }
    FILE *out_ = std::tmpfile(), *err_ = std::tmpfile();
    pid_t pid_ = -1;
    int status_ = -1;
};

#endif
