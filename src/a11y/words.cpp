// SPDX-License-Identifier: MIT
#include "a11y/words.h"
#include "format/number_text.h"

#include <cctype>
#include <cstring>

namespace {

// The toolkit's modifier bits (FL_SHIFT, FL_CTRL), kept here so that this file needs no
// toolkit header.
constexpr int SHIFT_BIT = 0x00010000, CTRL_BIT = 0x00040000, KEY_MASK = 0xffff;

const struct {
    const char *label, *name;
} KEY_NAMES[] = {
    {"+", "plus"},
    {"-", "minus"},
    {"*", "times"},
    {"/", "divide"},
    {"%", "modulo"},
    {"|", "or"},
    {"&", "and"},
    {"^", "xor"},
    {"~", "not"},
    {"<<", "shift left"},
    {">>", "shift right"},
    {"=", "equals"},
    {"CE", "clear entry"},
    {"CD", "delete digit"},
    {"CA", "clear all"},
    {"HEX", "hexadecimal"},
    {"DEC", "decimal"},
    {"OCT", "octal"},
    {"BIN", "binary"},
    {"U", "unsigned, switches to signed"},
    {"S", "signed, switches to unsigned"},
};

// Keysym names of the characters that are shortcuts, as accelerators write them.
const struct {
    char c;
    const char *name;
} KEYSYMS[] = {
    {'+', "plus"},       {'-', "minus"}, {'*', "asterisk"},  {'/', "slash"},
    {'%', "percent"},    {'|', "bar"},   {'&', "ampersand"}, {'^', "asciicircum"},
    {'~', "asciitilde"}, {'<', "less"},  {'>', "greater"},   {'=', "equal"},
};

} // namespace

std::string spokenValue(uint32_t value, int base, bool isUnsigned) {
    // As Ctrl+C copies it ("-2", "0xDEADBEEF"), then said: the sign as a word, the prefix
    // as the radix's name, the digits one by one.
    const std::string text = copyText(value, base, isUnsigned).text;
    if (base == 10)
        return text[0] == '-' ? "minus " + text.substr(1) : text;
    const char *radix = base == 16 ? "hex" : base == 8 ? "octal" : base == 2 ? "binary" : nullptr;
    if (radix == nullptr)
        return "";
    const std::string digits = text.substr(2); // without the "0x"
    std::string spoken = radix;
    for (size_t i = 0; i < digits.size(); ++i) {
        const size_t left = digits.size() - i; // digits from here to the end
        spoken += i > 0 && left % 4 == 0 ? ", " : " ";
        spoken += digits[i];
    }
    return spoken;
}

const char *keyName(const char *label) {
    if (label == nullptr)
        return nullptr;
    if (std::strlen(label) == 1 && std::strchr("0123456789ABCDEF", label[0]) != nullptr)
        return label;
    for (const auto &k : KEY_NAMES)
        if (std::strcmp(k.label, label) == 0)
            return k.name;
    return nullptr;
}

std::string keyBinding(int shortcut) {
    const int key = shortcut & KEY_MASK;
    if (key == 0)
        return "";
    std::string accelerator;
    if (shortcut & CTRL_BIT)
        accelerator += "<Control>";
    if (shortcut & SHIFT_BIT)
        accelerator += "<Shift>";
    const char *name = nullptr;
    for (const auto &k : KEYSYMS)
        if (k.c == key)
            name = k.name;
    if (name != nullptr)
        accelerator += name;
    else if (key == 0xff0d)
        accelerator += "Return";
    else if (key == 0xff08)
        accelerator += "BackSpace";
    else if (key > ' ' && key < 0x7f)
        accelerator += static_cast<char>(key);
    else
        return "";
    return ";;" + accelerator;
}

namespace {

// An event type in the registry's form ("Object:PropertyChange:AccessibleDescription") or
// a client's ("object:property-change:accessible-description"), as its three parts in one
// case without dashes; an empty part stands for every one.
std::vector<std::string> eventParts(const std::string &type) {
    std::vector<std::string> parts(1);
    for (char c : type) {
        if (c == ':')
            parts.emplace_back();
        else if (c != '-')
            parts.back() += char(std::tolower(static_cast<unsigned char>(c)));
    }
    parts.resize(3);
    return parts;
}

bool covers(const std::string &registered, const std::string &event) {
    const std::vector<std::string> r = eventParts(registered), e = eventParts(event);
    for (size_t i = 0; i < r.size(); ++i) {
        if (r[i].empty())
            return true;
        if (r[i] != e[i])
            return false;
    }
    return true;
}

} // namespace

bool announcementsHeard(const std::vector<std::pair<std::string, std::string>> &registered) {
    const char ANNOUNCEMENT[] = "object:announcement";
    const char DESCRIPTION[] = "object:property-change:accessible-description";
    bool heard = false;
    for (const auto &client : registered) {
        bool announcements = false, descriptions = false;
        for (const auto &r : registered) {
            if (r.first != client.first)
                continue;
            announcements = announcements || covers(r.second, ANNOUNCEMENT);
            descriptions = descriptions || covers(r.second, DESCRIPTION);
        }
        if (descriptions && !announcements)
            return false; // it would hear nothing
        heard = heard || announcements;
    }
    return heard;
}
