// A keyboard for a compositor without input devices: it announces one virtual keyboard on the
// first seat and keeps it until the compositor goes away, so that the keyboard's layouts can be
// listed and switched. It presses no keys.
#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <cstdio>
#include <cstring>

namespace {

struct Globals {
    wl_seat* seat = nullptr;
    zwp_virtual_keyboard_manager_v1* manager = nullptr;
};

void announced(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !globals->seat)
        globals->seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        globals->manager = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
}

void removed(void*, wl_registry*, uint32_t) {}

} // namespace

int main()
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fputs("no Wayland display\n", stderr);
        return 1;
    }
    Globals globals;
    const wl_registry_listener listener{announced, removed};
    wl_registry_add_listener(wl_display_get_registry(display), &listener, &globals);
    wl_display_roundtrip(display);
    if (!globals.seat || !globals.manager) {
        std::fputs("no seat or no virtual keyboards\n", stderr);
        return 1;
    }
    zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(globals.manager, globals.seat);
    while (wl_display_dispatch(display) != -1) {
    }
    return 0;
}
