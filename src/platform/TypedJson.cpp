#include "platform/TypedJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QStringDecoder>
#include <cmath>

namespace framlet::TypedJson {
namespace {

constexpr int kMaxDepth = 64;  // deeper nesting is not a preferences file

class Parser {
public:
    explicit Parser(const QByteArray& text) : m_text(text) {}

    std::optional<QVariantMap> object() {
        skipSpace();
        if (!peek('{')) {
            return std::nullopt;
        }
        const auto value = parseValue(0);
        skipSpace();
        if (!value || m_pos != m_text.size()) {
            return std::nullopt;
        }
        return value->toMap();
    }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    bool peek(char c) const { return !atEnd() && m_text[m_pos] == c; }
    bool take(char c) {
        skipSpace();
        if (peek(c)) {
            ++m_pos;
            return true;
        }
        return false;
    }
    void skipSpace() {
        while (!atEnd() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\n' ||
                            m_text[m_pos] == '\r' || m_text[m_pos] == '\t')) {
            ++m_pos;
        }
    }
    bool takeWord(const char* word) {
        const QByteArray expected(word);
        if (m_text.mid(m_pos, expected.size()) != expected) {
            return false;
        }
        m_pos += expected.size();
        return true;
    }

    std::optional<QVariant> parseValue(int depth) {
        skipSpace();
        if (atEnd() || depth > kMaxDepth) {
            return std::nullopt;
        }
        switch (m_text[m_pos]) {
            case '{':
                return parseObject(depth);
            case '[':
                return parseArray(depth);
            case '"': {
                auto text = parseString();
                return text ? std::optional<QVariant>(*text) : std::nullopt;
            }
            case 't':
                return takeWord("true") ? std::optional<QVariant>(true) : std::nullopt;
            case 'f':
                return takeWord("false") ? std::optional<QVariant>(false) : std::nullopt;
            case 'n':
                return takeWord("null") ? std::optional<QVariant>(QVariant()) : std::nullopt;
            default:
                return parseNumber();
        }
    }

    std::optional<QVariant> parseObject(int depth) {
        ++m_pos;  // '{'
        QVariantMap members;
        if (take('}')) {
            return members;
        }
        do {
            skipSpace();
            const auto key = parseString();
            if (!key || !take(':')) {
                return std::nullopt;
            }
            const auto value = parseValue(depth + 1);
            if (!value) {
                return std::nullopt;
            }
            if (value->isValid()) {
                members.insert(*key, *value);
            }
        } while (take(','));
        return take('}') ? std::optional<QVariant>(members) : std::nullopt;
    }

    std::optional<QVariant> parseArray(int depth) {
        ++m_pos;  // '['
        QVariantList elements;
        if (take(']')) {
            return elements;
        }
        do {
            const auto value = parseValue(depth + 1);
            if (!value) {
                return std::nullopt;
            }
            elements.append(*value);
        } while (take(','));
        return take(']') ? std::optional<QVariant>(elements) : std::nullopt;
    }

    // Strings are handed to QJsonDocument, which knows every escape and surrogate rule.
    std::optional<QString> parseString() {
        if (!peek('"')) {
            return std::nullopt;
        }
        qsizetype end = m_pos + 1;
        while (end < m_text.size() && m_text[end] != '"') {
            end += m_text[end] == '\\' ? 2 : 1;
        }
        if (end >= m_text.size()) {
            return std::nullopt;
        }
        const QByteArray literal = m_text.mid(m_pos, end + 1 - m_pos);
        m_pos = end + 1;
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson('[' + literal + ']', &error);
        if (error.error != QJsonParseError::NoError) {
            return std::nullopt;
        }
        return document.array().at(0).toString();
    }

    std::optional<QVariant> parseNumber() {
        const qsizetype start = m_pos;
        bool fraction = false;
        while (!atEnd()) {
            const char c = m_text[m_pos];
            if (c == '.' || c == 'e' || c == 'E') {
                fraction = true;
            } else if (!(c == '-' || c == '+' || (c >= '0' && c <= '9'))) {
                break;
            }
            ++m_pos;
        }
        const QByteArray literal = m_text.mid(start, m_pos - start);
        bool ok = false;
        if (!fraction) {
            const qint64 integer = literal.toLongLong(&ok);
            if (ok) {
                return QVariant(integer);
            }
        }
        const double number = literal.toDouble(&ok);
        return ok && std::isfinite(number) ? std::optional<QVariant>(number) : std::nullopt;
    }

    const QByteArray& m_text;
    qsizetype m_pos = 0;
};

QByteArray encodeString(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);  // strip the brackets
}

QByteArray encodeDouble(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    QByteArray text = QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
    if (!text.contains('.') && !text.contains('e')) {
        text += ".0";
    }
    return text;
}

QByteArray encodeMembers(const QVariantMap& values, const QByteArray& indent);

QByteArray encodeValue(const QVariant& value, const QByteArray& indent) {
    switch (value.typeId()) {
        case QMetaType::Bool:
            return value.toBool() ? "true" : "false";
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
            return QByteArray::number(value.toLongLong());
        case QMetaType::Double:
        case QMetaType::Float:
            return encodeDouble(value.toDouble());
        case QMetaType::QString:
            return encodeString(value.toString());
        case QMetaType::QStringList:
        case QMetaType::QVariantList: {
            const QVariantList list = value.toList();
            QByteArray out = "[";
            for (qsizetype i = 0; i < list.size(); ++i) {
                out += (i ? ", " : "") + encodeValue(list.at(i), indent);
            }
            return out + "]";
        }
        case QMetaType::QVariantMap:
            return encodeMembers(value.toMap(), indent + "    ");
        default:
            return "null";
    }
}

QByteArray encodeMembers(const QVariantMap& values, const QByteArray& indent) {
    if (values.isEmpty()) {
        return "{}";
    }
    QByteArray out = "{\n";
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        out += indent + "    " + encodeString(it.key()) + ": " + encodeValue(it.value(), indent);
        out += std::next(it) != values.cend() ? ",\n" : "\n";
    }
    return out + indent + "}";
}

}  // namespace

std::optional<QVariantMap> parseObject(const QByteArray& text) {
    // Some editors start a UTF-8 file with a byte-order mark; it is not part of the JSON.
    const QByteArray json = text.startsWith("\xef\xbb\xbf") ? text.mid(3) : text;
    QStringDecoder decoder(QStringDecoder::Utf8);
    (void)decoder.decode(json);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return Parser(json).object();
}

QByteArray encodeObject(const QVariantMap& values) {
    return encodeMembers(values, {}) + '\n';
}

}  // namespace framlet::TypedJson
