#pragma once

#include <QString>

namespace framlet {

// The one place diagnostic lines go through. Every line reaches the system log (syslog and
// standard error, "Framlet: " prefix); with FRAMLET_DEBUG_LOG in the environment it is also
// appended with a UTC timestamp to filePath(). Safe from any thread, never fails from the
// caller's point of view.
namespace DebugLog {

void log(const QString& message);

// A name from outside (a file name may hold any character but '/' and NUL) made fit for one
// line: line breaks become \n and \r, and a backslash doubles so nothing reads ambiguously.
QString escaped(const QString& name);

// Writes a line to the system log only, never to the file, exactly as given. For the few
// start-up lines that carry "Framlet: " in their own text.
void system(const QString& line);

// Where the file lines go: $XDG_STATE_HOME/Framlet/debug.log, by default
// ~/.local/state/Framlet/debug.log. Read from the environment at each call; the log itself
// settles it at its first file line.
QString filePath();

// The timestamp form of the log file: "2025-03-07 14:05:09 +0000", always UTC.
QString timestamp(qint64 secondsSinceEpoch);

}  // namespace DebugLog
}  // namespace framlet
