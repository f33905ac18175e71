#include <gtest/gtest.h>

#include <QSignalSpy>

#include "app/TrayWords.h"

using namespace framlet;

namespace {

TEST(TrayWords, CountTheCapturesWhileLitAndFallBackToTheNameWhenEmptied) {
    TrayWords words;
    EXPECT_EQ(words.title(), QStringLiteral("Framlet"));
    QSignalSpy changes(&words, &TrayWords::wordsChanged);

    words.captureArrived();
    EXPECT_EQ(words.title(), QStringLiteral("Framlet: 1 new screenshot"));
    words.captureArrived();
    ASSERT_EQ(changes.count(), 2);
    EXPECT_EQ(changes.last().at(0).toString(), QStringLiteral("Framlet: 2 new screenshots"));
    EXPECT_EQ(changes.last().at(1).toString(), QStringLiteral("2 new screenshots"));

    words.lanternEmptied();
    words.lanternEmptied();  // nothing new to say
    ASSERT_EQ(changes.count(), 3);
    EXPECT_EQ(changes.last().at(0).toString(), QStringLiteral("Framlet"));
    words.captureArrived();
    EXPECT_EQ(words.title(), QStringLiteral("Framlet: 1 new screenshot"));
}

}  // namespace
