#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QTemporaryDir>
#include <optional>

namespace framlet::test {

// A throw-away home folder with its own XDG folders, exported to the environment for as long as
// the object lives (and restored afterwards), so no test reads or writes the real user's files.
class TemporaryHome {
public:
    TemporaryHome();
    ~TemporaryHome();
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    QString path() const { return m_dir.path(); }
    QString configHome() const { return path() + QStringLiteral("/.config"); }
    QString dataHome() const { return path() + QStringLiteral("/.local/share"); }

private:
    QTemporaryDir m_dir;
    QList<QPair<QByteArray, std::optional<QByteArray>>> m_saved;
};

}  // namespace framlet::test
