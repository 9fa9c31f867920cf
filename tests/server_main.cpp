// SPDX-License-Identifier: MIT
// The main() of the GUI tests: a private display server of the chosen back end for the
// whole test process, the toolkit's environment pointing at it.
#include <gtest/gtest.h>

#include "backend.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

// NORVIK_TEST_FONTS="<monospace family>:<sans family>": the fonts of a desktop that has
// those, whatever else is installed: fontconfig resolves every name the toolkits ask for
// to them. The file is the test process's own, removed as it ends.
char s_fontsFile[] = "/tmp/norvik-fonts-XXXXXX";

void useTestFonts() {
    const char *fonts = std::getenv("NORVIK_TEST_FONTS");
    if (fonts == nullptr)
        return;
    const std::string sets = fonts, mono = sets.substr(0, sets.find(':')),
                      sans = sets.substr(sets.find(':') + 1);
    const int fd = mkstemp(s_fontsFile);
    std::string conf =
        "<?xml version=\"1.0\"?>\n<fontconfig>\n<include>/etc/fonts/fonts.conf</include>\n";
    for (const auto &f : {std::make_pair("mono monospace Courier", mono),
                          std::make_pair("sans sans-serif Helvetica Arial", sans)}) {
        std::istringstream names(f.first);
        for (std::string name; names >> name;)
            conf += "<match target=\"pattern\"><test name=\"family\"><string>" + name +
                    "</string></test><edit name=\"family\" mode=\"assign\" binding=\"strong\">"
                    "<string>" +
                    f.second + "</string></edit></match>\n";
    }
    conf += "</fontconfig>\n";
    if (fd >= 0 && write(fd, conf.data(), conf.size()) == ssize_t(conf.size()))
        setenv("FONTCONFIG_FILE", s_fontsFile, 1);
    close(fd);
}

class PrivateServer : public ::testing::Environment {
  public:
    void SetUp() override {
        useTestFonts();
        ASSERT_TRUE(backend().start())
            << (backend().wayland() ? "sway" : "Xvfb") << " did not start (is it installed?)";
    }
    void TearDown() override {
        backend().stop();
        if (std::getenv("NORVIK_TEST_FONTS") != nullptr) // made by useTestFonts()
            unlink(s_fontsFile);
    }
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
