#include "updates/Version.h"

#include <QRegularExpression>
#include <algorithm>

namespace framlet {
namespace {

QString withoutLeadingZeros(const QString& digits) {
    qsizetype first = 0;
    while (first + 1 < digits.size() && digits[first] == u'0') {
        ++first;
    }
    return digits.mid(first);
}

// Digit strings of any length, compared by value without converting them.
std::strong_ordering compareNumbers(const QString& a, const QString& b) {
    if (a.size() != b.size()) {
        return a.size() <=> b.size();
    }
    return QString::compare(a, b) <=> 0;
}

bool isNumber(const QString& part) {
    return !part.isEmpty() &&
           std::all_of(part.cbegin(), part.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// A tail splits into runs of digits and runs of other characters ("beta.10" → beta, 10);
// digit runs compare as numbers, other runs alphabetically, and a number sorts before a word.
std::weak_ordering compareTails(const QString& a, const QString& b) {
    static const QRegularExpression runs(QStringLiteral("[0-9]+|[^0-9.\\-_+ ]+"));
    auto left = runs.globalMatch(a);
    auto right = runs.globalMatch(b);
    while (left.hasNext() && right.hasNext()) {
        const QString x = left.next().captured();
        const QString y = right.next().captured();
        const bool xNumber = isNumber(x);
        const bool yNumber = isNumber(y);
        std::weak_ordering order = std::weak_ordering::equivalent;
        if (xNumber && yNumber) {
            order = compareNumbers(withoutLeadingZeros(x), withoutLeadingZeros(y));
        } else if (xNumber != yNumber) {
            order = xNumber ? std::weak_ordering::less : std::weak_ordering::greater;
        } else {
            order = QString::compare(x, y, Qt::CaseInsensitive) <=> 0;
        }
        if (order != 0) {
            return order;
        }
    }
    return left.hasNext() <=> right.hasNext();
}

}  // namespace

std::optional<Version> Version::parse(const QString& text) {
    static const QRegularExpression shape(QStringLiteral("^[vV]?([0-9]+(?:\\.[0-9]+)*)(.*)$"),
                                          QRegularExpression::DotMatchesEverythingOption);
    const auto match = shape.match(text.trimmed());
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    Version version;
    for (const QString& number : match.captured(1).split(u'.')) {
        version.m_numbers.append(withoutLeadingZeros(number));
    }
    // Trailing zeros say nothing: 1.0 and 1.0.0 are one version.
    while (version.m_numbers.size() > 1 && version.m_numbers.last() == u"0") {
        version.m_numbers.removeLast();
    }
    version.m_tail = match.captured(2);
    return version;
}

std::weak_ordering Version::operator<=>(const Version& other) const {
    const qsizetype count = std::max(m_numbers.size(), other.m_numbers.size());
    for (qsizetype i = 0; i < count; ++i) {
        const QString a = m_numbers.value(i, QStringLiteral("0"));
        const QString b = other.m_numbers.value(i, QStringLiteral("0"));
        if (const auto order = compareNumbers(a, b); order != 0) {
            return order;
        }
    }
    if (m_tail.isEmpty() || other.m_tail.isEmpty()) {
        // A release is newer than its pre-releases.
        return m_tail.isEmpty() <=> other.m_tail.isEmpty();
    }
    return compareTails(m_tail, other.m_tail);
}

}  // namespace framlet
