#include "platform/Relaunch.h"

#include <QProcess>

namespace framlet::Relaunch {

bool start(const QString& program) {
    return QProcess::startDetached(program, {});
}

}  // namespace framlet::Relaunch
