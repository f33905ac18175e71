#include "platform/GettextCatalog.h"

#include <QFile>
#include <QtEndian>

namespace framlet {
namespace {

constexpr quint32 kMagic = 0x950412de;
constexpr qint64 kMaxCatalogSize = 32 * 1024 * 1024;

// A .mo file: a header of 32-bit words, then two tables of (length, offset) pairs for the
// original and the translated strings.
class MoFile {
public:
    explicit MoFile(QByteArray data) : m_data(std::move(data)) {
        const quint32 magic = word(0);
        m_bigEndian = magic != kMagic;
        m_valid = m_data.size() >= 28 && (magic == kMagic || qbswap(magic) == kMagic);
    }

    std::optional<QByteArray> find(const QByteArray& msgid) const {
        if (!m_valid) {
            return std::nullopt;
        }
        const quint32 count = word(8);
        const quint32 originals = word(12);
        const quint32 translations = word(16);
        for (quint32 i = 0; i < count; ++i) {
            const auto original = string(qint64(originals) + 8LL * i);
            if (!original) {
                return std::nullopt;
            }
            if (*original == msgid) {
                return string(qint64(translations) + 8LL * i);
            }
        }
        return std::nullopt;
    }

private:
    quint32 word(qint64 offset) const {
        if (offset < 0 || offset + 4 > m_data.size()) {
            return 0;
        }
        const uchar* bytes = reinterpret_cast<const uchar*>(m_data.constData()) + offset;
        return m_bigEndian ? qFromBigEndian<quint32>(bytes) : qFromLittleEndian<quint32>(bytes);
    }

    // The string of a table entry, up to its first NUL (plural forms follow it).
    std::optional<QByteArray> string(qint64 entry) const {
        if (entry + 8 > m_data.size()) {
            return std::nullopt;
        }
        const qint64 length = word(entry);
        const qint64 offset = word(entry + 4);
        if (offset + length > m_data.size()) {
            return std::nullopt;
        }
        const QByteArray text = m_data.mid(offset, length);
        const qsizetype nul = text.indexOf('\0');
        return nul < 0 ? text : text.left(nul);
    }

    QByteArray m_data;
    bool m_bigEndian = false;
    bool m_valid = false;
};

void appendUnique(QStringList& list, const QString& value) {
    if (!value.isEmpty() && !list.contains(value)) {
        list.append(value);
    }
}

// "ll_CC.codeset@modifier" and its shorter forms, most specific first.
void appendVariants(QStringList& languages, const QString& name) {
    QString base = name;
    QString modifier;
    if (const qsizetype at = base.indexOf(u'@'); at >= 0) {
        modifier = base.mid(at);
        base.truncate(at);
    }
    if (const qsizetype dot = base.indexOf(u'.'); dot >= 0) {
        base.truncate(dot);
    }
    const QString language = base.section(u'_', 0, 0);
    appendUnique(languages, base + modifier);
    appendUnique(languages, base);
    appendUnique(languages, language + modifier);
    appendUnique(languages, language);
}

bool isCLocale(const QString& locale) {
    return locale.isEmpty() || locale == u"C" || locale == u"POSIX" || locale.startsWith(u"C.");
}

}  // namespace

QStringList GettextCatalog::preferredLanguages() {
    QString locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = qEnvironmentVariable(name);
        if (!locale.isEmpty()) {
            break;
        }
    }
    return languagesFrom(qEnvironmentVariable("LANGUAGE"), locale);
}

QStringList GettextCatalog::languagesFrom(const QString& language, const QString& locale) {
    // As gettext does: LANGUAGE counts only when the locale itself is not C.
    if (isCLocale(locale)) {
        return {};
    }
    QStringList languages;
    const QStringList names = language.isEmpty() ? QStringList{locale} : language.split(u':');
    for (const QString& name : names) {
        appendVariants(languages, name);
    }
    return languages;
}

std::optional<QString> GettextCatalog::translate(const QString& localeFolder, const QString& domain,
                                                 const QStringList& languages,
                                                 const QByteArray& msgid) {
    for (const QString& language : languages) {
        const QString file =
            QStringLiteral("%1/%2/LC_MESSAGES/%3.mo").arg(localeFolder, language, domain);
        if (auto translation = lookUp(file, msgid)) {
            return translation;
        }
    }
    return std::nullopt;
}

std::optional<QString> GettextCatalog::lookUp(const QString& moFile, const QByteArray& msgid) {
    QFile file(moFile);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxCatalogSize) {
        return std::nullopt;
    }
    const auto translation = MoFile(file.readAll()).find(msgid);
    if (!translation || translation->isEmpty()) {
        return std::nullopt;
    }
    return QString::fromUtf8(*translation);
}

}  // namespace framlet
