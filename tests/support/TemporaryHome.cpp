#include "TemporaryHome.h"

#include <QDir>
#include <QFile>

namespace framlet::test {
namespace {

const char* const kVariables[] = {"HOME",           "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                  "XDG_CACHE_HOME", "XDG_STATE_HOME",  "XDG_RUNTIME_DIR"};

}  // namespace

TemporaryHome::TemporaryHome() : m_dir(QDir::tempPath() + QStringLiteral("/framlet-home-XXXXXX")) {
    for (const char* name : kVariables) {
        m_saved.append({name, qEnvironmentVariableIsSet(name)
                                  ? std::optional<QByteArray>(qgetenv(name))
                                  : std::nullopt});
    }
    const QString home = m_dir.path();
    const QString runtime = home + QStringLiteral("/.run");
    for (const QString& folder : {configHome(), dataHome(), home + QStringLiteral("/.cache"),
                                  home + QStringLiteral("/.local/state"), runtime}) {
        QDir().mkpath(folder);
    }
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home + QStringLiteral("/.cache")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(home + QStringLiteral("/.local/state")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
}

TemporaryHome::~TemporaryHome() {
    for (const auto& [name, value] : m_saved) {
        if (value) {
            qputenv(name.constData(), *value);
        } else {
            qunsetenv(name.constData());
        }
    }
}

}  // namespace framlet::test
