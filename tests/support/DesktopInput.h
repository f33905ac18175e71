#pragma once

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPoint>
#include <QProcess>
#include <QString>
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
