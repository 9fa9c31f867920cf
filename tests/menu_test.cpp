// SPDX-License-Identifier: MIT
// The right-click menu's items and the About window as built, before anything is shown.
#include "ui/ui.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

TEST(Menu, ItemsKeepTheirLabelsAndBlanks) {
    const char *const labels[] = {"About           ", "Keyboard Shortcuts          ",
                                  "Quit              "};
    const size_t blanks[] = {11, 10, 14};
    for (int i = 0; i < 3; ++i) {
        const Fl_Menu_Item &item = menu_popup_menu[i];
        SCOPED_TRACE(labels[i]);
        ASSERT_NE(item.text, nullptr);
        EXPECT_EQ(std::string(item.text), labels[i]);
        const std::string text = item.text;
        EXPECT_EQ(text.size() - (text.find_last_not_of(' ') + 1), blanks[i]);
        EXPECT_EQ(item.shortcut_, 0);
        EXPECT_NE(item.callback_, nullptr);
        EXPECT_EQ(item.user_data_, nullptr);
        EXPECT_EQ(item.flags, 0);
        EXPECT_EQ(item.labeltype_, FL_NORMAL_LABEL);
        EXPECT_EQ(item.labelfont_, FL_HELVETICA);
        EXPECT_EQ(item.labelsize_, 14);
        EXPECT_EQ(item.labelcolor_, FL_FOREGROUND_COLOR);
    }
    const Fl_Menu_Item &end = menu_popup_menu[3];
    EXPECT_EQ(end.text, nullptr);
    EXPECT_EQ(end.callback_, nullptr);
    EXPECT_EQ(menu_popup_menu->size(), 4) << "three items and the terminator";
}

TEST(Menu, AboutWindowIsBuiltHidden) {
    Fl_Window *w = makeAboutWindow();
    ASSERT_EQ(w, about_window);
    EXPECT_FALSE(w->shown());
    EXPECT_EQ(w->w() * 1000 + w->h(), 299130);
    EXPECT_STREQ(w->label(), "About norvik");
    EXPECT_EQ(w->resizable(), nullptr);
    ASSERT_EQ(w->children(), 2);

    auto *text = dynamic_cast<Fl_Box *>(w->child(0));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->x() * 1000 + text->y(), 2002);
    EXPECT_EQ(text->w() * 1000 + text->h(), 294094);
    EXPECT_EQ(text->box(), FL_THIN_DOWN_BOX);
    EXPECT_EQ(text->color(), FL_BACKGROUND2_COLOR);
    EXPECT_EQ(text->labelfont(), FL_COURIER);
    EXPECT_EQ(text->labelsize(), 12);
    EXPECT_EQ(text->align(), 17u);
    const std::string about = text->label();
    EXPECT_EQ(about.substr(0, about.find("by\n") + 3),
              "norvik 1.1\n(for Linux/Unix and MS Windows)\nby\n");
    EXPECT_EQ(std::count(about.begin(), about.end(), '\n'), 5) << "six lines";
    EXPECT_NE(about.back(), '\n');

    auto *ok = dynamic_cast<Fl_Button *>(w->child(1));
    ASSERT_NE(ok, nullptr);
    EXPECT_STREQ(ok->label(), "ok");
    EXPECT_EQ(ok->x() * 1000 + ok->y(), 120100);
    EXPECT_EQ(ok->w() * 1000 + ok->h(), 60026);
}

} // namespace
