#include "platform/MotionPreference.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "platform/DebugLog.h"
#include "platform/IniText.h"

namespace framlet {
namespace {

const QString kSchema = QStringLiteral("org.gnome.desktop.interface");
const QString kKey = QStringLiteral("enable-animations");

QProcess* gsettings(const QStringList& arguments, QObject* parent) {
    auto* process = new QProcess(parent);
    process->setProgram(QStringLiteral("gsettings"));
    process->setArguments(arguments);
    process->setStandardErrorFile(QProcess::nullDevice());
    return process;
}

}  // namespace

MotionPreference::MotionPreference(QObject* parent)
    : QObject(parent)
    , m_kdeglobals(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                   QStringLiteral("/kdeglobals")) {
    followKde();
    followGnome();
}

MotionPreference::~MotionPreference() {
    for (QProcess* process : {m_gnomeRead, m_gnomeMonitor}) {
        if (process && process->state() != QProcess::NotRunning) {
            process->disconnect(this);
            process->kill();
            process->waitForFinished(1000);
        }
    }
}

bool MotionPreference::kdeTurnsAnimationsOff(const QByteArray& kdeglobals) {
    const auto factor =
        IniText::value(kdeglobals, QByteArrayLiteral("[KDE]"), "AnimationDurationFactor");
    bool ok = false;
    const double value = factor ? factor->toDouble(&ok) : 1.0;
    return ok && value <= 0.0;
}

bool MotionPreference::gnomeTurnsAnimationsOff(const QByteArray& output) {
    // "false" from get, "enable-animations: false" from monitor.
    return output.trimmed().endsWith("false");
}

void MotionPreference::followKde() {
    // The file is often replaced rather than written: its folder tells when it comes back.
    m_kdeWatcher.addPath(QFileInfo(m_kdeglobals).absolutePath());
    connect(&m_kdeWatcher, &QFileSystemWatcher::fileChanged, this, &MotionPreference::readKde);
    connect(&m_kdeWatcher, &QFileSystemWatcher::directoryChanged, this, &MotionPreference::readKde);
    readKde();
}

void MotionPreference::readKde() {
    if (QFileInfo::exists(m_kdeglobals) && !m_kdeWatcher.files().contains(m_kdeglobals)) {
        m_kdeWatcher.addPath(m_kdeglobals);
    }
    QFile file(m_kdeglobals);
    const bool off = file.open(QIODevice::ReadOnly) && kdeTurnsAnimationsOff(file.readAll());
    adopt(m_gnomeOff, off);
}

void MotionPreference::followGnome() {
    // Without gsettings or GNOME's schemas both fail to start or exit at once: GNOME says nothing.
    m_gnomeMonitor = gsettings({QStringLiteral("monitor"), kSchema, kKey}, this);
    connect(m_gnomeMonitor, &QProcess::readyReadStandardOutput, this, [this] {
        while (m_gnomeMonitor->canReadLine()) {
            gnomeAnswered(m_gnomeMonitor->readLine());
        }
    });
    m_gnomeMonitor->start(QIODevice::ReadOnly);

    m_gnomeRead = gsettings({QStringLiteral("get"), kSchema, kKey}, this);
    connect(m_gnomeRead, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        if (status == QProcess::NormalExit && code == 0) {
            gnomeAnswered(m_gnomeRead->readAllStandardOutput());
        }
    });
    m_gnomeRead->start(QIODevice::ReadOnly);
}

void MotionPreference::gnomeAnswered(const QByteArray& output) {
    adopt(gnomeTurnsAnimationsOff(output), m_kdeOff);
}

void MotionPreference::adopt(bool gnomeOff, bool kdeOff) {
    const bool was = reduced();
    m_gnomeOff = gnomeOff;
    m_kdeOff = kdeOff;
    if (reduced() != was) {
        DebugLog::log(reduced() ? QStringLiteral("motion: the desktop asks for no animation")
                                : QStringLiteral("motion: the desktop allows animation"));
        Q_EMIT reducedChanged(reduced());
    }
}

}  // namespace framlet
