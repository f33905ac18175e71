#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

class QProcess;

namespace framlet {

// Whether the desktop asks for no animation: GNOME's org.gnome.desktop.interface
// enable-animations (through gsettings, which reads dconf) or KDE's AnimationDurationFactor of 0
// in kdeglobals. Followed while the program runs; either desktop asking is enough.
class MotionPreference : public QObject {
    Q_OBJECT

public:
    explicit MotionPreference(QObject* parent = nullptr);
    ~MotionPreference() override;

    bool reduced() const { return m_gnomeOff || m_kdeOff; }

    // KDE's value as kdeglobals holds it: a factor of zero (or less) turns animations off.
    static bool kdeTurnsAnimationsOff(const QByteArray& kdeglobals);
    // GNOME's value as `gsettings get` or `gsettings monitor` prints it.
    static bool gnomeTurnsAnimationsOff(const QByteArray& output);

Q_SIGNALS:
    void reducedChanged(bool reduced);

private:
    void followGnome();
    void gnomeAnswered(const QByteArray& output);
    void followKde();
    void readKde();
    void adopt(bool gnomeOff, bool kdeOff);

    QString m_kdeglobals;
    QFileSystemWatcher m_kdeWatcher;
    QProcess* m_gnomeRead = nullptr;
    QProcess* m_gnomeMonitor = nullptr;
    bool m_gnomeOff = false;
    bool m_kdeOff = false;
};

}  // namespace framlet
