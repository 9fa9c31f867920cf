// SPDX-License-Identifier: MIT
#include "process.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

bool sleepLoop(const std::function<bool()> &done, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

WaitLoop s_loop = sleepLoop;

} // namespace

void setWaitLoop(WaitLoop loop) {
    s_loop = loop != nullptr ? loop : sleepLoop;
}

bool waitUntil(const std::function<bool()> &done, double seconds) {
    return s_loop(done, seconds);
}

pid_t spawn(const std::vector<std::string> &argv, const std::vector<std::string> &environment,
            Streams streams) {
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    // Ends with the test or tool that started it, whatever way that ends.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int quiet = open("/dev/null", O_RDWR);
    dup2(streams.in >= 0 ? streams.in : quiet, 0);
    dup2(streams.out >= 0 ? streams.out : quiet, 1);
    dup2(streams.err >= 0 ? streams.err : quiet, 2);
    for (const std::string &setting : environment)
        putenv(strdup(setting.c_str()));
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

void stopProgram(pid_t pid, int signal) {
    if (pid <= 0)
        return;
    kill(pid, SIGCONT); // a stopped program must run to die of SIGTERM
    kill(pid, signal);
    // Not through waitUntil(): a toolkit running meanwhile would see its server go.
    bool reaped = false;
    for (int i = 0; i < 500 && !(reaped = waitpid(pid, nullptr, WNOHANG) != 0); ++i)
        usleep(10000);
    if (!reaped) { // one that only looks at signals when it wakes (Orca)
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

int exitStatus(pid_t pid, double seconds) {
    int status = 0;
    if (!waitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, seconds))
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string runCollecting(const std::vector<std::string> &argv, double seconds) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return "(no pipe)";
    Streams streams;
    streams.out = fds[1];
    const pid_t pid = spawn(argv, {}, streams);
    close(fds[1]);
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    std::string text;
    const bool ended = waitUntil(
        [&] {
            char buf[65536];
            for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
                text.append(buf, size_t(n));
            return waitpid(pid, nullptr, WNOHANG) == pid;
        },
        seconds);
    char buf[65536];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        text.append(buf, size_t(n));
    close(fds[0]);
    if (!ended) {
        stopProgram(pid, SIGKILL);
        return "(" + argv[0] + " hung)";
    }
    return text;
}

std::string readFile(const std::string &path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
