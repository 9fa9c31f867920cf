// SPDX-License-Identifier: MIT
// The main() of the X tests: a private Xvfb for the whole test process, DISPLAY set to it.
// gtest before any X header: Xlib defines None as a macro.
#include <gtest/gtest.h>

#include "xdriver.h"

#include <X11/extensions/XTest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace {

class PrivateXServer : public ::testing::Environment {
  public:
    void SetUp() override {
        std::string name;
        pid_ = startXvfb(name);
        ASSERT_GT(pid_, 0) << "Xvfb did not start (is it installed?)";
        setenv("DISPLAY", name.c_str(), 1);
        // Windows come and go while the tests look at them (menus, closed windows): a
        // request about one that has just gone is no failure of the program.
        XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
        display_ = XOpenDisplay(name.c_str());
        useDisplay(display_);
        ASSERT_NE(display_, nullptr) << "cannot connect to Xvfb on " << name;
        int ev, err, major, minor;
        ASSERT_TRUE(XTestQueryExtension(display_, &ev, &err, &major, &minor));
    }

    void TearDown() override {
        if (display_)
            XCloseDisplay(display_);
        useDisplay(nullptr);
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }

  private:
    pid_t pid_ = -1;
    Display *display_ = nullptr;
};

} // namespace

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new PrivateXServer);
    return RUN_ALL_TESTS();
}
