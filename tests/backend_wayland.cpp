// SPDX-License-Identifier: MIT
// The Wayland back end: a private headless sway, its tree (through swaymsg) for where
// windows are, grim for what it shows, the tests' own virtual keyboard (a standard US
// keymap, like a real keyboard's) and virtual pointer, and wl-clipboard as the other
// program on the clipboard.
#include "backend.h"
#include "process.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/platform.H>
#include <linux/input-event-codes.h>
#include <nlohmann/json.hpp>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using nlohmann::json;

// The test's own input devices, on a connection of their own.
struct Input {
    wl_display *display = nullptr;
    wl_seat *seat = nullptr;
    zwp_virtual_keyboard_manager_v1 *keyboards = nullptr;
    zwlr_virtual_pointer_manager_v1 *pointers = nullptr;
    zwp_virtual_keyboard_v1 *keyboard = nullptr;
    zwlr_virtual_pointer_v1 *pointer = nullptr;
    xkb_keymap *keymap = nullptr;
    xkb_state *state = nullptr;
};

void global(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t) {
    Input &in = *static_cast<Input *>(data);
    const auto bind = [&](const wl_interface *type) {
        return wl_registry_bind(registry, name, type, 1);
    };
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !in.seat)
        in.seat = static_cast<wl_seat *>(bind(&wl_seat_interface));
    else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        in.keyboards = static_cast<zwp_virtual_keyboard_manager_v1 *>(
            bind(&zwp_virtual_keyboard_manager_v1_interface));
    else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        in.pointers = static_cast<zwlr_virtual_pointer_manager_v1 *>(
            bind(&zwlr_virtual_pointer_manager_v1_interface));
}

void globalRemoved(void *, wl_registry *, uint32_t) {}

const wl_registry_listener REGISTRY = {global, globalRemoved};

uint32_t now() {
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

const json *findNode(const json &node, const char *title) {
    if (node.value("name", json()).is_string() && node["name"] == title && node.contains("shell"))
        return &node;
    for (const char *children : {"nodes", "floating_nodes"})
        if (node.contains(children))
            for (const json &child : node[children])
                if (const json *found = findNode(child, title))
                    return found;
    return nullptr;
}

Fl_Window *shownMenu() {
    for (Fl_Window *w = Fl::first_window(); w; w = Fl::next_window(w))
        if (w->menu_window() && w->shown() && w->visible())
            return w;
    return nullptr;
}

Image parsePpm(const std::string &ppm) {
    Image image;
    int w = 0, h = 0, max = 0, used = 0;
    if (std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &w, &h, &max, &used) != 3 || max != 255 ||
        ppm.size() < size_t(used) + 1 + size_t(w) * size_t(h) * 3)
        return image;
    image.w = w;
    image.h = h;
    for (size_t i = 0; i < size_t(w) * size_t(h); ++i) {
        const auto *p = reinterpret_cast<const unsigned char *>(ppm.data() + used + 1 + 3 * i);
        image.pixels.push_back(uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
    }
    return image;
}

class WaylandBackend : public Backend {
  public:
    bool wayland() const override { return true; }

    // sway with no GPU and no input devices, one 800 x 600 output (in logical pixels) at the
    // test's scale, in a runtime folder of its own.
    bool start() override {
        char dir[] = "/tmp/norvik-wayland-XXXXXX";
        if (mkdtemp(dir) == nullptr)
            return false;
        chmod(dir, 0700);
        runtime_ = dir;
        const std::string config = runtime_ + "/config";
        if (FILE *f = std::fopen(config.c_str(), "w")) {
            const double scale = testScale();
            std::fprintf(f, "output HEADLESS-1 resolution %dx%d position 0 0 scale %g\n",
                         int(800 * scale), int(600 * scale), scale);
            std::fprintf(f, "xwayland disable\n");
            std::fclose(f);
        }
        setenv("XDG_RUNTIME_DIR", dir, 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        sway_ =
            spawn({"sway", "--config", config},
                  {"WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"});
        // Up once both its Wayland socket and its IPC socket are there and answer.
        std::string socket, ipc;
        if (sway_ <= 0 || !waitUntil(
                              [&] {
                                  socket = findEntry("wayland-", "");
                                  ipc = findEntry("sway-ipc.", ".sock");
                                  return !socket.empty() && !ipc.empty();
                              },
                              10))
            return false;
        setenv("WAYLAND_DISPLAY", socket.c_str(), 1);
        setenv("SWAYSOCK", (runtime_ + "/" + ipc).c_str(), 1);
        waitUntil([&] {
            return sway({"-r", "--", "nop"}).find("\"success\": true") != std::string::npos;
        });
        // The toolkit rings the bell by writing BEL to standard error: what it writes goes
        // through a pipe that counts the bells and passes the rest on.
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        stderr_ = dup(2);
        dup2(fds[1], 2);
        ::close(fds[1]);
        errors_ = fds[0];
        fcntl(errors_, F_SETFL, O_NONBLOCK);
        return connectInput();
    }
    void stop() override {
        releaseClipboard();
        bells();
        dup2(stderr_, 2);
        stopProgram(sway_);
        if (!runtime_.empty()) // no program run for it: the toolkit must not wait on a dead server
            std::filesystem::remove_all(runtime_);
    }

    // No X display to fall back on, the toolkit on a Wayland connection, and the compositor
    // showing the window as an xdg-shell toplevel.
    bool native(Fl_Window *w, std::string &facts) override {
        const json *node = nullptr;
        const json tree = tree_(w->label(), node);
        const std::string shell = node ? node->value("shell", "") : "no such window";
        facts = std::string("DISPLAY ") + (std::getenv("DISPLAY") ? "set" : "unset") +
                ", toolkit on " + (fl_wl_display() ? "Wayland" : "no Wayland connection") +
                ", compositor: " + shell;
        return !std::getenv("DISPLAY") && fl_wl_display() && fl_wl_xid(w) && shell == "xdg_shell";
    }

    Place window(const char *title) override {
        const json *node = nullptr;
        const json tree = tree_(title, node);
        Place p;
        if (node == nullptr)
            return p;
        const json &rect = (*node)["rect"], &content = (*node)["window_rect"];
        p = {true, rect["x"].get<int>() + content["x"].get<int>(),
             rect["y"].get<int>() + content["y"].get<int>(), content["width"].get<int>(),
             content["height"].get<int>()};
        return p;
    }
    // Ours: the toolkit knows where it put the menu, relative to the toplevel it belongs to.
    // Another program's: the compositor tells nobody.
    int popup(Place &menu) override {
        if (fl_wl_display() == nullptr)
            return -1;
        Fl_Window *shown = shownMenu();
        if (shown == nullptr || Fl::grab() == nullptr)
            return 0;
        const float s = scaleOf(shown);
        const Place top = window(Fl::first_window() ? topLabel() : "");
        menu = {true, top.x + int(shown->x() * s), top.y + int(shown->y() * s), int(shown->w() * s),
                int(shown->h() * s)};
        return 1;
    }
    void focus(const char *title) override {
        sway({"--", std::string("[title=\"^") + title + "$\"] focus"});
        const Place p = window(title);
        pointer(p.x + p.w / 2, p.y + p.h / 2); // the compositor's keyboard follows it too
        settle();
    }
    void close(const char *title) override {
        sway({"--", std::string("[title=\"^") + title + "$\"] kill"});
    }
    std::string identity(const char *title) override {
        const json *node = nullptr;
        const json tree = tree_(title, node);
        if (node == nullptr)
            return "no such window";
        const Place p = window(title);
        return "app id " + node->value("app_id", std::string()) + ", " + node->value("shell", "") +
               ", " + std::to_string(p.w) + "x" + std::to_string(p.h);
    }

    // A virtual keyboard's modifiers are what its client says they are: kept in step with
    // the keys through an xkb state of our own.
    void typeKey(unsigned long sym, unsigned modifiers) override {
        xkb_level_index_t level = 0;
        const xkb_keycode_t code = keyFor(xkb_keysym_t(sym), level);
        if (code == 0) {
            std::fprintf(stderr, "no key types keysym 0x%lx\n", sym);
            return;
        }
        const bool shift = (modifiers & SHIFT) || (level == 1 && !(modifiers & RAW));
        const xkb_keycode_t shiftKey = keyFor(XKB_KEY_Shift_L, level);
        const xkb_keycode_t ctrlKey = keyFor(XKB_KEY_Control_L, level);
        if (modifiers & CTRL)
            key(ctrlKey, true);
        if (shift)
            key(shiftKey, true);
        key(code, true);
        key(code, false);
        if (shift)
            key(shiftKey, false);
        if (modifiers & CTRL)
            key(ctrlKey, false);
        wl_display_roundtrip(input_.display);
    }
    void pointer(double x, double y) override {
        // Absolute motion is a share of the layout, in hundredths of a logical pixel.
        const uint32_t w = uint32_t(800 * 100), h = uint32_t(600 * 100);
        zwlr_virtual_pointer_v1_motion_absolute(input_.pointer, now(), uint32_t(x * 100 + 50),
                                                uint32_t(y * 100 + 50), w, h);
        zwlr_virtual_pointer_v1_frame(input_.pointer);
        wl_display_roundtrip(input_.display);
    }
    void button(unsigned button, bool down) override {
        // A human click lasts a moment; a zero-length one can read as the end of a drag.
        if (!down)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const uint32_t code = button == 3 ? BTN_RIGHT : button == 2 ? BTN_MIDDLE : BTN_LEFT;
        zwlr_virtual_pointer_v1_button(input_.pointer, now(), code,
                                       down ? WL_POINTER_BUTTON_STATE_PRESSED
                                            : WL_POINTER_BUTTON_STATE_RELEASED);
        zwlr_virtual_pointer_v1_frame(input_.pointer);
        wl_display_roundtrip(input_.display);
    }
    // grim writes what the compositor shows, at the output's scale. Without a cursor plane
    // the pointer is drawn into the picture: it goes to a corner first.
    Image grab(const Place &area) override {
        pointer(0, 0);
        settle();
        std::vector<std::string> argv = {"grim", "-t", "ppm"};
        if (area.found)
            argv.insert(argv.end(),
                        {"-g", std::to_string(area.x) + "," + std::to_string(area.y) + " " +
                                   std::to_string(area.w) + "x" + std::to_string(area.h)});
        argv.push_back("-");
        return parsePpm(runCollecting(argv));
    }
    std::vector<std::string> clipboardOwner(bool primary) override {
        std::vector<std::string> owner = {"wl-copy", "--foreground", "--type",
                                          "text/plain;charset=utf-8"};
        if (primary)
            owner.push_back("--primary");
        return owner;
    }
    std::vector<std::string> clipboardReader(bool primary) override {
        if (primary)
            return {"wl-paste", "--no-newline", "--primary"};
        return {"wl-paste", "--no-newline"};
    }

    // The compositor has our events (each input call ends with a round trip); a round trip
    // on the toolkit's connection brings in what the compositor sent it, then the toolkit
    // handles it.
    void settle() override {
        drainErrors();
        if (fl_wl_display() == nullptr)
            return;
        Fl::flush();
        wl_display_roundtrip(fl_wl_display());
        for (int i = 0; i < 200 && Fl::ready(); ++i)
            Fl::wait(0);
        Fl::wait(0.01);
    }
    int bells() override {
        drainErrors();
        const int rung = bells_;
        bells_ = 0;
        return rung;
    }

  private:
    std::string sway(std::vector<std::string> args) {
        args.insert(args.begin(), "swaymsg");
        return runCollecting(args);
    }
    // The compositor's tree, and in it the toplevel titled `title` (or null).
    json tree_(const char *title, const json *&node) {
        json tree = json::parse(sway({"-r", "-t", "get_tree"}), nullptr, false);
        node = tree.is_discarded() ? nullptr : findNode(tree, title);
        return tree;
    }
    static const char *topLabel() {
        for (Fl_Window *w = Fl::first_window(); w; w = Fl::next_window(w))
            if (!w->menu_window() && !w->tooltip_window() && w->label())
                return w->label();
        return "";
    }
    // The first entry of the runtime folder named `prefix`...`suffix`, not a lock file.
    std::string findEntry(const std::string &prefix, const std::string &suffix) {
        const std::string list = runCollecting({"ls", runtime_});
        for (size_t at = 0, end; at < list.size(); at = end + 1) {
            end = list.find('\n', at);
            const std::string name = list.substr(at, end - at);
            if (name.rfind(prefix, 0) == 0 && name.find(".lock") == std::string::npos &&
                name.size() >= suffix.size() &&
                name.compare(name.size() - suffix.size(), std::string::npos, suffix) == 0)
                return name;
        }
        return "";
    }
    bool connectInput() {
        input_.display = wl_display_connect(nullptr);
        if (!input_.display)
            return false;
        wl_registry *registry = wl_display_get_registry(input_.display);
        wl_registry_add_listener(registry, &REGISTRY, &input_);
        wl_display_roundtrip(input_.display);
        if (!input_.seat || !input_.keyboards || !input_.pointers)
            return false;
        xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        const xkb_rule_names names = {"evdev", "pc105", "us", "", ""};
        input_.keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        if (!input_.keymap)
            return false;
        input_.state = xkb_state_new(input_.keymap);
        char *text = xkb_keymap_get_as_string(input_.keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
        const size_t size = std::strlen(text) + 1;
        const int fd = memfd_create("norvik-test-keymap", MFD_CLOEXEC);
        const bool written = fd >= 0 && write(fd, text, size) == ssize_t(size);
        std::free(text);
        if (!written)
            return false;
        input_.keyboard =
            zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(input_.keyboards, input_.seat);
        zwp_virtual_keyboard_v1_keymap(input_.keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                       uint32_t(size));
        ::close(fd);
        input_.pointer =
            zwlr_virtual_pointer_manager_v1_create_virtual_pointer(input_.pointers, input_.seat);
        return wl_display_roundtrip(input_.display) >= 0;
    }
    void key(xkb_keycode_t code, bool down) {
        zwp_virtual_keyboard_v1_key(input_.keyboard, now(), code - 8,
                                    down ? WL_KEYBOARD_KEY_STATE_PRESSED
                                         : WL_KEYBOARD_KEY_STATE_RELEASED);
        xkb_state_update_key(input_.state, code, down ? XKB_KEY_DOWN : XKB_KEY_UP);
        zwp_virtual_keyboard_v1_modifiers(
            input_.keyboard, xkb_state_serialize_mods(input_.state, XKB_STATE_MODS_DEPRESSED),
            xkb_state_serialize_mods(input_.state, XKB_STATE_MODS_LATCHED),
            xkb_state_serialize_mods(input_.state, XKB_STATE_MODS_LOCKED),
            xkb_state_serialize_layout(input_.state, XKB_STATE_LAYOUT_EFFECTIVE));
    }
    // The key and shift level that type `sym` on layout 0, or 0.
    xkb_keycode_t keyFor(xkb_keysym_t sym, xkb_level_index_t &level) {
        for (xkb_keycode_t code = xkb_keymap_min_keycode(input_.keymap);
             code <= xkb_keymap_max_keycode(input_.keymap); ++code)
            for (level = 0; level < xkb_keymap_num_levels_for_key(input_.keymap, code, 0);
                 ++level) {
                const xkb_keysym_t *syms = nullptr;
                if (xkb_keymap_key_get_syms_by_level(input_.keymap, code, 0, level, &syms) == 1 &&
                    syms[0] == sym)
                    return code;
            }
        return 0;
    }
    // Passes on what was written to standard error but the bells, which it counts.
    void drainErrors() {
        char buf[4096];
        for (ssize_t n; errors_ >= 0 && (n = read(errors_, buf, sizeof buf)) > 0;) {
            std::string passed;
            for (ssize_t i = 0; i < n; ++i)
                buf[i] == '\a' ? void(++bells_) : passed.push_back(buf[i]);
            if (!passed.empty() && write(stderr_, passed.data(), passed.size()) < 0)
                break;
        }
    }

    pid_t sway_ = -1;
    std::string runtime_;
    Input input_;
    int stderr_ = -1, errors_ = -1, bells_ = 0;
};

} // namespace

Backend *makeWaylandBackend() {
    return new WaylandBackend;
}
