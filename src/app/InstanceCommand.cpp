#include "app/InstanceCommand.h"

#include <QFile>

#include "platform/InstanceClient.h"

namespace framlet {
namespace {

constexpr int kNoMatches = 1;
constexpr int kNoInstance = 2;

}  // namespace

std::variant<InstanceCommand, QString> InstanceCommand::parse(const QStringList& arguments) {
    const QList<std::pair<QString, Kind>> flags{{QStringLiteral("--toggle"), Kind::toggle},
                                                {QStringLiteral("--show"), Kind::show},
                                                {QStringLiteral("--settings"), Kind::settings}};
    for (const auto& [flag, kind] : flags) {
        if (arguments.contains(flag)) {
            return InstanceCommand{kind, {}};
        }
    }
    const qsizetype search = arguments.indexOf(QStringLiteral("--search"));
    if (search < 0) {
        return InstanceCommand{};
    }
    if (search + 1 >= arguments.size() || arguments.at(search + 1).isEmpty()) {
        return QStringLiteral("Framlet: --search needs the text to look for");
    }
    return InstanceCommand{Kind::search, arguments.at(search + 1)};
}

std::optional<int> InstanceCommand::forward(const InstanceClient& client, std::FILE* out) const {
    switch (kind) {
        case Kind::search: {
            const std::optional<QStringList> paths = client.search(text);
            if (!paths) {
                return kNoInstance;
            }
            for (const QString& path : *paths) {
                std::fprintf(out, "%s\n", QFile::encodeName(path).constData());
            }
            std::fflush(out);
            return paths->isEmpty() ? kNoMatches : 0;
        }
        case Kind::toggle:
            return client.call(QStringLiteral("Toggle")) ? std::optional(0) : std::nullopt;
        case Kind::settings:
            return client.call(QStringLiteral("OpenSettings")) ? std::optional(0) : std::nullopt;
        case Kind::show:
        case Kind::launch:
            return client.call(QStringLiteral("Show")) ? std::optional(0) : std::nullopt;
    }
    return std::nullopt;
}

}  // namespace framlet
