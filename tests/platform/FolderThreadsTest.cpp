#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSemaphore>
#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>

#include "platform/FolderThreads.h"

using namespace framlet;

namespace {

// A folder on a mount that never answers holds its own work only: the next work on it waits
// its turn, work on another folder goes on, and a worker gone meanwhile gets nothing back.
TEST(FolderThreads, AFolderWaitsItsTurnOthersGoOnAndAWorkerGoneGetsNothing) {
    QSemaphore release;
    std::atomic<int> begun{0};
    QStringList replies;
    QObject receiver;
    auto worker = std::make_unique<FolderWorker>(&receiver);
    const auto work = [&](const QString& name, bool held) {
        return [&, name, held]() -> FolderWorker::Reply {
            ++begun;
            if (held) {
                release.acquire();
            }
            return [&, name] {
                EXPECT_EQ(QThread::currentThread(), receiver.thread());
                replies.append(name);
            };
        };
    };
    worker->run("/a", work("a1", true));
    worker->run("/a", work("a2", false));
    worker->run("/b", work("b", false));
    // b may finish before a1's thread has begun: wait for both, then give a2 a moment to show
    // it did not wait.
    ASSERT_TRUE(QTest::qWaitFor([&] { return replies == QStringList{"b"} && begun >= 2; }, 5000))
        << begun;
    QTest::qWait(50);
    EXPECT_EQ(begun.load(), 2);
    release.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return replies.size() == 3; }, 5000));
    EXPECT_EQ(replies, QStringList({"b", "a1", "a2"}));

    worker->run("/a", work("late", true));
    worker->run("/a", work("never", false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return begun == 4; }, 5000));
    worker.reset();
    release.release();
    // Runs after everything asked of the folder before it.
    EXPECT_EQ(FolderThreads::future<int>("/a", [] { return 1; }).result(), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(begun, 4);
    EXPECT_EQ(replies.size(), 3);
}

}  // namespace
