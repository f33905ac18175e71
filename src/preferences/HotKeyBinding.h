#pragma once

#include <cstdint>

namespace framlet {

// A global shortcut as it is stored and shown: a virtual key code of the ANSI keyboard and a
// Carbon modifier mask (command 256, shift 512, option 2048, control 4096). The X11 backend maps
// both to keysyms and X modifiers only when it registers the shortcut.
struct HotKeyBinding {
    std::uint32_t keyCode = 0;
    std::uint32_t modifiers = 0;

    friend bool operator==(const HotKeyBinding&, const HotKeyBinding&) = default;
};

}  // namespace framlet
