#include "platform/GnomeCustomShortcuts.h"

#include <QProcess>
#include <QStandardPaths>
#include <utility>

namespace framlet {
namespace {

constexpr int kGsettingsTimeoutMs = 5000;
const QString kListKey = QStringLiteral("custom-keybindings");

// The end of the literal that starts at `start` (its closing quote), or -1.
qsizetype literalEnd(const QString& text, qsizetype start) {
    const QChar quote = text.at(start);
    for (qsizetype i = start + 1; i < text.size(); ++i) {
        if (text.at(i) == u'\\') {
            ++i;
        } else if (text.at(i) == quote) {
            return i;
        }
    }
    return -1;
}

qsizetype skipSpaces(const QString& text, qsizetype at) {
    while (at < text.size() && text.at(at).isSpace()) {
        ++at;
    }
    return at;
}

}  // namespace

GnomeCustomShortcuts::GnomeCustomShortcuts(QString path, QProcessEnvironment environment)
    : m_path(std::move(path)), m_environment(std::move(environment)) {
}

bool GnomeCustomShortcuts::available() const {
    return run({QStringLiteral("writable"), schema, kListKey}).has_value();
}

std::optional<bool> GnomeCustomShortcuts::listed() const {
    const auto literals = listLiterals();
    if (!literals) {
        return std::nullopt;
    }
    for (const QString& literal : *literals) {
        if (unquoted(literal) == m_path) {
            return true;
        }
    }
    return false;
}

std::optional<GnomeCustomShortcuts::Entry> GnomeCustomShortcuts::entry() const {
    Entry entry;
    for (auto [key, value] : {std::pair{QStringLiteral("name"), &entry.name},
                              std::pair{QStringLiteral("command"), &entry.command},
                              std::pair{QStringLiteral("binding"), &entry.binding}}) {
        const auto printed = run({QStringLiteral("get"), entrySchema(), key});
        const auto literal = printed ? literals(u'[' + printed->trimmed() + u']') : std::nullopt;
        if (!literal || literal->size() != 1) {
            return std::nullopt;
        }
        *value = unquoted(literal->front());
    }
    return entry;
}

bool GnomeCustomShortcuts::write(const Entry& entry) const {
    for (const auto& [key, value] : {std::pair{QStringLiteral("name"), entry.name},
                                     std::pair{QStringLiteral("command"), entry.command},
                                     std::pair{QStringLiteral("binding"), entry.binding}}) {
        if (!run({QStringLiteral("set"), entrySchema(), key, quoted(value)})) {
            return false;
        }
    }
    auto literals = listLiterals();
    if (!literals) {
        return false;
    }
    for (const QString& literal : *literals) {
        if (unquoted(literal) == m_path) {
            return true;
        }
    }
    literals->append(quoted(m_path));
    return setList(*literals);
}

bool GnomeCustomShortcuts::remove() const {
    auto literals = listLiterals();
    if (!literals) {
        return false;
    }
    const qsizetype before = literals->size();
    literals->removeIf([this](const QString& literal) { return unquoted(literal) == m_path; });
    if (literals->size() != before && !setList(*literals)) {
        return false;
    }
    for (const QString& key :
         {QStringLiteral("name"), QStringLiteral("command"), QStringLiteral("binding")}) {
        run({QStringLiteral("reset"), entrySchema(), key});
    }
    return true;
}

std::optional<QStringList> GnomeCustomShortcuts::literals(const QString& printed) {
    QString text = printed.trimmed();
    if (text.startsWith(QStringLiteral("@as"))) {
        text = text.mid(3).trimmed();
    }
    if (!text.startsWith(u'[') || !text.endsWith(u']')) {
        return std::nullopt;
    }
    QStringList found;
    qsizetype at = skipSpaces(text, 1);
    while (at < text.size() - 1) {
        if (text.at(at) != u'\'' && text.at(at) != u'"') {
            return std::nullopt;
        }
        const qsizetype end = literalEnd(text, at);
        if (end < 0) {
            return std::nullopt;
        }
        found.append(text.mid(at, end - at + 1));
        at = skipSpaces(text, end + 1);
        if (at < text.size() - 1) {
            if (text.at(at) != u',') {
                return std::nullopt;
            }
            at = skipSpaces(text, at + 1);
        }
    }
    return found;
}

QString GnomeCustomShortcuts::unquoted(const QString& literal) {
    QString value;
    for (qsizetype i = 1; i + 1 < literal.size(); ++i) {
        QChar c = literal.at(i);
        if (c == u'\\' && i + 2 < literal.size()) {
            c = literal.at(++i);
            if (c == u'u' && i + 4 < literal.size()) {
                value += QChar(literal.mid(i + 1, 4).toUShort(nullptr, 16));
                i += 4;
                continue;
            }
            c = c == u'n' ? QChar(u'\n') : c == u't' ? QChar(u'\t') : c;
        }
        value += c;
    }
    return value;
}

QString GnomeCustomShortcuts::quoted(const QString& value) {
    QString escaped = value;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + escaped + u'\'';
}

std::optional<QString> GnomeCustomShortcuts::run(const QStringList& arguments) const {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
    if (program.isEmpty()) {
        return std::nullopt;
    }
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.start(program, arguments);
    if (!process.waitForFinished(kGsettingsTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

std::optional<QStringList> GnomeCustomShortcuts::listLiterals() const {
    const auto printed = run({QStringLiteral("get"), schema, kListKey});
    return printed ? literals(*printed) : std::nullopt;
}

bool GnomeCustomShortcuts::setList(const QStringList& literals) const {
    const QString text = literals.isEmpty() ? QStringLiteral("@as []")
                                            : u'[' + literals.join(QStringLiteral(", ")) + u']';
    return run({QStringLiteral("set"), schema, kListKey, text}).has_value();
}

QString GnomeCustomShortcuts::entrySchema() const {
    return schema + QStringLiteral(".custom-keybinding:") + m_path;
}

}  // namespace framlet
