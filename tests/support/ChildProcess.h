#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace framlet::test {

struct ChildResult {
    int exitCode = -1;
    bool crashed = false;
    QByteArray out;
    QByteArray err;
};

// Runs a program to completion (or kills it after the timeout) and collects what it printed.
ChildResult runChild(const QString& program, const QStringList& arguments,
                     const QProcessEnvironment& environment, int timeoutMs = 30000);

// This test executable run again with only one test selected, for code that keeps process-wide
// state (the log's one-time set-up, the environment read at first use).
ChildResult runSelf(const QString& testFilter, const QProcessEnvironment& environment);

}  // namespace framlet::test
