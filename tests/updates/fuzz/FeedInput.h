#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "updates/Appcast.h"
#include "updates/Version.h"

namespace framlet::test {

// What the fuzzer does with one input, and the suite with each seed: read it as a feed and pick
// from it, and read it as versions and order them. The order must be consistent both ways.
inline QList<AppcastItem> exerciseFeed(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto parsed = Appcast::parse(bytes);
    QList<AppcastItem> items;
    if (const auto* list = std::get_if<QList<AppcastItem>>(&parsed)) {
        items = *list;
        Appcast::newest(items, "1.0", {"beta"});
    }
    const QString text = QString::fromUtf8(bytes);
    const qsizetype middle = text.size() / 2;
    const auto a = Version::parse(text.left(middle));
    const auto b = Version::parse(text.mid(middle));
    if (a && b && ((*a < *b) != (*b > *a) || (*a == *b) != (*b == *a))) {
        __builtin_trap();
    }
    return items;
}

}  // namespace framlet::test
