#pragma once

#include <QDateTime>
#include <QString>

namespace framlet {

// A screenshot told in words, for screen readers: its file name and when it was taken
// ("Screenshot 3.png, 2 minutes ago"), and the first words of the text recognised in it.
namespace ScreenshotWords {

// How long ago, in the words a person would use: "just now", "5 minutes ago", "yesterday", or the
// date itself beyond a week.
QString age(const QDateTime& taken, const QDateTime& now);
QString name(const QString& fileName, const QDateTime& taken, const QDateTime& now);
// The first words of the text on one line, "…" after them when there are more.
QString firstWords(const QString& text, int count = 12);

}  // namespace ScreenshotWords
}  // namespace framlet
