// SPDX-License-Identifier: MIT
// Preloaded into norvik by a start-up test: says on standard error when the environment
// changes while another thread runs. That thread may be reading the environment, which a
// new variable can move away under it. A font configuration loaded on another thread takes
// its time here, so that the thread runs for as long as the program lets it.
#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>

namespace {

void report(const char *call, const char *what) {
    int entries = 0; // ".", ".." and one per thread
    if (DIR *tasks = opendir("/proc/self/task")) {
        while (readdir(tasks) != nullptr)
            ++entries;
        closedir(tasks);
    }
    if (entries > 3)
        std::fprintf(stderr, "%s(%s) while %d threads run\n", call, what, entries - 2);
}

template <typename Call> Call next(const char *name) {
    return reinterpret_cast<Call>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int setenv(const char *name, const char *value, int overwrite) {
    report("setenv", name);
    return next<int (*)(const char *, const char *, int)>("setenv")(name, value, overwrite);
}

extern "C" int putenv(char *assignment) {
    report("putenv", assignment);
    return next<int (*)(char *)>("putenv")(assignment);
}

extern "C" int FcInit() {
    if (gettid() != getpid())
        usleep(300000);
    return next<int (*)()>("FcInit")();
}
