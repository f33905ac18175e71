#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <optional>
#include <variant>

namespace framlet {

class InstanceClient;

// What the command line asks of the running instance: "--toggle", "--show", "--settings",
// "--search TEXT", or, without any of them, to be shown (a plain second launch). "--update-check"
// goes along with any of them; "--replacing PID" comes from a relaunch (platform/Relaunch.h).
struct InstanceCommand {
    enum class Kind { launch, toggle, show, settings, search };

    Kind kind = Kind::launch;
    QString text;                     // what --search looks for
    bool nulSeparated = false;        // -0: the search prints raw paths, each ended by a NUL
    bool checkForUpdates = false;     // --update-check
    std::optional<qint64> replacing;  // the process this one takes over from

    // The first of the flags above that is given decides. A message when --search lacks its text
    // or --replacing its process id.
    static std::variant<InstanceCommand, QString> parse(const QStringList& arguments);

    // Hands the command to a running instance. The exit code when that settles it; no value when
    // no instance runs and this process should start as the instance. --search never starts one:
    // it prints one path a line (escaped, see escapedPath) or, with -0, each path's bytes ended
    // by a NUL, and exits 0 with matches, 1 without, 2 without an instance; while the instance is
    // still recognising text it says so on err. --update-check alone asks for the check only.
    std::optional<int> forward(const InstanceClient& client, std::FILE* out = stdout,
                               std::FILE* err = stderr) const;

    // A path as one printable line: a backslash doubled, a line feed as \n, a tab as \t, and
    // every other control character or byte that is not UTF-8 as \xHH (`printf '%b'` undoes it).
    static QByteArray escapedPath(const QByteArray& path);
};

}  // namespace framlet
