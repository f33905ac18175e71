#pragma once

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <cstdlib>

namespace framlet::test {

// What the private X server shows, for tests that look at the desktop as a user would.
inline QImage grab(const QRect& area) {
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .toImage();
}

// The area once the desktop has stopped redrawing it: a changed icon passes through
// intermediate frames.
inline QImage settled(const QRect& area) {
    QImage last = grab(area);
    for (int i = 0; i < 20; ++i) {
        QTest::qWait(250);
        QImage now = grab(area);
        if (now == last) {
            break;
        }
        last = std::move(now);
    }
    return last;
}

// Pixels that differ enough to be seen: a redraw of the same icon can move a colour by one
// level at an edge.
inline int visiblyChanged(const QImage& before, const QImage& after) {
    int count = 0;
    for (int y = 0; y < std::min(before.height(), after.height()); ++y) {
        for (int x = 0; x < std::min(before.width(), after.width()); ++x) {
            const QColor a = before.pixelColor(x, y);
            const QColor b = after.pixelColor(x, y);
            count += std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                               std::abs(a.blue() - b.blue())}) > 40;
        }
    }
    return count;
}

// The panel is the part of the screen outside the work area (one panel, across one edge).
inline QRect panelArea() {
    const QRect all = QGuiApplication::primaryScreen()->geometry();
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    return work.top() > all.top()
               ? QRect(all.left(), all.top(), all.width(), work.top() - all.top())
               : QRect(all.left(), work.bottom() + 1, all.width(), all.bottom() - work.bottom());
}

// The geometry of the first visible window whose name matches, as xdotool reports it (on the
// display the environment names).
inline QRect windowGeometry(
    const QString& namePattern,
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess xdotool;
    xdotool.setProcessEnvironment(environment);
    xdotool.start(
        QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
         namePattern, QStringLiteral("getwindowgeometry"), QStringLiteral("--shell")});
    xdotool.waitForFinished();
    QRect rect;
    for (const QByteArray& line : xdotool.readAllStandardOutput().split('\n')) {
        const int value = line.mid(line.indexOf('=') + 1).toInt();
        if (line.startsWith("X=")) {
            rect.moveLeft(value);
        } else if (line.startsWith("Y=")) {
            rect.moveTop(value);
        } else if (line.startsWith("WIDTH=")) {
            rect.setWidth(value);
        } else if (line.startsWith("HEIGHT=")) {
            rect.setHeight(value);
        }
    }
    return rect;
}

}  // namespace framlet::test
