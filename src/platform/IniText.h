#pragma once

#include <QString>
#include <optional>

namespace framlet {

// Reading and changing one key of an INI-style settings file of another program (KConfig and
// QSettings files), as text, so that its other groups, keys, comments and blank lines stay exactly
// as they were. A group is named by its whole header line, e.g. "[General]" or
// "[Applications][org.kde.spectacle]".
namespace IniText {

// The value of the key in the group, trimmed; none when the group or the key is absent.
std::optional<QString> value(const QString& text, const QString& groupHeader, const QString& key);

// The text with the key set: its line replaced where it stands, or added at the end of its group,
// or a new group added at the end of the text.
QString withValue(const QString& text, const QString& groupHeader, const QString& key,
                  const QString& value);

}  // namespace IniText
}  // namespace framlet
