#include <gtest/gtest.h>

#include <QDir>
#include <QPromise>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <deque>

#include "onboarding/OnboardingModel.h"
#include "onboarding/ShellScreenshotFolder.h"
#include "platform/ScreenshotPreferences.h"
#include "platform/UserDefaults.h"
#include "preferences/Settings.h"

using namespace framlet;
using Step = OnboardingModel::Step;
using Choice = OnboardingModel::FolderChoice;
using Status = FolderAccess::Status;

namespace {

// The model over a throw-away defaults file, a chooser answering from a queue and a probe whose
// answers the test gives by folder, each held back until the test releases it.
class OnboardingModelTest : public ::testing::Test {
protected:
    std::optional<QUrl> choose(const QUrl& startIn) {
        chooserStartedIn.append(startIn);
        std::optional<QUrl> next = answers.front();
        answers.pop_front();
        return next;
    }
    QFuture<Status> probe(const QUrl& folder) {
        probed.append(folder);
        pending = std::make_shared<QPromise<Status>>();
        pending->start();
        return pending->future();
    }
    // Releases the probe under way with this answer and waits for the model to take it.
    void answer(Status status) {
        pending->addResult(status);
        pending->finish();
        ASSERT_TRUE(QTest::qWaitFor([&] { return model.step() != Step::checking; }, 5000));
    }

    const QUrl detected = QUrl::fromLocalFile(QStringLiteral("/home/u/Desktop"));
    const QUrl picked = QUrl::fromLocalFile(QStringLiteral("/srv/shots"));
    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath(QStringLiteral("defaults.json"))};
    Settings settings{defaults};
    std::deque<std::optional<QUrl>> answers;
    QList<QUrl> chooserStartedIn;
    QList<QUrl> probed;
    std::shared_ptr<QPromise<Status>> pending;
    OnboardingModel model{detected, settings,
                          [this](const QUrl& startIn) { return choose(startIn); },
                          [this](const QUrl& folder) { return probe(folder); }};
};

TEST_F(OnboardingModelTest, TheDetectedFolderIsExplainedCheckedAndNeverAdded) {
    model.setStep(Step::chooseFolder);
    model.confirmFolder();
    EXPECT_EQ(model.step(), Step::explainAccess);
    model.requestAccess();
    EXPECT_EQ(model.step(), Step::checking);
    answer(Status::granted);
    EXPECT_EQ(model.step(), Step::done);
    EXPECT_EQ(probed, QList<QUrl>{detected});
    EXPECT_TRUE(settings.watchedFolders().isEmpty());

    QSignalSpy finished(&model, &OnboardingModel::finished);
    model.finish();
    EXPECT_EQ(finished.size(), 1);
    EXPECT_TRUE(settings.hasCompletedOnboarding());
}

TEST_F(OnboardingModelTest, CustomIsSelectableOnceAFolderWasPickedAndAddedBeforeItsCheck) {
    model.setStep(Step::chooseFolder);
    model.select(Choice::custom);
    EXPECT_EQ(model.choice(), Choice::detected);

    answers = {std::nullopt, picked};
    model.pickCustomFolder();  // cancelled
    EXPECT_EQ(model.choice(), Choice::detected);
    EXPECT_FALSE(model.customFolder());
    model.pickCustomFolder();
    EXPECT_EQ(model.choice(), Choice::custom);
    EXPECT_EQ(model.folder(), picked);
    EXPECT_EQ(chooserStartedIn, (QList<QUrl>{detected, detected}));

    model.select(Choice::detected);
    EXPECT_EQ(model.folder(), detected);
    model.select(Choice::custom);
    EXPECT_EQ(model.folder(), picked);

    // Confirmed, it is added and checked without the explanation.
    model.confirmFolder();
    EXPECT_EQ(model.step(), Step::checking);
    EXPECT_EQ(settings.watchedFolders(), QStringList{picked.toLocalFile()});
    answer(Status::missing);
    EXPECT_EQ(model.step(), Step::missing);
    EXPECT_EQ(probed, QList<QUrl>{picked});
}

TEST_F(OnboardingModelTest, FailureScreensRetryOrTakeAFolderOnlyOnceItCanBeRead) {
    model.requestAccess();
    answer(Status::denied);
    ASSERT_EQ(model.step(), Step::denied);

    const QUrl locked = QUrl::fromLocalFile(QStringLiteral("/srv/locked"));
    answers = {std::nullopt, locked, picked};
    model.chooseFolderManually();  // cancelled: nothing changes
    EXPECT_EQ(model.step(), Step::denied);
    model.chooseFolderManually();
    answer(Status::denied);
    EXPECT_EQ(model.step(), Step::denied);
    EXPECT_FALSE(model.customFolder());
    EXPECT_TRUE(settings.watchedFolders().isEmpty());

    model.requestAccess();  // Try Again, still the detected folder
    answer(Status::missing);
    EXPECT_EQ(model.step(), Step::missing);
    model.chooseFolderManually();
    answer(Status::granted);
    EXPECT_EQ(model.step(), Step::done);
    EXPECT_EQ(model.choice(), Choice::custom);
    EXPECT_EQ(model.folder(), picked);
    EXPECT_EQ(settings.watchedFolders(), QStringList{picked.toLocalFile()});
    EXPECT_EQ(probed, (QList<QUrl>{detected, locked, detected, picked}));
}

// GNOME's Shell makes ~/Pictures/Screenshots at its first capture; a new user's check must find
// it rather than "That folder isn't there".
TEST(ShellScreenshotFolder, IsMadeOnlyWhenItIsTheShellsAndItsParentCanBeRead) {
    QTemporaryDir home;
    ScreenshotPreferences::Environment gnome;
    gnome.desktop = QStringLiteral("GNOME");
    gnome.home = home.path();
    gnome.configHome = home.filePath(QStringLiteral(".config"));
    const ScreenshotPreferences preferences(gnome);
    const QString pictures = home.filePath(QStringLiteral("Pictures"));
    const QUrl shell = QUrl::fromLocalFile(pictures + QStringLiteral("/Screenshots"));

    EXPECT_FALSE(ShellScreenshotFolder::createIfAwaited(shell, preferences));  // no Pictures
    EXPECT_FALSE(QFileInfo::exists(shell.toLocalFile()));

    ASSERT_TRUE(QDir().mkdir(pictures));
    EXPECT_FALSE(ShellScreenshotFolder::createIfAwaited(
        QUrl::fromLocalFile(pictures + QStringLiteral("/Other")), preferences));
    ScreenshotPreferences::Environment kde = gnome;
    kde.desktop = QStringLiteral("KDE");
    EXPECT_FALSE(ShellScreenshotFolder::createIfAwaited(shell, ScreenshotPreferences(kde)));
    EXPECT_FALSE(QFileInfo::exists(shell.toLocalFile()));

    EXPECT_TRUE(ShellScreenshotFolder::createIfAwaited(shell, preferences));
    EXPECT_TRUE(QFileInfo(shell.toLocalFile()).isDir());
    EXPECT_FALSE(ShellScreenshotFolder::createIfAwaited(shell, preferences));  // there already
}

}  // namespace
