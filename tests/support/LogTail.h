#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

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
    QStringList lines() const { return text().split(u'\n', Qt::SkipEmptyParts); }
    // How many of the new lines hold the text.
    qsizetype count(const QString& part) const { return lines().filter(part).size(); }

private:
    qint64 m_start;
};

}  // namespace framlet::test
