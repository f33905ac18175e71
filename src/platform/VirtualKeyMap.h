#pragma once

#include <cstdint>
#include <optional>

class QKeyEvent;

namespace framlet {

// The keyboard as shortcuts are stored: the virtual key codes of an ANSI keyboard and Carbon
// modifier masks, and how both translate to X11. A virtual key code stands for the key's unshifted
// symbol (its X keysym), so a shortcut follows the key's label when the layout changes.
namespace VirtualKeyMap {

// Carbon modifier bits.
inline constexpr std::uint32_t commandKey = 0x100;
inline constexpr std::uint32_t shiftKey = 0x200;
inline constexpr std::uint32_t optionKey = 0x800;
inline constexpr std::uint32_t controlKey = 0x1000;

// The keysym of every key of the ANSI keyboard except the modifier keys themselves.
std::optional<std::uint32_t> keysym(std::uint32_t virtualKeyCode);

// Command is Super (Mod4), option Alt (Mod1), control Control, shift Shift; other bits are ignored.
std::uint16_t xModifiers(std::uint32_t carbonModifiers);

// The key an event came from. On X11 the event's keycode is looked up in the current keyboard
// mapping, so Shift+2 is the 2 key rather than "@"; elsewhere the Qt key stands in.
std::optional<std::uint32_t> virtualKeyCode(const QKeyEvent& event);

// The reverse of keysym(); an upper-case letter counts as its key.
std::optional<std::uint32_t> virtualKeyCodeForKeysym(std::uint32_t keysym);
// Keypad keys other than Enter have no Qt key of their own and give the main key's code.
std::optional<std::uint32_t> virtualKeyCodeForQtKey(int qtKey);

}  // namespace VirtualKeyMap
}  // namespace framlet
