#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <Qt>
#include <cstdint>

#include "preferences/HotKeyBinding.h"

namespace framlet {

// The text of a shortcut as Linux desktops write it, such as "Super+Shift+2".
namespace KeyCodeFormatter {

// The named keys by virtual key code: letters, digits, F1 to F12, Space, Return, Tab, the
// arrows (Left, Right, Up, Down) and four punctuation keys.
const QHash<std::uint32_t, QString>& names();

// The key's label, or "Key " and the code for a key without one.
QString key(std::uint32_t keyCode);

// The words of the modifiers in the mask, always in the order Super, Ctrl, Alt, Shift; other
// bits are ignored.
QStringList modifiers(std::uint32_t carbonModifiers);

// The modifiers and then the key, joined by "+": "Super+Shift+2", "Ctrl+Alt+Space".
QString text(HotKeyBinding binding);

// Meta (the Super key) is command, Alt option, Control control, Shift shift; the keypad and
// group-switch flags are ignored.
std::uint32_t carbonModifiers(Qt::KeyboardModifiers flags);

}  // namespace KeyCodeFormatter
}  // namespace framlet
