// SPDX-License-Identifier: MIT
// The display widget's text, and what happens when its copy cannot be made. Linked with
// --wrap=strdup, so the copy can be made to fail on demand.
#include "format/display.h"
#include "keys.h"
#include "ui/ui.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Group.H>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

extern "C" char *__real_strdup(const char *);

static int s_failures_left = 0; // how many coming copies fail

extern "C" char *__wrap_strdup(const char *s) {
    if (s_failures_left > 0) {
        --s_failures_left;
        return nullptr;
    }
    return __real_strdup(s);
}

namespace {

// Collects what is written to standard error while it lives.
class StderrCapture {
  public:
    StderrCapture() : file_(std::tmpfile()), saved_(dup(2)) {
        std::fflush(stderr);
        dup2(fileno(file_), 2);
    }
    ~StderrCapture() {
        dup2(saved_, 2);
        close(saved_);
        std::fclose(file_);
    }
    std::string text() {
        std::fflush(stderr);
        std::string all;
        std::rewind(file_);
        for (int c; (c = std::fgetc(file_)) != EOF;)
            all += static_cast<char>(c);
        return all;
    }

  private:
    std::FILE *file_;
    int saved_;
};

class Display : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        Fl_Group::current(nullptr);
        text_disp = new Fl_Box(2, 5, 300, 27, "start");
    }
};

} // namespace

TEST_F(Display, ShowsAHeapCopyOfTheText) {
    displayNumber(4660, 16);
    EXPECT_EQ(std::string(text_disp->label()), displayText(4660, 16));
    displayNumber(255, 10);
    EXPECT_EQ(std::string(text_disp->label()), displayText(255, 10));
    displayNumber(7, 3);
    EXPECT_STREQ(text_disp->label(), "") << "a radix without a row shows the empty text";
}

// A failed copy keeps the last good text on screen and says so once on standard error.
TEST_F(Display, FailedCopyKeepsTheLastText) {
    displayNumber(42, 10);
    const char *good = text_disp->label();
    const std::string goodText = good;

    StderrCapture err;
    s_failures_left = 1;
    displayNumber(99, 10);
    EXPECT_EQ(text_disp->label(), good) << "still the same, unreleased copy";
    EXPECT_EQ(std::string(text_disp->label()), goodText);
    EXPECT_EQ(err.text(), "Memory allocation problem with s_label\n");

    s_failures_left = 2;
    displayNumber(1, 10);
    displayNumber(2, 10);
    EXPECT_EQ(std::string(text_disp->label()), goodText);
    EXPECT_EQ(err.text(), "Memory allocation problem with s_label\n"
                          "Memory allocation problem with s_label\n"
                          "Memory allocation problem with s_label\n")
        << "one message per failure";

    displayNumber(99, 10);
    EXPECT_EQ(std::string(text_disp->label()), displayText(99, 10)) << "the next call works";
    EXPECT_EQ(err.text().size(), 3 * 39u) << "and says nothing";
}
