// SPDX-License-Identifier: MIT
// The input method's Compose table: norvik's own, in memory, instead of the locale's.
//
// Opening the display makes the input method (libX11's, or xkbcommon's on Wayland) parse
// the locale's whole Compose table, some 5,700 lines, and that was half of the start-up.
// Of it norvik needs only the sequences that type its keys' characters: on layouts with
// dead keys (US international, German, French) "^" and "~" are typed as the dead key and
// then Space, or the dead key twice. Followed at once by one of norvik's other keys, the
// dead key gives its character and then that key's ("^3"), where the locale's table would
// make a superscript or nothing at all and drop both keys.
#include "ui/ui.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// Every sequence of the system's table (libX11, en_US.UTF-8) whose result is a character
// that one of the keys types: 0-9 a-f + - * / % | & ^ ~ < > =.
const char COMPOSE_TABLE[] = "<dead_circumflex> <space>           : \"^\" asciicircum\n"
                             "<dead_circumflex> <dead_circumflex> : \"^\" asciicircum\n"
                             "<Multi_key> <greater> <space>       : \"^\" asciicircum\n"
                             "<Multi_key> <space> <greater>       : \"^\" asciicircum\n"
                             "<dead_tilde> <space>                : \"~\" asciitilde\n"
                             "<dead_tilde> <dead_tilde>           : \"~\" asciitilde\n"
                             "<Multi_key> <minus> <space>         : \"~\" asciitilde\n"
                             "<Multi_key> <space> <minus>         : \"~\" asciitilde\n"
                             "<Multi_key> <slash> <asciicircum>   : \"|\" bar\n"
                             "<Multi_key> <asciicircum> <slash>   : \"|\" bar\n"
                             "<Multi_key> <V> <L>                 : \"|\" bar\n"
                             "<Multi_key> <L> <V>                 : \"|\" bar\n"
                             "<Multi_key> <v> <l>                 : \"|\" bar\n"
                             "<Multi_key> <l> <v>                 : \"|\" bar\n"
                             "<Multi_key> <L> <T>                 : \"<\" less\n"
                             "<Multi_key> <l> <t>                 : \"<\" less\n"
                             "<Multi_key> <G> <T>                 : \">\" greater\n"
                             "<Multi_key> <g> <t>                 : \">\" greater\n"
                             "<dead_stroke> <dead_stroke>         : \"/\" slash\n"
                             "<dead_stroke> <space>               : \"/\" slash\n";

// The keys a dead "^" or "~" may be followed by: digits, letter digits (in either case:
// Caps Lock gives the capitals) and operators, on the main keyboard and the keypad, with
// the character each types.
const struct {
    const char *keysym;
    char typed;
} FOLLOWERS[] = {
    {"0", '0'},         {"1", '1'},           {"2", '2'},           {"3", '3'},
    {"4", '4'},         {"5", '5'},           {"6", '6'},           {"7", '7'},
    {"8", '8'},         {"9", '9'},           {"a", 'a'},           {"b", 'b'},
    {"c", 'c'},         {"d", 'd'},           {"e", 'e'},           {"f", 'f'},
    {"A", 'A'},         {"B", 'B'},           {"C", 'C'},           {"D", 'D'},
    {"E", 'E'},         {"F", 'F'},           {"plus", '+'},        {"minus", '-'},
    {"asterisk", '*'},  {"slash", '/'},       {"percent", '%'},     {"bar", '|'},
    {"ampersand", '&'}, {"asciicircum", '^'}, {"asciitilde", '~'},  {"less", '<'},
    {"greater", '>'},   {"equal", '='},       {"KP_0", '0'},        {"KP_1", '1'},
    {"KP_2", '2'},      {"KP_3", '3'},        {"KP_4", '4'},        {"KP_5", '5'},
    {"KP_6", '6'},      {"KP_7", '7'},        {"KP_8", '8'},        {"KP_9", '9'},
    {"KP_Add", '+'},    {"KP_Subtract", '-'}, {"KP_Multiply", '*'}, {"KP_Divide", '/'},
};

std::string composeTable() {
    std::string table = COMPOSE_TABLE;
    for (const char *dead : {"circumflex", "tilde"}) {
        const char mark = dead[0] == 'c' ? '^' : '~';
        for (const auto &f : FOLLOWERS)
            table += std::string("<dead_") + dead + "> <" + f.keysym + "> : \"" + mark + f.typed +
                     "\"\n";
    }
    return table;
}

bool exists(const char *dir, const char *name) {
    return dir != nullptr && *dir != '\0' && access((std::string(dir) + name).c_str(), F_OK) == 0;
}

// A user's own table wins: the one XCOMPOSEFILE names, ~/.XCompose, or xkbcommon's
// $XDG_CONFIG_HOME/XCompose.
bool userHasOwnTable() {
    const char *home = std::getenv("HOME");
    const char *config = std::getenv("XDG_CONFIG_HOME");
    return std::getenv("XCOMPOSEFILE") != nullptr || exists(home, "/.XCompose") ||
           (config != nullptr ? exists(config, "/XCompose") : exists(home, "/.config/XCompose"));
}

} // namespace

void useOwnComposeTable() {
#if defined(__linux__) && defined(MFD_CLOEXEC)
    if (userHasOwnTable())
        return;
    // In memory, so that nothing is written: the input method opens it by its /proc path.
    // Not close-on-exec: a child inherits the variable, so it inherits the table too.
    const int fd = memfd_create("norvik-compose", 0);
    if (fd < 0)
        return;
    const std::string table = composeTable();
    const ssize_t size = static_cast<ssize_t>(table.size());
    char path[40];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    if (write(fd, table.data(), table.size()) != size || access(path, R_OK) != 0) {
        close(fd); // no /proc, say: the locale's table, as ever
        return;
    }
    setenv("XCOMPOSEFILE", path, 1);
    // The descriptor stays open for the whole run: the table may be read again.
#endif
}
