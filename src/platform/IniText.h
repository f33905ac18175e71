#pragma once

#include <QByteArray>
#include <optional>

namespace framlet {

// Reading and changing one key of an INI-style settings file of another program (KConfig and
// QSettings files, desktop entries), as bytes, so that its other groups, keys, comments, blank
// lines and bytes that are no UTF-8 stay exactly as they were. A group is named by its whole
// header line, e.g. "[General]" or "[Applications][org.kde.spectacle]".
//
// KConfig's options are understood: "[$...]" after a key name is no part of the name, and "[$i]"
// (immutable) after the key, after the group's header or alone on a line (the whole file) means
// KDE keeps the value as it stands.
namespace IniText {

// The value of the key in the group, trimmed; none when the group or the key is absent.
std::optional<QByteArray> value(const QByteArray& text, const QByteArray& groupHeader,
                                const QByteArray& key);

// Whether KDE refuses to change the key: it, its group or the whole file is marked "[$i]".
bool isImmutable(const QByteArray& text, const QByteArray& groupHeader, const QByteArray& key);

// The text with the key set: its line replaced where it stands, or added at the end of its group,
// or a new group added at the end of the text. A file with CRLF line ends keeps them.
QByteArray withValue(const QByteArray& text, const QByteArray& groupHeader, const QByteArray& key,
                     const QByteArray& value);

}  // namespace IniText
}  // namespace framlet
