#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "LogTail.h"

#include "onboarding/FeatureTourModel.h"
#include "platform/UserDefaults.h"
#include "preferences/Settings.h"

using namespace framlet;
using Target = FeatureTourModel::Target;

namespace {

class FeatureTourModelTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath(QStringLiteral("defaults.json"))};
    Settings settings{defaults};
    FeatureTourModel tour{settings};
};

TEST_F(FeatureTourModelTest,
       HidingSuspendsAtTheStepTheLastAdvanceOrASkipCompletesAndAResetStartsOver) {
    const test::LogTail log;
    tour.beginIfNeeded();
    ASSERT_TRUE(tour.isActive());
    EXPECT_EQ(tour.currentStep().target, Target::search);
    tour.advance();
    tour.suspend();  // the shelf hid at step 2
    EXPECT_FALSE(tour.isActive());
    tour.beginIfNeeded();
    EXPECT_TRUE(tour.isActive());
    EXPECT_EQ(tour.currentStep().target, Target::shelf);
    tour.advance();
    EXPECT_TRUE(tour.isLastStep());
    EXPECT_FALSE(settings.hasCompletedFeatureTour());
    tour.advance();
    EXPECT_FALSE(tour.isActive());
    EXPECT_EQ(tour.stepIndex(), 0);
    EXPECT_TRUE(settings.hasCompletedFeatureTour());
    for (const char* line :
         {"tour: step 1 of 3", "tour: step 2 of 3", "tour: step 3 of 3", "tour: completed"}) {
        EXPECT_TRUE(log.text().contains(QLatin1String(line))) << line;
    }

    tour.beginIfNeeded();  // completed: never again, in this run or the next
    EXPECT_FALSE(tour.isActive());
    FeatureTourModel nextRun(settings);
    nextRun.beginIfNeeded();
    EXPECT_FALSE(nextRun.isActive());

    settings.resetFeatureTour();  // what --reset-tour leaves for the next launch
    FeatureTourModel afterReset(settings);
    afterReset.beginIfNeeded();
    EXPECT_TRUE(afterReset.isActive());
    EXPECT_EQ(afterReset.stepIndex(), 0);
    // Skip ends it for good from any step.
    afterReset.advance();
    afterReset.finish();
    EXPECT_FALSE(afterReset.isActive());
    EXPECT_TRUE(settings.hasCompletedFeatureTour());
}

TEST_F(FeatureTourModelTest, TheLastStepNamesTheShortcutAsItIsNow) {
    EXPECT_TRUE(tour.steps().last().body.contains(QStringLiteral("(Super+Shift+2 opens")));
    settings.setHotKey({49, 256 | 2048});  // Super+Alt+Space
    EXPECT_TRUE(tour.steps().last().body.contains(QStringLiteral("(Super+Alt+Space opens")))
        << tour.steps().last().body.toStdString();
}

}  // namespace
