#include "shelf/ScreenshotWords.h"

#include <QLocale>
#include <QStringList>

namespace framlet::ScreenshotWords {
namespace {

QString ago(qint64 n, const char* one, const char* many) {
    return n == 1 ? QString::fromLatin1(one) : QString::fromLatin1(many).arg(n);
}

}  // namespace

QString age(const QDateTime& taken, const QDateTime& now) {
    const qint64 seconds = taken.secsTo(now);
    if (seconds < 60) {
        return QStringLiteral("just now");  // also a clock set back since
    }
    if (seconds < 3600) {
        return ago(seconds / 60, "1 minute ago", "%1 minutes ago");
    }
    if (seconds < 24 * 3600) {
        return ago(seconds / 3600, "1 hour ago", "%1 hours ago");
    }
    const qint64 days = taken.date().daysTo(now.date());
    if (days <= 1) {
        return QStringLiteral("yesterday");
    }
    if (days < 7) {
        return QStringLiteral("%1 days ago").arg(days);
    }
    return QLocale().toString(taken.date(), QLocale::LongFormat);
}

QString name(const QString& fileName, const QDateTime& taken, const QDateTime& now) {
    return fileName + QStringLiteral(", ") + age(taken, now);
}

QString firstWords(const QString& text, int count) {
    const QStringList words = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString first = words.mid(0, count).join(QLatin1Char(' '));
    if (words.size() > count) {
        first += QStringLiteral("…");
    }
    return first;
}

}  // namespace framlet::ScreenshotWords
