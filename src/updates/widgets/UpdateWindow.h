#pragma once

#include <QDialog>

#include "updates/Appcast.h"
#include "updates/ReleaseNotes.h"
#include "updates/UpdateInstaller.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTextBrowser;

namespace framlet {

// The full update window: the new and the running version, the release notes, and the three
// choices (Return installs, Escape reminds later). Installing shows the download's progress and
// then what became of the update; a replaced AppImage is offered a relaunch.
class UpdateWindow : public QDialog {
    Q_OBJECT

public:
    UpdateWindow(UpdateInstaller& installer, QString runningVersion, QWidget* parent = nullptr);
    ~UpdateWindow() override;

    // Shows this item, unless an installation is running (then the window stays as it is).
    void present(const AppcastItem& item);
    AppcastItem item() const { return m_item; }

    QLabel* heading() const { return m_heading; }
    QTextBrowser* notes() const { return m_notes; }
    QLabel* statusLabel() const { return m_status; }
    QProgressBar* progressBar() const { return m_progress; }
    QPushButton* installButton() const { return m_install; }
    QPushButton* remindButton() const { return m_remind; }
    QPushButton* skipButton() const { return m_skip; }

Q_SIGNALS:
    void skipped(const framlet::AppcastItem& item);
    void relaunchRequested(const QString& program);

private:
    QWidget* makeButtons();
    void showNotes();
    void install();
    void progressed(qint64 received, qint64 total);
    void installed(UpdateInstaller::Outcome outcome, const QString& path, const QString& detail);
    void failed(const QString& message);
    void setBusy(bool busy);

    UpdateInstaller& m_installer;
    QString m_runningVersion;
    AppcastItem m_item;
    QString m_installedPath;
    ReleaseNotes::Cleaner m_notesCleaner;
    QLabel* m_heading = nullptr;
    QLabel* m_versions = nullptr;
    QTextBrowser* m_notes = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_skip = nullptr;
    QPushButton* m_remind = nullptr;
    QPushButton* m_install = nullptr;
};

}  // namespace framlet
