#include "platform/Relaunch.h"

#include <QCoreApplication>
#include <QProcess>

namespace framlet::Relaunch {

bool start(const QString& program) {
    return QProcess::startDetached(program, {QString::fromLatin1(replacingOption),
                                             QString::number(QCoreApplication::applicationPid())});
}

}  // namespace framlet::Relaunch
