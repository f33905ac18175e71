#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <vector>

#include "OtherKeyboardClient.h"
#include "platform/X11KeyGrabber.h"
#include "shortcut/HotKey.h"
#include "shortcut/widgets/HotKeyRecorder.h"

namespace framlet {
namespace {

// A settings window in small: the recorder, a text field to move the focus to, a window shortcut
// on Ctrl+K, and a count of the Escape presses that reach the window itself.
class Window : public QWidget {
public:
    Window() : recorder(nullptr, [this] { ++alerts; }) {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(&recorder);
        layout->addWidget(&field);
        auto* action = new QAction(this);
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
        connect(action, &QAction::triggered, this, [this] { ++shortcutsTriggered; });
        addAction(action);
        recorder.setBinding({0, 4096});
        connect(&recorder, &HotKeyRecorder::recorded, this,
                [this](HotKeyBinding binding) { recorded.push_back(binding); });
    }

    HotKeyRecorder recorder;
    QLineEdit field;
    std::vector<HotKeyBinding> recorded;
    int shortcutsTriggered = 0;
    int escapes = 0;
    int alerts = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        escapes += event->key() == Qt::Key_Escape ? 1 : 0;
    }
};

class HotKeyRecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    void startRecording() {
        QTest::mouseClick(&window.recorder, Qt::LeftButton);
        ASSERT_TRUE(window.recorder.isRecording());
    }

    // Presses the keys while recording and waits for the report.
    HotKeyBinding record(const QString& keys) {
        startRecording();
        const std::size_t before = window.recorded.size();
        test::pressKeys(keys);
        if (!QTest::qWaitFor([&] { return window.recorded.size() > before; })) {
            ADD_FAILURE() << "nothing recorded for " << keys.toStdString();
            return {};
        }
        return window.recorded.back();
    }

    Window window;
};

TEST_F(HotKeyRecorderTest, ReportsAnyKeyWithAModifierAndShowsItOnceTheOwnerPassesItBack) {
    const int normalWidth = window.recorder.width();
    startRecording();
    EXPECT_EQ(window.recorder.text(), QStringLiteral("Press a shortcut…"));
    test::pressKeys(QStringLiteral("shift+a"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.recorded.size() == 1; }));
    EXPECT_EQ(window.recorded[0], (HotKeyBinding{0, 512}));
    EXPECT_FALSE(window.recorder.isRecording());
    EXPECT_EQ(window.recorder.text(), QStringLiteral("Ctrl+A"));  // the owner has not agreed yet

    EXPECT_EQ(record(QStringLiteral("ctrl+alt+shift+super+k")), (HotKeyBinding{40, 6912}));
    window.recorder.setBinding(window.recorded.back());
    EXPECT_EQ(window.recorder.text(), QStringLiteral("Super+Ctrl+Alt+Shift+K"));
    // The field widens rather than clip a long combination, and narrows back.
    EXPECT_GT(window.recorder.width(), normalWidth);

    EXPECT_EQ(record(QStringLiteral("super+minus")), (HotKeyBinding{27, 256}));
    window.recorder.setBinding(window.recorded.back());
    EXPECT_EQ(window.recorder.text(), QStringLiteral("Super+Key 27"));
    EXPECT_EQ(window.recorder.width(), normalWidth);

    test::LockKey capsLock(QStringLiteral("Caps_Lock"), XCB_MOD_MASK_LOCK);
    EXPECT_EQ(record(QStringLiteral("super+a")), (HotKeyBinding{0, 256}));
}

TEST_F(HotKeyRecorderTest, SpaceStartsRecordingFromTheKeyboardAndTheNameSaysTheShortcut) {
    EXPECT_EQ(window.recorder.accessibleName(), QStringLiteral("Shortcut: Ctrl+A"));
    window.recorder.setFocus();
    test::pressKeys(QStringLiteral("space"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.recorder.isRecording(); }));
    EXPECT_EQ(window.recorder.accessibleName(), QStringLiteral("Shortcut: Press a shortcut…"));
    test::pressKeys(QStringLiteral("shift+b"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.recorded.size() == 1; }));
}

TEST_F(HotKeyRecorderTest, AKeyWithoutModifierBeepsAndKeepsRecording) {
    startRecording();
    test::pressKeys(QStringLiteral("a"));
    test::pressKeys(QStringLiteral("shift+b"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.recorded.empty(); }));
    EXPECT_EQ(window.recorded, (std::vector<HotKeyBinding>{{11, 512}}));
    EXPECT_EQ(window.alerts, 1);  // for the A, not for Shift on its way to B
}

TEST_F(HotKeyRecorderTest, EscapeCancelsWhileRecordingAndBelongsToTheWindowOtherwise) {
    startRecording();
    test::pressKeys(QStringLiteral("Escape"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.recorder.isRecording(); }));
    EXPECT_TRUE(window.recorded.empty());
    EXPECT_EQ(window.escapes, 0);

    test::pressKeys(QStringLiteral("Escape"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.escapes == 1; }));
    EXPECT_TRUE(window.recorded.empty());
}

TEST_F(HotKeyRecorderTest, ASecondClickOrLosingTheFocusCancelsAndGivesTheKeyboardBack) {
    startRecording();
    QTest::mouseClick(&window.recorder, Qt::LeftButton);
    EXPECT_FALSE(window.recorder.isRecording());

    startRecording();
    window.field.setFocus();
    EXPECT_FALSE(window.recorder.isRecording());
    test::pressKeys(QStringLiteral("shift+x"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.field.text() == QStringLiteral("X"); }));
    EXPECT_TRUE(window.recorded.empty());
}

TEST_F(HotKeyRecorderTest, WhileRecordingItTakesCombinationsBeforeAnyOtherShortcut) {
    int globalPresses = 0;
    HotKey hotKey(
        {19, 768}, [&] { ++globalPresses; }, X11KeyGrabber::shared());

    EXPECT_EQ(record(QStringLiteral("ctrl+k")), (HotKeyBinding{40, 4096}));
    EXPECT_EQ(record(QStringLiteral("super+shift+2")), (HotKeyBinding{19, 768}));
    EXPECT_EQ(window.shortcutsTriggered, 0);
    EXPECT_EQ(globalPresses, 0);

    // Idle, both shortcuts work again.
    test::pressKeys(QStringLiteral("ctrl+k"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.shortcutsTriggered == 1; }));
    test::pressKeys(QStringLiteral("super+shift+2"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return globalPresses == 1; }));
}

}  // namespace
}  // namespace framlet
