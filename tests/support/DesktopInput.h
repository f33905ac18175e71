#pragma once

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPoint>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QString>
#include <QTest>
#include <QUrl>
#include <QWidget>

namespace framlet::test {

// "x y" for xdotool's mousemove.
inline QString at(QPoint p) {
    return QStringLiteral("%1 %2").arg(p.x()).arg(p.y());
}

// Runs xdotool commands without waiting: a drag runs an event loop of its own that must keep
// running meanwhile.
inline void xdotoolDetached(const QString& commands) {
    QProcess::startDetached(QStringLiteral("sh"),
                            {QStringLiteral("-c"), QStringLiteral("xdotool ") + commands});
}

// A real click at a point of the screen, through the X server and the window manager.
inline void click(QPoint global) {
    QProcess::execute(QStringLiteral("xdotool"),
                      QStringLiteral("mousemove %1 click 1").arg(at(global)).split(u' '));
}

// A window of its own at the screen's left edge, shown before the windows under test so they
// take the focus after it. X delivers input in order, so once a click on it has arrived, all
// input sent before has been handled, or dropped by a window that takes none.
class InputMarker : public QPushButton {
public:
    InputMarker() : QPushButton(QStringLiteral("marker")) {
        setGeometry(10, 400, 90, 30);
        show();
        (void)QTest::qWaitForWindowExposed(this);  // a click that misses fails the wait below
    }
    bool waitForEarlierInput() {
        QSignalSpy clicked(this, &QPushButton::clicked);
        test::click(mapToGlobal(rect().center()));
        return clicked.wait(5000);
    }
};

// A window that accepts any drop and records what arrived and which actions were offered.
class DropTarget : public QWidget {
public:
    DropTarget() {
        setAcceptDrops(true);
        setWindowTitle(QStringLiteral("drop target"));
        resize(300, 200);
    }
    QList<QUrl> dropped;
    Qt::DropActions offered;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent* event) override {
        dropped = event->mimeData()->urls();
        offered = event->possibleActions();
        event->acceptProposedAction();
    }
};

}  // namespace framlet::test
