#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>
#include <optional>
#include <variant>

namespace framlet {

class InstanceClient;

// What the command line asks of the running instance: "--toggle", "--show", "--settings",
// "--search TEXT", or, without any of them, to be shown (a plain second launch).
struct InstanceCommand {
    enum class Kind { launch, toggle, show, settings, search };

    Kind kind = Kind::launch;
    QString text;  // what --search looks for

    // The first of the flags above that is given decides. A message when --search lacks its text.
    static std::variant<InstanceCommand, QString> parse(const QStringList& arguments);

    // Hands the command to a running instance. The exit code when that settles it; no value when
    // no instance runs and this process should start as the instance. --search never starts one:
    // it prints one path a line and exits 0 with matches, 1 without, 2 without an instance.
    std::optional<int> forward(const InstanceClient& client, std::FILE* out = stdout) const;
};

}  // namespace framlet
