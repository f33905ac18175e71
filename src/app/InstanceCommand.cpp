#include "app/InstanceCommand.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "platform/InstanceClient.h"
#include "platform/Relaunch.h"

namespace framlet {
namespace {

constexpr int kNoMatches = 1;
constexpr int kNoInstance = 2;

struct Decoded {
    char32_t character = 0;
    std::size_t length = 0;  // 0: no well-formed UTF-8 sequence starts here
};

// The UTF-8 character at the start of bytes (not empty), refusing overlong forms, surrogates
// and anything beyond U+10FFFF.
Decoded decodeUtf8(std::string_view bytes) {
    const auto lead = static_cast<unsigned char>(bytes.front());
    if (lead < 0x80) {
        return {lead, 1};
    }
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead < 0xC2 || lead > 0xF4 || bytes.size() < length) {
        return {};
    }
    char32_t character = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(bytes[i]);
        if ((next & 0xC0) != 0x80) {
            return {};
        }
        character = (character << 6) | (next & 0x3F);
    }
    constexpr std::array<char32_t, 5> smallest{0, 0, 0x80, 0x800, 0x10000};
    if (character < smallest[length] || character > 0x10FFFF ||
        (character >= 0xD800 && character <= 0xDFFF)) {
        return {};
    }
    return {character, length};
}

bool isControl(char32_t character) {
    return character < 0x20 || (character >= 0x7F && character < 0xA0);
}

void appendHex(std::string& line, std::string_view bytes) {
    constexpr std::string_view digits = "0123456789abcdef";
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        line += "\\x";
        line += digits[value >> 4];
        line += digits[value & 0xF];
    }
}

void write(std::FILE* stream, const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

std::optional<qint64> processId(const QString& text) {
    bool ok = false;
    const qint64 id = text.toLongLong(&ok);
    return ok && id > 0 ? std::optional(id) : std::nullopt;
}

// Prints what a search found as forward() describes; the exit code.
int printFound(const InstanceService::Found& found, bool nulSeparated, std::FILE* out,
               std::FILE* err) {
    int printed = 0;
    for (const QByteArray& path : found.paths) {
        if (!nulSeparated) {
            write(out, InstanceCommand::escapedPath(path) + '\n');
        } else if (!path.contains('\0')) {  // no file name holds one
            write(out, path + '\0');
        } else {
            continue;
        }
        ++printed;
    }
    std::fflush(out);
    if (found.stillRecognising) {
        write(err, "Framlet: text recognition is still running; a later search may find more\n");
        std::fflush(err);
    }
    return printed > 0 ? 0 : kNoMatches;
}

}  // namespace

std::variant<InstanceCommand, QString> InstanceCommand::parse(const QStringList& arguments) {
    InstanceCommand command;
    command.checkForUpdates = arguments.contains(QStringLiteral("--update-check"));
    const qsizetype replacing = arguments.indexOf(QString::fromLatin1(Relaunch::replacingOption));
    if (replacing >= 0) {
        command.replacing = processId(arguments.value(replacing + 1));
        if (!command.replacing) {
            return QStringLiteral("Framlet: --replacing needs the id of the process it replaces");
        }
    }
    const QList<std::pair<QString, Kind>> flags{{QStringLiteral("--toggle"), Kind::toggle},
                                                {QStringLiteral("--show"), Kind::show},
                                                {QStringLiteral("--settings"), Kind::settings}};
    for (const auto& [flag, kind] : flags) {
        if (arguments.contains(flag)) {
            command.kind = kind;
            return command;
        }
    }
    const qsizetype search = arguments.indexOf(QStringLiteral("--search"));
    if (search < 0) {
        return command;
    }
    if (search + 1 >= arguments.size() || arguments.at(search + 1).isEmpty()) {
        return QStringLiteral("Framlet: --search needs the text to look for");
    }
    command.kind = Kind::search;
    command.text = arguments.at(search + 1);
    // The text itself may be "-0"; only another argument asks for the NUL-separated form.
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (i != search + 1 && arguments.at(i) == u"-0") {
            command.nulSeparated = true;
        }
    }
    return command;
}

std::optional<int> InstanceCommand::forward(const InstanceClient& client, std::FILE* out,
                                            std::FILE* err) const {
    if (kind == Kind::search) {
        const std::optional<InstanceService::Found> found = client.search(text);
        return found ? printFound(*found, nulSeparated, out, err) : kNoInstance;
    }
    // An instance too old to take the check still takes the rest of the command.
    if (checkForUpdates && client.call(QStringLiteral("CheckForUpdates"))) {
        write(out, "Framlet: asked the running Framlet to check for updates\n");
        std::fflush(out);
        if (kind == Kind::launch) {
            return 0;  // the check was asked for, not the shelf
        }
    }
    switch (kind) {
        case Kind::toggle:
            return client.call(QStringLiteral("Toggle")) ? std::optional(0) : std::nullopt;
        case Kind::settings:
            return client.call(QStringLiteral("OpenSettings")) ? std::optional(0) : std::nullopt;
        case Kind::show:
        case Kind::launch:
        case Kind::search:
            break;
    }
    return client.call(QStringLiteral("Show")) ? std::optional(0) : std::nullopt;
}

QByteArray InstanceCommand::escapedPath(const QByteArray& path) {
    std::string_view rest(path.constData(), static_cast<std::size_t>(path.size()));
    std::string line;
    line.reserve(rest.size());
    while (!rest.empty()) {
        const Decoded decoded = decodeUtf8(rest);
        const std::string_view bytes = rest.substr(0, std::max<std::size_t>(decoded.length, 1));
        if (decoded.length == 0 || isControl(decoded.character)) {
            if (decoded.character == U'\n') {
                line += "\\n";
            } else if (decoded.character == U'\t') {
                line += "\\t";
            } else {
                appendHex(line, bytes);
            }
        } else if (decoded.character == U'\\') {
            line += "\\\\";
        } else {
            line += bytes;
        }
        rest.remove_prefix(bytes.size());
    }
    return QByteArray::fromStdString(line);
}

}  // namespace framlet
