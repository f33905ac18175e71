#include "ChildProcess.h"

#include <QCoreApplication>
#include <QProcess>

namespace framlet::test {

ChildResult runChild(const QString& program, const QStringList& arguments,
                     const QProcessEnvironment& environment, int timeoutMs) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ChildResult result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.crashed = true;
    }
    result.crashed = result.crashed || process.exitStatus() == QProcess::CrashExit;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

ChildResult runSelf(const QString& testFilter, const QProcessEnvironment& environment) {
    QProcessEnvironment childEnvironment = environment;
    childEnvironment.insert(QStringLiteral("FRAMLET_TEST_CHILD"), QStringLiteral("1"));
    return runChild(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=") + testFilter}, childEnvironment);
}

}  // namespace framlet::test
