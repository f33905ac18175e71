#pragma once

#include <QFile>
#include <QString>

#include "platform/DebugLog.h"

namespace framlet::test {

inline const bool logFileOn = qputenv("FRAMLET_DEBUG_LOG", "1");

// The lines the debug log gained since the object was made.
class LogTail {
public:
    LogTail() : m_start(QFile(DebugLog::filePath()).size()) {}
    QString text() const {
        QFile file(DebugLog::filePath());
        file.open(QIODevice::ReadOnly);
        file.seek(m_start);
        return QString::fromUtf8(file.readAll());
    }

private:
    qint64 m_start;
};

}  // namespace framlet::test
