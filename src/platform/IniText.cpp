#include "platform/IniText.h"

#include <QStringList>

namespace framlet::IniText {
namespace {

struct KeyLine {
    qsizetype index = -1;     // the key's line, or -1
    qsizetype groupEnd = -1;  // after the group's last non-blank line, or -1 without the group
};

bool isHeader(const QString& line) {
    return line.startsWith(QLatin1Char('['));
}

// The key of an assignment line; a null string for comments, headers and other lines.
QString keyOf(const QString& line) {
    if (line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')) || isHeader(line)) {
        return {};
    }
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    return equals > 0 ? line.left(equals).trimmed() : QString();
}

KeyLine find(const QStringList& lines, const QString& groupHeader, const QString& key) {
    KeyLine found;
    bool inGroup = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (isHeader(line)) {
            inGroup = line == groupHeader;
            if (inGroup) {
                found.groupEnd = i + 1;
            }
            continue;
        }
        if (!inGroup) {
            continue;
        }
        if (!line.isEmpty()) {
            found.groupEnd = i + 1;
        }
        if (keyOf(line) == key) {
            found.index = i;
        }
    }
    return found;
}

}  // namespace

std::optional<QString> value(const QString& text, const QString& groupHeader, const QString& key) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    const KeyLine found = find(lines, groupHeader, key);
    if (found.index < 0) {
        return std::nullopt;
    }
    const QString& line = lines[found.index];
    return line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
}

QString withValue(const QString& text, const QString& groupHeader, const QString& key,
                  const QString& value) {
    QStringList lines = text.split(QLatin1Char('\n'));
    const KeyLine found = find(lines, groupHeader, key);
    const QString assignment = key + QLatin1Char('=') + value;
    if (found.index >= 0) {
        lines[found.index] = assignment;
    } else if (found.groupEnd >= 0) {
        lines.insert(found.groupEnd, assignment);
    } else {
        // A file without a final line break still ends its last line before the new group.
        if (!lines.isEmpty() && lines.last().isEmpty()) {
            lines.removeLast();
        }
        if (!lines.isEmpty()) {
            lines.append(QString());
        }
        lines << groupHeader << assignment << QString();
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace framlet::IniText
