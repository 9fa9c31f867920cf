// SPDX-License-Identifier: MIT
// norvik as a screen reader meets it, in a session of the tests' own: a private session
// bus, the accessibility bus and registry that at-spi2-core starts on it, a real AT-SPI
// client (pyatspi), Orca speaking into a file through speech-dispatcher, and a hostile
// client that sends what the protocol does not allow.
#include <gtest/gtest.h>

#include "backend.h"
#include "launch.h"
#include "process.h"
#include "xsession.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <csignal>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char TITLE[] = "norvik - Programmers' calculator";
std::string s_runtime;
pid_t s_bus = -1, s_windowManager = -1;

// Accessibility on or off in the session, as a desktop's settings switch it.
bool switchAccessibility(bool on) {
    sd_bus *bus = nullptr;
    if (sd_bus_open_user(&bus) < 0)
        return false;
    const int r = sd_bus_set_property(bus, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Status",
                                      "IsEnabled", nullptr, "b", on);
    sd_bus_flush_close_unref(bus);
    return r >= 0;
}

// What the client (atspi_client.py) says.
std::string client(std::vector<std::string> args) {
    args.insert(args.begin(), {"/usr/bin/python3", ATSPI_CLIENT});
    return runCollecting(args, 20);
}

class ScreenReader : public ::testing::Test {
  protected:
    // A session bus of the tests' own, with settings kept in memory only, and on X11 a
    // window manager, as a desktop has: it gives a new window the focus at once, before
    // norvik has joined the accessibility bus (on Wayland the compositor does so).
    static void SetUpTestSuite() {
        char dir[] = "/tmp/norvik-a11y-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        s_runtime = dir;
        mkdir((s_runtime + "/home").c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", dir, 0); // the compositor's, on Wayland
        setenv("HOME", (s_runtime + "/home").c_str(), 1);
        const std::string socket = s_runtime + "/bus";
        s_bus = spawn({"dbus-daemon", "--session", "--nofork", "--address=unix:path=" + socket},
                      {"GSETTINGS_BACKEND=memory"});
        setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + socket).c_str(), 1);
        ASSERT_TRUE(waitUntil([&] { return access(socket.c_str(), F_OK) == 0; }));
        if (!backend().wayland()) {
            s_windowManager = spawn({"openbox", "--sm-disable"});
            // Up once it frames a window of the test's own (a window mapped while it starts
            // up may wait for it to see a later event).
            Display *d = testDisplay();
            const Window probe = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 9, 9, 0, 0, 0);
            XMapWindow(d, probe);
            ASSERT_TRUE(waitUntil([&] {
                Window root, parent, *children = nullptr;
                unsigned n = 0;
                XQueryTree(d, probe, &root, &parent, &children, &n);
                if (children)
                    XFree(children);
                return parent != root;
            })) << "no window manager";
            XDestroyWindow(d, probe);
            XSync(d, False);
        }
    }
    static void TearDownTestSuite() {
        stopProgram(s_windowManager);
        stopProgram(s_bus);
        runCollecting({"rm", "-rf", s_runtime});
    }
    void SetUp() override { run_.emplace(); }
    // norvik running, its window shown, and seen by the client.
    void start() {
        ASSERT_TRUE(waitUntil([] { return backend().window(TITLE).found; }, 10));
        windowsChanged();
        backend().focus(TITLE);
        ASSERT_TRUE(
            waitUntil([] { return client({"tree"}).find("\n  frame|") != std::string::npos; }, 10));
    }
    void TearDown() override {
        if (run_) {
            EXPECT_EQ(run_->err(), "") << "stderr";
        }
    }
    std::optional<Launch> run_; // norvik, started by SetUp()
};

// Found when accessibility is switched on, not before; the tree as a screen reader reads it,
// the keys pressed through their action, and the events that tell what changed.
TEST_F(ScreenReader, ReadsTheTreeAndPressesKeys) {
    ASSERT_TRUE(waitUntil([] { return backend().window(TITLE).found; }, 10));
    usleep(300000);
    EXPECT_EQ(client({"tree"}).find("frame|"), std::string::npos)
        << "there while accessibility is off";
    // The events from here on: norvik's window, active already, as if just activated; then
    // while the keys' actions press them and Tab moves the focus.
    Streams streams;
    FILE *events = std::tmpfile();
    streams.out = fileno(events);
    const pid_t listener = spawn({"/usr/bin/python3", ATSPI_CLIENT, "events", "8"}, {}, streams);
    const auto heard = [&] { return readFile("/proc/self/fd/" + std::to_string(fileno(events))); };
    ASSERT_TRUE(waitUntil([&] { return heard().find("listening") != std::string::npos; }, 10));
    ASSERT_TRUE(switchAccessibility(true));
    start();
    const std::string tree = client({"tree"});
    const struct {
        const char *line, *why;
    } rows[] = {
        {"applications: norvik\n", "one application: no second one for a decoration plugin"},
        {"toolkit:FLTK\n", "the toolkit"},
        {"\napplication|norvik|", "the application"},
        {"\n  frame|norvik - Programmers' calculator|active,enabled,", "the window, by its title"},
        {"\n    label|0|enabled,has tooltip,sensitive,showing,visible||0\n", "the display"},
        // Role names: "push button" up to at-spi2-core 2.46, "button" from then on.
        {"radio button|decimal|checkable,checked,enabled,focusable,sensitive,showing,visible|;;"
         "<Shift>d|member of binary,octal,decimal,hexadecimal|2 of 4\n",
         "the current radix, checked, in the group Orca counts from its last member"},
        {"button|A|showing,visible|;;a\n", "a digit the radix lacks: not enabled"},
        {"button|shift left|enabled,focusable,sensitive,showing,visible|;;less\n",
         "a symbol in words"},
        {"button|clear all|enabled,focusable,sensitive,showing,visible|;;<Control>a\n",
         "with its shortcut"},
        {"button|unsigned, switches to signed|", "the signedness key, what it does"},
    };
    for (const auto &r : rows)
        EXPECT_NE(tree.find(r.line), std::string::npos) << r.why << "\n" << tree;
    const std::string screen = backend().wayland() ? "window" : "window,screen";
    EXPECT_EQ(client({"places", screen}), "looked at 37 objects, 0 characters\n");
    size_t keys = 0;
    for (size_t at = 0; (at = tree.find("button|", at)) != std::string::npos; ++at)
        ++keys;
    EXPECT_EQ(keys, 36u);

    for (const char *name : {"5", "plus", "3", "equals", "A"})
        EXPECT_EQ(client({"do", name}), std::string(name) == "A" ? "False\n" : "True\n") << name;
    typeText("{Tab}H");
    if (!backend().wayland()) { // a screen reader's key grab, a moment long: no one leaves
        Display *d = testDisplay();
        XGrabKeyboard(d, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync, CurrentTime);
        XSync(d, False);
        usleep(300000);
        XUngrabKeyboard(d, CurrentTime);
        XSync(d, False);
    }
    EXPECT_EQ(exitStatus(listener, 10), 0);
    const std::string seen = heard();
    std::fclose(events);
    for (const char *line :
         {"window:activate|norvik - Programmers' calculator|",
          "object:property-change:accessible-name|8|0|8\n",
          "object:state-changed:focused|hexadecimal|1|", "object:state-changed:enabled|A|1|",
          "object:state-changed:checked|hexadecimal|1|"})
        EXPECT_NE(seen.find(line), std::string::npos) << line << " in\n" << seen;
    EXPECT_EQ(seen.find("window:deactivate"), std::string::npos) << seen;
    EXPECT_NE(client({"tree"}).find("\n    label|hex 8|"), std::string::npos) << "8, A not pressed";

    // About, chosen through its menu item's action, and Keyboard Shortcuts, opened where
    // About leaves the place free: their texts, and where their lines and characters are.
    typeText("{Shift+F10}");
    ASSERT_TRUE(
        waitUntil([] { return client({"tree"}).find("menu item|About|") != std::string::npos; }));
    EXPECT_EQ(client({"do", "About"}), "True\n");
    ASSERT_TRUE(waitUntil([&] { return backend().window("About norvik").found; }));
    windowsChanged();
    ASSERT_TRUE(chooseMenuItem(TITLE, 301, 137, 1, 3));
    ASSERT_TRUE(waitUntil([&] { return backend().window("norvik Shortcuts").found; }));
    windowsChanged();
    const char *texts[] = {"\n  dialog|About norvik|",
                           "||norvik 1.1/(for Linux/Unix and MS Windows)/by/",
                           "/norvik@example.org\n", "\n  frame|norvik Shortcuts|",
                           "/ =           Enter   commit the operation\n"};
    std::string windows;
    EXPECT_TRUE(waitUntil(
        [&] {
            windows = client({"tree"});
            return windows.find(texts[3]) != std::string::npos;
        },
        10));
    for (const char *text : texts)
        EXPECT_NE(windows.find(text), std::string::npos) << text << " in\n" << windows;
    const std::string places = client({"places", screen});
    EXPECT_EQ(places.substr(0, places.find("looked at")), "");
    EXPECT_NE(places.find("looked at 40 objects, "), std::string::npos) << places;
}

// AT_SPI_BUS_ADDRESS names the accessibility bus (here where no session bus answers), and
// NO_AT_BRIDGE=1 keeps norvik off it, as toolkits read them.
TEST_F(ScreenReader, FollowsTheSessionsVariables) {
    run_.reset();
    ASSERT_TRUE(switchAccessibility(true));
    const std::string address = runCollecting({"busctl", "--user", "call", "org.a11y.Bus",
                                               "/org/a11y/bus", "org.a11y.Bus", "GetAddress"});
    const struct {
        std::vector<std::string> environment;
        bool listed;
    } rows[] = {
        {{"AT_SPI_BUS_ADDRESS=" + address.substr(3, address.rfind('"') - 3),
          "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent"},
         true},
        {{"NO_AT_BRIDGE=1"}, false},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.environment.front());
        run_.emplace(std::vector<std::string>{}, r.environment);
        ASSERT_TRUE(waitUntil([] { return backend().window(TITLE).found; }, 10));
        EXPECT_EQ(waitUntil([] { return client({"tree"}).find("frame|") != std::string::npos; }, 3),
                  r.listed);
        run_.reset();
    }
}

// A client of the accessibility bus, of the test's own.
sd_bus *accessibilityBus() {
    sd_bus *session = nullptr, *bus = nullptr;
    sd_bus_message *reply = nullptr;
    const char *address = nullptr;
    if (sd_bus_open_user(&session) >= 0 &&
        sd_bus_call_method(session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
                           nullptr, &reply, "") >= 0 &&
        sd_bus_message_read(reply, "s", &address) >= 0 && sd_bus_new(&bus) >= 0) {
        sd_bus_set_address(bus, address);
        sd_bus_set_bus_client(bus, 1);
        if (sd_bus_start(bus) < 0)
            bus = sd_bus_unref(bus);
    }
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(session);
    return bus;
}

// The process that owns `name` on `bus` (one the test's session started), or 0.
pid_t ownerOf(sd_bus *bus, const char *name) {
    sd_bus_message *reply = nullptr;
    uint32_t pid = 0;
    if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "GetConnectionUnixProcessID", nullptr, &reply,
                           "s", name) >= 0)
        sd_bus_message_read(reply, "u", &pid);
    sd_bus_message_unref(reply);
    return pid_t(pid);
}

// The bus name of the one application in the registry: norvik.
std::string applicationName(sd_bus *bus) {
    sd_bus_message *reply = nullptr;
    const char *name = "", *path = nullptr;
    if (sd_bus_call_method(bus, "org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root",
                           "org.a11y.atspi.Accessible", "GetChildAtIndex", nullptr, &reply, "i",
                           0) >= 0)
        sd_bus_message_read(reply, "(so)", &name, &path);
    const std::string found = name;
    sd_bus_message_unref(reply);
    return found;
}

// The accessibility bus is input from any program of the session: requests the protocol
// does not allow get error replies, and nothing changes: no crash, no hang, nothing on
// standard error, the calculation as typed, status 0 on Quit; also after the bus dies.
TEST_F(ScreenReader, HostileClientsChangeNothing) {
    ASSERT_TRUE(switchAccessibility(true));
    start();
    sd_bus *bus = accessibilityBus();
    ASSERT_NE(bus, nullptr);
    const std::string norvik = applicationName(bus), path = "/org/a11y/atspi/accessible/";
    ASSERT_FALSE(norvik.empty());
    // The window, the display, the A key (off in decimal) and "+", in reading order; the
    // About window's text, open for the rows.
    const std::string frame = path + "1", display = path + "2", inactive = path + "14",
                      key = path + "16", text = path + "40";
    ASSERT_TRUE(chooseMenuItem(TITLE, 150, 100, 0, 3));
    ASSERT_TRUE(waitUntil([] { return backend().window("About norvik").found; }));
    const std::string A11Y = "org.a11y.atspi.";
    const struct {
        std::string path, interface, member, signature, argument;
        bool answered; // a normal reply; else an error
    } rows[] = {
        {"/org/a11y/atspi/accessible/9999", "Accessible", "GetRole", "", "", false},
        {"/org/a11y/atspi/accessible/4294967297", "Accessible", "GetRole", "", "", false},
        {"/org/a11y/atspi/accessible/01", "Accessible", "GetRole", "", "", false},
        {"/org/a11y/atspi/accessible/root/1", "Accessible", "GetRole", "", "", false},
        {"/org/a11y/atspi/other", "Accessible", "GetRole", "", "", false},
        {frame, "Accessible", "GetChildAtIndex", "i", "37", false},
        {frame, "Accessible", "GetChildAtIndex", "i", "-1", false},
        {frame, "Accessible", "GetChildAtIndex", "s", "1", false},
        {frame, "Accessible", "GetChildAtIndex", "i", "36", true},
        {frame, "Component", "GetExtents", "u", "9", false},
        {frame, "Component", "Contains", "s", "x", false},
        {display, "Action", "DoAction", "i", "0", false},
        {path + "45", "Action", "DoAction", "i", "0", false}, // a menu item, the menu closed
        {text, "Text", "GetCharacterExtents", "iu", "2147483647 1", true},
        {display, "Text", "GetCharacterExtents", "iu", "-5 1", true},
        {text, "Text", "GetCharacterExtents", "iu", "0 7", false},
        {text, "Text", "GetRangeExtents", "iiu", "-2147483648 2147483647 0", true},
        {text, "Text", "GetRangeExtents", "iiu", "500 -3 0", true},
        {text, "Text", "GetOffsetAtPoint", "iiu", "-2147483648 2147483647 1", true},
        {display, "Text", "GetOffsetAtPoint", "iiu", "1 1 3", false},
        {frame, "Component", "GetAccessibleAtPoint", "iiu", "2147483647 -2147483648 0", true},
        {frame, "Component", "GetAccessibleAtPoint", "iiu", "5 5 99", false},
        {key, "Accessible", "GetRelationSet", "", "", true},
        {key, "Action", "DoAction", "i", "1", false},
        {key, "Action", "DoAction", "s", "0", false},
        {inactive, "Action", "DoAction", "i", "0", true},
        {display, "Text", "GetCharacterAtOffset", "i", "-5", true},
        {display, "Text", "GetStringAtOffset", "i", "0", false},
        {key, "Text", "GetCharacterAtOffset", "i", "0", false},
        {key, "Accessible", "NoSuchMethod", "", "", false},
        {"/org/a11y/atspi/accessible/root", "Application", "GetLocale", "", "", false},
        {"/", "org.freedesktop.DBus.Peer", "Ping", "", "", true}, // the registry's check
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.path + " " + r.member + "(" + r.signature + " " + r.argument + ")");
        sd_bus_message *m = nullptr, *reply = nullptr;
        const std::string interface =
            r.interface.find('.') == std::string::npos ? A11Y + r.interface : r.interface;
        ASSERT_GE(sd_bus_message_new_method_call(bus, &m, norvik.c_str(), r.path.c_str(),
                                                 interface.c_str(), r.member.c_str()),
                  0);
        std::istringstream arguments(r.argument); // one for each type of the signature
        for (const char type : r.signature) {
            std::string argument;
            arguments >> argument;
            const int value = type == 's' ? 0 : std::stoi(argument);
            if (type == 's')
                sd_bus_message_append(m, "s", argument.c_str());
            else
                sd_bus_message_append_basic(m, type, &value);
        }
        sd_bus_error error{}; // SD_BUS_ERROR_NULL, without a C99 compound literal
        const int answer = sd_bus_call(bus, m, 2000000, &error, &reply);
        EXPECT_EQ(answer >= 0, r.answered) << (error.name ? error.name : "answered");
        EXPECT_NE(answer, -ETIMEDOUT) << "no answer";
        sd_bus_error_free(&error);
        sd_bus_message_unref(reply);
        sd_bus_message_unref(m);
    }
    typeText("{Escape}"); // About closed
    ASSERT_TRUE(waitUntil([] { return !backend().window("About norvik").found; }));
    // Properties: a read-only one set, a writable one with the wrong type.
    for (const char *property : {"Name", "Id"})
        EXPECT_LT(sd_bus_set_property(
                      bus, norvik.c_str(), "/org/a11y/atspi/accessible/root",
                      (A11Y + (property[0] == 'N' ? "Accessible" : "Application")).c_str(),
                      property, nullptr, "s", "x"),
                  0)
            << property;
    // A keystroke listener that takes a second over every key: the keys wait for it no
    // longer than the toolkits' bridges would, and go on as typed; then the registry ends
    // while keys still wait for it.
    Streams streams;
    FILE *said = std::tmpfile();
    streams.out = fileno(said);
    const pid_t slow = spawn({"/usr/bin/python3", ATSPI_CLIENT, "slowkeys", "1"}, {}, streams);
    ASSERT_TRUE(waitUntil(
        [&] {
            return readFile("/proc/self/fd/" + std::to_string(fileno(said))).find("listening") !=
                   std::string::npos;
        },
        10));
    sd_bus *a11y = accessibilityBus();
    ASSERT_NE(a11y, nullptr);
    const auto shows = [&](const char *value) { // asked of norvik, not of the held-up registry
        char *name = nullptr;
        const bool is = sd_bus_get_property_string(a11y, norvik.c_str(), display.c_str(),
                                                   (A11Y + "Accessible").c_str(), "Name", nullptr,
                                                   &name) >= 0 &&
                        std::string(name) == value;
        std::free(name);
        return is;
    };
    typeText("5*6\n");
    EXPECT_TRUE(waitUntil([&] { return shows("30"); }, 2)) << "keys waited for the listener";
    typeText("{Ctrl+a}9*6");
    kill(ownerOf(a11y, "org.a11y.atspi.Registry"), SIGTERM);
    typeText("\n");
    EXPECT_TRUE(waitUntil([&] { return shows("54"); }, 5)) << "keys lost with the registry";
    sd_bus_flush_close_unref(a11y);
    EXPECT_TRUE(
        waitUntil([] { return client({"tree"}).find("\n    label|54|") != std::string::npos; }, 20))
        << "norvik listed again";
    stopProgram(slow);
    std::fclose(said);
    // A flood, and a client gone with its calls unanswered.
    for (int i = 0; i < 20000; ++i)
        sd_bus_call_method_async(bus, nullptr, norvik.c_str(), frame.c_str(),
                                 (A11Y + "Accessible").c_str(), "GetChildren", nullptr, nullptr,
                                 "");
    sd_bus_flush_close_unref(bus);
    typeText("{Ctrl+a}7*6\n");
    EXPECT_TRUE(
        waitUntil([] { return client({"tree"}).find("\n    label|42|") != std::string::npos; }, 20))
        << "the calculation as typed, A never pressed";
    // The accessibility bus goes away (its launcher ends): norvik goes on, and ends well.
    sd_bus *session = nullptr;
    ASSERT_GE(sd_bus_open_user(&session), 0);
    const pid_t launcher = ownerOf(session, "org.a11y.Bus");
    sd_bus_flush_close_unref(session);
    ASSERT_GT(launcher, 0);
    kill(launcher, SIGTERM);
    typeText("+1\n");
    usleep(500000);
    EXPECT_TRUE(run_->running());
    ASSERT_TRUE(chooseMenuItem(TITLE, 150, 100, 2, 3)); // Quit
    EXPECT_EQ(run_->end(), 0);
}

// Orca, its speech written to a file by speech-dispatcher's generic module, and norvik.
class Orca : public ScreenReader {
  protected:
    void SetUp() override {
        if (access("/usr/bin/orca", X_OK) != 0)
            GTEST_SKIP() << "no Orca here";
        if (backend().wayland())
            GTEST_SKIP() << "Orca takes its keys from X here";
        // Orca starts no second one for the same user, and a test never stops a user's own.
        const std::string orcas =
            runCollecting({"pgrep", "-u", std::to_string(getuid()), "-x", "orca"});
        if (!orcas.empty())
            GTEST_SKIP() << "an Orca of this user runs already (pid "
                         << orcas.substr(0, orcas.find('\n'))
                         << "): the Orca tests run where none does";
        const std::string config = s_runtime + "/speech";
        spoken_ = config + "/spoken";
        mkdir(config.c_str(), 0700);
        mkdir((config + "/modules").c_str(), 0700);
        const std::string socketDir =
            std::getenv("XDG_RUNTIME_DIR") + std::string("/speech-dispatcher");
        mkdir(socketDir.c_str(), 0700);
        std::ofstream(config + "/speechd.conf")
            << "AddModule \"file\" \"sd_generic\" \"file.conf\"\nDefaultModule file\n"
               "AudioOutputMethod \"libao\"\n";
        std::ofstream(config + "/modules/file.conf")
            << "GenericExecuteSynth \"echo \\'$DATA\\' >> " << spoken_ << "\"\n"
            << "GenericLanguage \"en\" \"en\" \"utf-8\"\nAddVoice \"en\" \"MALE1\" \"en\"\n";
        speech_ = spawn({"speech-dispatcher", "-s", "-t", "0", "-C", config, "-S",
                         socketDir + "/speechd.sock"});
        ASSERT_TRUE(switchAccessibility(true));
        FILE *log = std::fopen((s_runtime + "/orca.log").c_str(), "w");
        Streams streams;
        streams.out = streams.err = log ? fileno(log) : -1;
        std::vector<std::string> orca = {"orca", "-u", s_runtime + "/orca"};
        if (const char *debug = std::getenv("NORVIK_ORCA_DEBUG")) // Orca's own record, for a look
            orca.push_back(std::string("--debug-file=") + debug);
        orca_ = spawn(orca, {}, streams);
        if (log)
            std::fclose(log);
        ASSERT_TRUE(
            waitUntil([&] { return spoken().find("Screen reader on.") != std::string::npos; }, 20))
            << readFile(s_runtime + "/orca.log");
        startedAt_ = spoken().size();
        run_.emplace(); // after Orca, as where Orca starts with the session
        start();
    }
    void TearDown() override {
        stopProgram(orca_);
        stopProgram(speech_);
        ScreenReader::TearDown();
    }
    std::string spoken() const { return readFile(spoken_); }
    // Types `typed` ("|": a moment, as a user takes one) and waits until Orca has said each
    // of `said` in turn, from `from` on (by default what it says from now).
    void expectSaid(const std::string &typed, const std::vector<std::string> &said,
                    size_t from = std::string::npos) {
        const size_t before = from != std::string::npos ? from : spoken().size();
        std::istringstream keys(typed);
        for (std::string part; std::getline(keys, part, '|'); usleep(300000))
            typeText(part);
        EXPECT_TRUE(waitUntil(
            [&] {
                size_t at = before;
                for (const std::string &words : said)
                    if ((at = spoken().find(words, at)) == std::string::npos)
                        return false;
                    else
                        at += words.size();
                return true;
            },
            10))
            << "spoken:\n"
            << spoken().substr(before);
        usleep(500000); // the next speech apart
    }
    std::string spoken_;
    size_t startedAt_ = 0; // what Orca had said when norvik started
    pid_t speech_ = -1, orca_ = -1;
};

// Orca speaks the window's title as norvik starts, the value after typed keys (and the
// keys, echoed), the key Tab moves to (a radix key: whether it is the current one, and
// where in its group), a new radix or mode, the menu's items as the arrows move in it, the
// tooltip Ctrl+F1 shows, and a refused paste. Its own commands are its own: Where Am I
// (keypad Enter) is no "=", flat review (the keypad's 8, Num Lock off) no "8".
TEST_F(Orca, SpeaksValuesKeysMenusAndRefusals) {
    const struct {
        const char *clipboard, *typed;
        std::vector<std::string> said;
        const char *unsaid = nullptr; // and what it must not say meanwhile
    } rows[] = {
        // what is typed, "|" a moment
        {nullptr, "", {"norvik - Programmers' calculator frame"}},
        {nullptr, "1|2|+|3|\n", {"1", "1\n", "12", "3", "15"}}, // the key echoed, the value
        {nullptr,
         "{Ctrl+a}|5|+|3|{KP_Enter}|2|\n",
         {"\n3\n", "norvik - Programmers' calculator frame", "32", "37"}},
        {nullptr, "{Tab}", {"hexadecimal", "not selected radio button"}},
        {nullptr, "{Shift+H}", {"hex 2 5"}},
        {nullptr, "{Shift+S}", {"\nsigned\n"}}, // the digits as they were
        {nullptr, "{Shift+Tab}|{Tab}", {"hexadecimal", "selected radio button"}, "not selected"},
        {nullptr, "{KP_Enter}", {"1 of 4"}},
        {nullptr, "{Shift+F10}|{Down}|{Down}|{Escape}", {"About.", "Keyboard Shortcuts."}},
        {nullptr, "{Ctrl+F1}", {"display   hex, signed", "hex       0x25"}},
        {"apples", "{Ctrl+v}", {"not a number"}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.typed);
        if (r.clipboard) {
            ASSERT_TRUE(ownClipboard(r.clipboard));
        }
        const size_t before = &r == rows ? startedAt_ : spoken().size();
        expectSaid(r.typed, r.said, before);
        if (r.unsaid) {
            EXPECT_EQ(spoken().find(r.unsaid, before), std::string::npos) << r.unsaid;
        }
    }
    releaseClipboard();
    // Flat review of the About window's text, from the ok button up, a line at a time.
    ASSERT_TRUE(chooseMenuItem(TITLE, 150, 70, 0, 3));
    expectSaid("", {"ok", "button"});
    expectSaid("{KP_Home}|{KP_Home}|{KP_Home}|{KP_Home}|{KP_Home}|{KP_Home}", // up, line by line
               {"norvik@example.org", "https://norvik.example.org", "The norvik developers", "by",
                "(for Linux/Unix and MS Windows)", "norvik 1.1"});
    std::printf("Orca spoke:\n%s", spoken().c_str());
}

// Orca hears norvik again once the registry has started anew, and hears each value once
// while another tool listens for announcements.
TEST_F(Orca, HeardAfterARegistryRestartAndBesideOtherListeners) {
    sd_bus *bus = accessibilityBus();
    ASSERT_NE(bus, nullptr);
    const pid_t registry = ownerOf(bus, "org.a11y.atspi.Registry");
    sd_bus_flush_close_unref(bus);
    ASSERT_GT(registry, 0);
    kill(registry, SIGTERM); // a client's next call starts it again
    EXPECT_TRUE(waitUntil(
        [] { return client({"tree"}).find("\n  frame|norvik - ") != std::string::npos; }, 10))
        << "norvik not listed again";
    expectSaid("7", {"7", "7\n"});

    Streams streams;
    FILE *events = std::tmpfile();
    streams.out = fileno(events);
    const pid_t listener = spawn(
        {"/usr/bin/python3", ATSPI_CLIENT, "events", "6", "object:announcement"}, {}, streams);
    ASSERT_TRUE(waitUntil(
        [&] {
            return readFile("/proc/self/fd/" + std::to_string(fileno(events))).find("listening") !=
                   std::string::npos;
        },
        10));
    const size_t before = spoken().size();
    expectSaid("8", {"78\n"});
    usleep(500000);
    const std::string said = spoken().substr(before);
    EXPECT_EQ(said.find("78\n"), said.rfind("78\n")) << "said twice:\n" << said;
    stopProgram(listener);
    std::fclose(events);
}

} // namespace
