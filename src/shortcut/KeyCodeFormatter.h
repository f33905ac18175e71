#pragma once

#include <QHash>
#include <QString>
#include <Qt>
#include <cstdint>

namespace framlet {

// The text of a shortcut as the recorder shows it, such as "⌘⇧2".
namespace KeyCodeFormatter {

// The labelled keys by virtual key code: letters, digits, F1 to F12, Space, Return, Tab, the
// arrows and four punctuation keys.
const QHash<std::uint32_t, QString>& names();

// The key's label, or "Key " and the code for a key without one.
QString key(std::uint32_t keyCode);

// The symbols of the modifiers in the mask, always in the order ⌃⌥⇧⌘; other bits are ignored.
QString modifiers(std::uint32_t carbonModifiers);

// Meta (the Super key) is command, Alt option, Control control, Shift shift; the keypad and
// group-switch flags are ignored.
std::uint32_t carbonModifiers(Qt::KeyboardModifiers flags);

}  // namespace KeyCodeFormatter
}  // namespace framlet
