// SPDX-License-Identifier: MIT
// The main() of the GUI tests: a private display server of the chosen back end for the
// whole test process, the toolkit's environment pointing at it.
#include <gtest/gtest.h>

#include "backend.h"

namespace {

class PrivateServer : public ::testing::Environment {
  public:
    void SetUp() override {
        ASSERT_TRUE(backend().start())
            << (backend().wayland() ? "sway" : "Xvfb") << " did not start (is it installed?)";
    }
    void TearDown() override { backend().stop(); }
};

} // namespace

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new PrivateServer);
    return RUN_ALL_TESTS();
}
