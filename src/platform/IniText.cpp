#include "platform/IniText.h"

#include <QByteArrayList>

namespace framlet::IniText {
namespace {

const QByteArray kImmutable = QByteArrayLiteral("[$i]");

struct KeyLine {
    qsizetype index = -1;     // the key's line, or -1
    qsizetype groupEnd = -1;  // after the group's last non-blank line, or -1 without the group
    bool immutable = false;   // the file, the group or the key carries "[$i]"
};

bool isHeader(const QByteArray& line) {
    return line.startsWith('[');
}

// A header without its trailing "[$i]"; `immutable` tells whether there was one.
QByteArray groupOf(const QByteArray& header, bool& immutable) {
    immutable = header.size() > kImmutable.size() && header.endsWith(kImmutable);
    return immutable ? header.chopped(kImmutable.size()) : header;
}

// The key of an assignment line without its "[$...]" options; empty for comments, headers and
// other lines. A locale ("Name[de]") stays part of the key.
QByteArray keyOf(const QByteArray& line, bool& immutable) {
    immutable = false;
    if (line.startsWith('#') || line.startsWith(';') || isHeader(line)) {
        return {};
    }
    const qsizetype equals = line.indexOf('=');
    QByteArray key = equals > 0 ? line.left(equals).trimmed() : QByteArray();
    while (key.endsWith(']')) {
        const qsizetype open = key.lastIndexOf('[');
        if (open < 0 || key.at(open + 1) != '$') {
            break;
        }
        immutable = immutable || key.mid(open + 2, key.size() - open - 3).contains('i');
        key = key.left(open).trimmed();
    }
    return key;
}

KeyLine find(const QByteArrayList& lines, const QByteArray& groupHeader, const QByteArray& key) {
    KeyLine found;
    bool inGroup = false;
    bool groupImmutable = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i].trimmed();
        if (i == 0 && line.startsWith("\xef\xbb\xbf")) {
            line = line.mid(3).trimmed();  // a UTF-8 byte order mark
        }
        if (isHeader(line)) {
            bool immutable = false;
            inGroup = groupOf(line, immutable) == groupHeader;
            groupImmutable = groupImmutable || (inGroup && immutable) || line == kImmutable;
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
        bool keyImmutable = false;
        if (keyOf(line, keyImmutable) == key) {
            found.index = i;
            found.immutable = found.immutable || keyImmutable;
        }
    }
    found.immutable = found.immutable || groupImmutable;
    return found;
}

}  // namespace

std::optional<QByteArray> value(const QByteArray& text, const QByteArray& groupHeader,
                                const QByteArray& key) {
    const QByteArrayList lines = text.split('\n');
    const KeyLine found = find(lines, groupHeader, key);
    if (found.index < 0) {
        return std::nullopt;
    }
    const QByteArray& line = lines[found.index];
    return line.mid(line.indexOf('=') + 1).trimmed();
}

bool isImmutable(const QByteArray& text, const QByteArray& groupHeader, const QByteArray& key) {
    return find(text.split('\n'), groupHeader, key).immutable;
}

QByteArray withValue(const QByteArray& text, const QByteArray& groupHeader, const QByteArray& key,
                     const QByteArray& value) {
    QByteArrayList lines = text.split('\n');
    const KeyLine found = find(lines, groupHeader, key);
    const QByteArray lineEnd = text.contains("\r\n") ? QByteArrayLiteral("\r") : QByteArray();
    const QByteArray assignment = key + '=' + value + lineEnd;
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
            lines.append(lineEnd);
        }
        lines << groupHeader + lineEnd << assignment << QByteArray();
    }
    return lines.join('\n');
}

}  // namespace framlet::IniText
