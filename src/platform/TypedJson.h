#pragma once

#include <QByteArray>
#include <QVariantMap>
#include <optional>

namespace framlet {

// JSON for the defaults files, keeping the integer/double distinction that QJsonDocument drops:
// a number written with a fraction or exponent ("420.0") reads as a double, one without as a
// qint64. Objects read as QVariantMap, arrays as QVariantList, null as an invalid QVariant.
namespace TypedJson {

// The members of a top-level object; no value when the text is not valid UTF-8 JSON of that shape.
std::optional<QVariantMap> parseObject(const QByteArray& text);

// A top-level object, one member per line, sorted by key. Doubles always carry a fraction or an
// exponent; values JSON cannot hold (infinities, NaN, unknown types) are written as null.
QByteArray encodeObject(const QVariantMap& values);

}  // namespace TypedJson
}  // namespace framlet
