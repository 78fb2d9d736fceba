// Clicks the left button at one point of a wlroots compositor's output through a virtual
// pointer, as a finger or mouse of the user's would: the tests' xdotool where X11 sees no
// pointer of its own.
//
//   wayland_click <x> <y> <output width> <output height>
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <linux/input-event-codes.h>
#include <thread>
#include <wayland-client.h>

namespace {

zwlr_virtual_pointer_manager_v1* manager = nullptr;

void announced(void*, wl_registry* registry, std::uint32_t name, const char* interface,
               std::uint32_t) {
    if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    }
}

void withdrawn(void*, wl_registry*, std::uint32_t) {}

std::uint32_t now() {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

void settle(wl_display* display, int milliseconds) {
    wl_display_roundtrip(display);
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: wayland_click <x> <y> <output width> <output height>\n");
        return 2;
    }
    const auto number = [&](int i) { return static_cast<std::uint32_t>(std::atoi(argv[i])); };
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "wayland_click: no Wayland display\n");
        return 1;
    }
    static const wl_registry_listener listener{announced, withdrawn};
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, nullptr);
    wl_display_roundtrip(display);
    if (manager == nullptr) {
        std::fprintf(stderr, "wayland_click: the compositor offers no virtual pointer\n");
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, nullptr);
    // A new pointer device: give the seat's clients time to take it up before it moves.
    settle(display, 300);
    // A hand moves to the point, in steps, before it presses.
    for (std::uint32_t step = 0; step <= 10; ++step) {
        zwlr_virtual_pointer_v1_motion_absolute(pointer, now(), number(1) + 10 - step,
                                                number(2) + 10 - step, number(3), number(4));
        zwlr_virtual_pointer_v1_frame(pointer);
        settle(display, 20);
    }
    settle(display, 100);
    zwlr_virtual_pointer_v1_button(pointer, now(), BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
    zwlr_virtual_pointer_v1_frame(pointer);
    settle(display, 30);
    zwlr_virtual_pointer_v1_button(pointer, now(), BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(pointer);
    settle(display, 100);
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_disconnect(display);
    return 0;
}
