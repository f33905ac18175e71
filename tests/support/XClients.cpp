#include "XClients.h"

#include <QRegularExpression>
#include <QTest>

namespace framlet::test {
namespace {

QString output(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished();
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

QString hex(WId window) {
    return QStringLiteral("0x%1").arg(window, 0, 16);
}

}  // namespace

bool xdotool(const QStringList& arguments) {
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

bool pressKeys(const QString& combination) {
    return xdotool({QStringLiteral("key"), combination});
}

bool clickAt(QPoint position, int button) {
    return xdotool({QStringLiteral("mousemove"), QString::number(position.x()),
                    QString::number(position.y()), QStringLiteral("click"),
                    QString::number(button)});
}

int currentDesktop() {
    return output(QStringLiteral("xdotool"), {QStringLiteral("get_desktop")}).trimmed().toInt();
}

QString windowProperties(WId window, const QStringList& names) {
    return output(QStringLiteral("xprop"), QStringList{QStringLiteral("-id"), hex(window)} + names);
}

bool isViewable(WId window) {
    return output(QStringLiteral("xwininfo"), {QStringLiteral("-id"), hex(window)})
        .contains(QStringLiteral("IsViewable"));
}

QPoint absolutePosition(WId window) {
    const QString info = output(QStringLiteral("xwininfo"), {QStringLiteral("-id"), hex(window)});
    const QRegularExpression x(QStringLiteral("Absolute upper-left X:\\s+(-?\\d+)"));
    const QRegularExpression y(QStringLiteral("Absolute upper-left Y:\\s+(-?\\d+)"));
    return {x.match(info).captured(1).toInt(), y.match(info).captured(1).toInt()};
}

OtherApplication::OtherApplication(const QRect& geometry)
    : m_name(QStringLiteral("framlet-other-%1").arg(QCoreApplication::applicationPid())) {
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(QStringLiteral("xev"),
                    {QStringLiteral("-name"), m_name, QStringLiteral("-geometry"),
                     QStringLiteral("%1x%2+%3+%4")
                         .arg(geometry.width())
                         .arg(geometry.height())
                         .arg(geometry.x())
                         .arg(geometry.y())});
}

OtherApplication::~OtherApplication() {
    m_process.kill();
    m_process.waitForFinished();
}

WId OtherApplication::waitForWindow() {
    WId found = 0;
    const bool appeared = QTest::qWaitFor(
        [&] {
            found = output(QStringLiteral("xdotool"),
                           {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                            QStringLiteral("--name"), m_name})
                        .trimmed()
                        .toULongLong();
            return found != 0;
        },
        10000);
    return appeared ? found : 0;
}

}  // namespace framlet::test
