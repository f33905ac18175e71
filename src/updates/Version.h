#pragma once

#include <QString>
#include <QStringList>
#include <compare>
#include <optional>

namespace framlet {

// A release version as feeds and builds write it: dotted numbers ("1.10.2") with an optional
// pre-release tail ("-beta.2", "b3"). Numbers compare as numbers of any length, never as floating
// point, so 1.10 is newer than 1.9; missing numbers count as zero (1.0 equals 1.0.0); a release is
// newer than any pre-release of the same numbers.
class Version {
public:
    // Nothing when the text does not start with a number (a leading "v" is allowed).
    static std::optional<Version> parse(const QString& text);

    std::weak_ordering operator<=>(const Version& other) const;
    bool operator==(const Version& other) const { return (*this <=> other) == 0; }

private:
    QStringList m_numbers;  // digits only, leading zeros removed
    QString m_tail;         // empty for a release
};

}  // namespace framlet
