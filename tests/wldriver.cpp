// SPDX-License-Identifier: MIT
// A private headless sway, its tree read through swaymsg, and the test's own virtual
// keyboard (with a standard US keymap, like a real keyboard's) and virtual pointer.
#include "wldriver.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <linux/input-event-codes.h>
#include <nlohmann/json.hpp>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <functional>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <vector>
#include <unistd.h>

namespace {

std::string s_runtimeDir;

// What `argv` writes on its standard output; no shell, so titles need no quoting.
std::string run(std::vector<std::string> argv) {
    int fds[2];
    if (pipe(fds) != 0)
        return "";
    const pid_t pid = fork();
    if (pid == 0) {
        const int quiet = open("/dev/null", O_RDWR);
        dup2(quiet, 0);
        dup2(fds[1], 1);
        dup2(quiet, 2);
        std::vector<char *> args;
        for (std::string &a : argv)
            args.push_back(&a[0]);
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buf[65536];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        out.append(buf, size_t(n));
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    return out;
}

// The first entry of the runtime folder whose name starts with `prefix` and ends with
// `suffix`.
std::string findEntry(const char *prefix, const char *suffix) {
    std::string found;
    if (DIR *dir = opendir(s_runtimeDir.c_str())) {
        while (dirent *e = readdir(dir)) {
            const std::string name = e->d_name;
            if (name.rfind(prefix, 0) == 0 && name.size() >= std::strlen(suffix) &&
                name.compare(name.size() - std::strlen(suffix), std::string::npos, suffix) == 0)
                found = name;
        }
        closedir(dir);
    }
    return found;
}

} // namespace

bool wlWaitUntil(const std::function<bool()> &done, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

pid_t startSway(double scale) {
    char dir[] = "/tmp/norvik-wayland-XXXXXX";
    if (mkdtemp(dir) == nullptr)
        return -1;
    chmod(dir, 0700);
    s_runtimeDir = dir;
    const std::string config = s_runtimeDir + "/config";
    if (FILE *f = std::fopen(config.c_str(), "w")) {
        std::fprintf(f, "output HEADLESS-1 resolution %dx%d position 0 0 scale %g\n",
                     int(800 * scale), int(600 * scale), scale);
        std::fprintf(f, "xwayland disable\n");
        std::fclose(f);
    }
    setenv("XDG_RUNTIME_DIR", dir, 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("WLR_BACKENDS", "headless", 1);
        setenv("WLR_LIBINPUT_NO_DEVICES", "1", 1);
        setenv("WLR_RENDERER", "pixman", 1);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        execlp("sway", "sway", "--config", config.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    if (pid < 0)
        return -1;
    // Ready once both its Wayland socket and its IPC socket are there and answer.
    std::string socket, ipc;
    const bool up = wlWaitUntil(
        [&] {
            socket = findEntry("wayland-", "");
            ipc = findEntry("sway-ipc.", ".sock");
            return !socket.empty() && socket.find(".lock") == std::string::npos && !ipc.empty();
        },
        10);
    if (!up) {
        stopSway(pid);
        return -1;
    }
    setenv("WAYLAND_DISPLAY", socket.c_str(), 1);
    setenv("SWAYSOCK", (s_runtimeDir + "/" + ipc).c_str(), 1);
    wlWaitUntil([] { return swayCommand("nop"); }, 5);
    return pid;
}

void stopSway(pid_t sway) {
    if (sway > 0) {
        kill(sway, SIGTERM);
        waitpid(sway, nullptr, 0);
    }
    if (!s_runtimeDir.empty())
        run({"rm", "-rf", s_runtimeDir});
}

bool swayCommand(const std::string &command) {
    const std::string answer = run({"swaymsg", "-r", "--", command});
    return answer.find("\"success\": true") != std::string::npos;
}

std::string grabScreen() {
    return run({"grim", "-t", "ppm", "-"});
}

namespace {

const nlohmann::json *findNode(const nlohmann::json &node, const char *title) {
    if (node.value("name", nlohmann::json()).is_string() && node["name"] == title &&
        node.contains("shell"))
        return &node;
    for (const char *children : {"nodes", "floating_nodes"})
        if (node.contains(children))
            for (const nlohmann::json &child : node[children])
                if (const nlohmann::json *found = findNode(child, title))
                    return found;
    return nullptr;
}

} // namespace

SwayWindow swayWindow(const char *title) {
    SwayWindow w;
    const nlohmann::json tree =
        nlohmann::json::parse(run({"swaymsg", "-r", "-t", "get_tree"}), nullptr, false);
    if (tree.is_discarded())
        return w;
    const nlohmann::json *node = findNode(tree, title);
    if (node == nullptr)
        return w;
    w.found = true;
    w.appId = node->value("app_id", nlohmann::json()).is_string() ? (*node)["app_id"] : "";
    w.shell = node->value("shell", "");
    const nlohmann::json &rect = (*node)["rect"], &content = (*node)["window_rect"];
    w.x = rect["x"].get<int>() + content["x"].get<int>();
    w.y = rect["y"].get<int>() + content["y"].get<int>();
    w.w = content["width"];
    w.h = content["height"];
    return w;
}

namespace {

struct Input {
    wl_display *display = nullptr;
    wl_seat *seat = nullptr;
    zwp_virtual_keyboard_manager_v1 *keyboards = nullptr;
    zwlr_virtual_pointer_manager_v1 *pointers = nullptr;
    zwp_virtual_keyboard_v1 *keyboard = nullptr;
    zwlr_virtual_pointer_v1 *pointer = nullptr;
    xkb_context *context = nullptr;
    xkb_keymap *keymap = nullptr;
    xkb_state *state = nullptr;
};

Input s_input;

void global(void *, wl_registry *registry, uint32_t name, const char *interface, uint32_t) {
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !s_input.seat)
        s_input.seat =
            static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        s_input.keyboards = static_cast<zwp_virtual_keyboard_manager_v1 *>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        s_input.pointers = static_cast<zwlr_virtual_pointer_manager_v1 *>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

void globalRemoved(void *, wl_registry *, uint32_t) {}

const wl_registry_listener REGISTRY = {global, globalRemoved};

uint32_t now() {
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

void sendModifiers() {
    zwp_virtual_keyboard_v1_modifiers(
        s_input.keyboard, xkb_state_serialize_mods(s_input.state, XKB_STATE_MODS_DEPRESSED),
        xkb_state_serialize_mods(s_input.state, XKB_STATE_MODS_LATCHED),
        xkb_state_serialize_mods(s_input.state, XKB_STATE_MODS_LOCKED),
        xkb_state_serialize_layout(s_input.state, XKB_STATE_LAYOUT_EFFECTIVE));
}

// A virtual keyboard's modifiers are what its client says they are: kept in step with the
// keys through an xkb state of our own.
void key(xkb_keycode_t code, bool down) {
    zwp_virtual_keyboard_v1_key(s_input.keyboard, now(), code - 8,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED
                                     : WL_KEYBOARD_KEY_STATE_RELEASED);
    xkb_state_update_key(s_input.state, code, down ? XKB_KEY_DOWN : XKB_KEY_UP);
    sendModifiers();
}

// The key and shift level that type `sym` on layout 0, or 0.
xkb_keycode_t keyFor(xkb_keysym_t sym, xkb_level_index_t &level) {
    for (xkb_keycode_t code = xkb_keymap_min_keycode(s_input.keymap);
         code <= xkb_keymap_max_keycode(s_input.keymap); ++code)
        for (level = 0; level < xkb_keymap_num_levels_for_key(s_input.keymap, code, 0); ++level) {
            const xkb_keysym_t *syms = nullptr;
            if (xkb_keymap_key_get_syms_by_level(s_input.keymap, code, 0, level, &syms) == 1 &&
                syms[0] == sym)
                return code;
        }
    return 0;
}

xkb_keycode_t keyFor(xkb_keysym_t sym) {
    xkb_level_index_t level;
    return keyFor(sym, level);
}

} // namespace

bool connectInput() {
    if (s_input.display)
        return true;
    s_input.display = wl_display_connect(nullptr);
    if (!s_input.display)
        return false;
    wl_registry *registry = wl_display_get_registry(s_input.display);
    wl_registry_add_listener(registry, &REGISTRY, nullptr);
    wl_display_roundtrip(s_input.display);
    if (!s_input.seat || !s_input.keyboards || !s_input.pointers)
        return false;

    s_input.context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names = {"evdev", "pc105", "us", "", ""};
    s_input.keymap =
        xkb_keymap_new_from_names(s_input.context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!s_input.keymap)
        return false;
    s_input.state = xkb_state_new(s_input.keymap);
    char *text = xkb_keymap_get_as_string(s_input.keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    const size_t size = std::strlen(text) + 1;
    const int fd = memfd_create("norvik-test-keymap", MFD_CLOEXEC);
    const bool written = fd >= 0 && write(fd, text, size) == ssize_t(size);
    std::free(text);
    if (!written)
        return false;
    s_input.keyboard =
        zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(s_input.keyboards, s_input.seat);
    zwp_virtual_keyboard_v1_keymap(s_input.keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   uint32_t(size));
    close(fd);
    s_input.pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(s_input.pointers, s_input.seat);
    return wl_display_roundtrip(s_input.display) >= 0;
}

void wlTypeKey(unsigned long sym, unsigned modifiers) {
    xkb_level_index_t level = 0;
    const xkb_keycode_t code = keyFor(xkb_keysym_t(sym), level);
    if (code == 0) {
        std::fprintf(stderr, "no key types keysym 0x%lx\n", sym);
        return;
    }
    const bool shift = (modifiers & 1) || level == 1;
    const xkb_keycode_t shiftKey = keyFor(XKB_KEY_Shift_L), ctrlKey = keyFor(XKB_KEY_Control_L);
    if (modifiers & 4)
        key(ctrlKey, true);
    if (shift)
        key(shiftKey, true);
    key(code, true);
    key(code, false);
    if (shift)
        key(shiftKey, false);
    if (modifiers & 4)
        key(ctrlKey, false);
    wl_display_roundtrip(s_input.display);
}

void wlTypeKeypad(const std::vector<unsigned long> &syms) {
    const xkb_keycode_t numLock = keyFor(XKB_KEY_Num_Lock);
    key(numLock, true); // locks Num Lock
    key(numLock, false);
    for (unsigned long sym : syms) {
        const xkb_keycode_t code = keyFor(xkb_keysym_t(sym));
        key(code, true);
        key(code, false);
    }
    key(numLock, true); // and unlocks it
    key(numLock, false);
    wl_display_roundtrip(s_input.display);
}

namespace {

// The layout's size in logical pixels: absolute motion is given as a share of it.
void layoutSize(uint32_t &w, uint32_t &h) {
    static uint32_t s_w = 0, s_h = 0;
    if (s_w == 0) {
        const nlohmann::json outputs =
            nlohmann::json::parse(run({"swaymsg", "-r", "-t", "get_outputs"}), nullptr, false);
        if (!outputs.is_discarded() && outputs.is_array() && !outputs.empty()) {
            s_w = outputs[0]["rect"]["width"];
            s_h = outputs[0]["rect"]["height"];
        }
    }
    w = s_w ? s_w : 800;
    h = s_h ? s_h : 600;
}

} // namespace

void wlMoveTo(double x, double y) {
    uint32_t w, h;
    layoutSize(w, h);
    // In hundredths of a logical pixel, so that (x, y) lands where it is meant to.
    zwlr_virtual_pointer_v1_motion_absolute(s_input.pointer, now(), uint32_t(x * 100 + 50),
                                            uint32_t(y * 100 + 50), w * 100, h * 100);
    zwlr_virtual_pointer_v1_frame(s_input.pointer);
    wl_display_roundtrip(s_input.display);
}

void wlClick(double x, double y, unsigned button) {
    const uint32_t code = button == 3 ? BTN_RIGHT : button == 2 ? BTN_MIDDLE : BTN_LEFT;
    wlMoveTo(x, y);
    zwlr_virtual_pointer_v1_button(s_input.pointer, now(), code, WL_POINTER_BUTTON_STATE_PRESSED);
    zwlr_virtual_pointer_v1_frame(s_input.pointer);
    wl_display_roundtrip(s_input.display);
    // A human click lasts a moment; a zero-length one can read as the end of a drag.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    zwlr_virtual_pointer_v1_button(s_input.pointer, now(), code, WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(s_input.pointer);
    wl_display_roundtrip(s_input.display);
}
