// SPDX-License-Identifier: MIT
// The built program, started as a user starts it, on a private X server: its window, how
// it ends, and that it stays silent.
// gtest before any X header: Xlib defines None as a macro.
#include <gtest/gtest.h>

#include "xdriver.h"

#include <X11/keysym.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char TITLE[] = "norvik - Programmers' calculator";

// The built program, as a user starts it.
class Program : public ::testing::Test {
  protected:
    void SetUp() override {
        std::snprintf(out_, sizeof out_, "/tmp/norvik-out-XXXXXX");
        std::snprintf(err_, sizeof err_, "/tmp/norvik-err-XXXXXX");
        int out = mkstemp(out_), err = mkstemp(err_);
        pid_ = fork();
        ASSERT_GE(pid_, 0);
        if (pid_ == 0) {
            dup2(out, 1);
            dup2(err, 2);
            execl(NORVIK_BINARY, NORVIK_BINARY, static_cast<char *>(nullptr));
            _exit(127);
        }
        close(out);
        close(err);
        ASSERT_TRUE(waitFor(
            [this] {
                win_ = findWindow(TITLE);
                XWindowAttributes a;
                return win_ != None && XGetWindowAttributes(testDisplay(), win_, &a) &&
                       a.map_state == IsViewable;
            },
            [] { usleep(10000); }, 10))
            << "no window titled " << TITLE;
    }
    void TearDown() override {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        EXPECT_EQ(readAll(out_), "") << "stdout";
        EXPECT_EQ(readAll(err_), "") << "stderr";
        unlink(out_);
        unlink(err_);
    }
    // The exit status, or -1 if the program is still running after 5 seconds.
    int exitStatus() {
        int status = 0;
        waitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, [] { usleep(10000); });
        if (!WIFEXITED(status) && !WIFSIGNALED(status))
            return -1;
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    static std::string readAll(const char *path) {
        std::string text;
        if (FILE *f = std::fopen(path, "r")) {
            for (int c; (c = std::fgetc(f)) != EOF;)
                text += static_cast<char>(c);
            std::fclose(f);
        }
        return text;
    }
    pid_t pid_ = -1;
    bool exited_ = false;
    Window win_ = None;
    char out_[32], err_[32];
};

TEST_F(Program, MapsItsWindowAndEndsOnEscape) {
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(testDisplay(), win_, &a));
    EXPECT_EQ(a.width, 303);
    EXPECT_EQ(a.height, 139);
    focusWindow(win_);
    for (unsigned long sym : {XK_1, XK_plus, XK_2, XK_Return, XK_Escape})
        typeKey(sym);
    EXPECT_EQ(exitStatus(), 0);
}

TEST_F(Program, QuitEndsItWhileAboutIsOpen) {
    for (int item : {0, 2}) {       // About, then Quit
        clickAt(win_, 301, 134, 3); // on CA, in a corner that About, placed at 0,0 too, leaves free
        Window menu = None;
        ASSERT_TRUE(waitFor([&] { return (menu = findPopup()) != None; }, [] { usleep(10000); }));
        chooseItem(menu, item, 3);
        if (item == 0) {
            ASSERT_TRUE(
                waitFor([] { return findWindow("About norvik") != None; }, [] { usleep(10000); }));
        }
    }
    EXPECT_EQ(exitStatus(), 0);
}

TEST_F(Program, EndsWhenTheWindowManagerClosesIt) {
    Display *d = testDisplay();
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = win_;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, win_, False, NoEventMask, &e);
    XSync(d, False);
    EXPECT_EQ(exitStatus(), 0);
}

} // namespace
