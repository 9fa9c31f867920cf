// SPDX-License-Identifier: MIT
// The main() of the GUI tests: a private display server of the chosen back end for the
// whole test process, the toolkit's environment pointing at it.
#include <gtest/gtest.h>

#include "backend.h"

#include <cstdio>
#include <cstdlib>

namespace {

class PrivateServer : public ::testing::Environment {
  public:
    void SetUp() override {
        ASSERT_TRUE(backend().start())
            << (backend().wayland() ? "sway" : "Xvfb") << " did not start (is it installed?)";
    }
    void TearDown() override { backend().stop(); }
};

bool s_finished = false;

} // namespace

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new PrivateServer);
    // The window's Escape and Quit end the process with status 0: in the middle of a test
    // that is a failure, not a pass.
    std::atexit([] {
        if (!s_finished) {
            std::fputs("the program ended in the middle of a test\n", stderr);
            std::_Exit(1);
        }
    });
    const int failed = RUN_ALL_TESTS();
    s_finished = true;
    return failed;
}
