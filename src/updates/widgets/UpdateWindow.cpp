#include "updates/widgets/UpdateWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "updates/ReleaseNotes.h"

namespace framlet {
namespace {

// Release notes never load anything, whatever their links and images point at.
class SealedBrowser : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

QString outcomeText(UpdateInstaller::Outcome outcome, const QString& path, const QString& detail) {
    switch (outcome) {
        case UpdateInstaller::Outcome::savedToDownloadsInstead:
            return QStringLiteral(
                       "Framlet could not be replaced (%1) and stays as it was. The "
                       "update was saved to %2")
                .arg(detail, path);
        case UpdateInstaller::Outcome::replacedAppImage:
            return QStringLiteral("The update is installed. Relaunch Framlet to use it.");
        case UpdateInstaller::Outcome::handedToPackageInstaller:
            return QStringLiteral("The package was handed to your package installer: %1").arg(path);
        case UpdateInstaller::Outcome::savedToDownloads:
            break;
    }
    return QStringLiteral("The update was saved to %1").arg(path);
}

}  // namespace

UpdateWindow::UpdateWindow(UpdateInstaller& installer, QString runningVersion, QWidget* parent)
    : QDialog(parent), m_installer(installer), m_runningVersion(std::move(runningVersion)) {
    setWindowTitle(QStringLiteral("Software Update"));
    setObjectName(QStringLiteral("updateWindow"));
    auto* layout = new QVBoxLayout(this);
    m_heading = new QLabel(QStringLiteral("A new version of Framlet is available!"));
    QFont bold = m_heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    m_heading->setFont(bold);
    m_versions = new QLabel;
    m_versions->setWordWrap(true);
    m_notes = new SealedBrowser;
    m_notes->setOpenLinks(false);
    m_notes->setMinimumHeight(180);
    m_progress = new QProgressBar;
    m_progress->hide();
    m_status = new QLabel;
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status->hide();
    layout->addWidget(m_heading);
    layout->addWidget(m_versions);
    auto* notesLabel = new QLabel(QStringLiteral("Release Notes:"));
    notesLabel->setBuddy(m_notes);
    m_notes->setAccessibleName(QStringLiteral("Release notes"));
    layout->addWidget(notesLabel);
    layout->addWidget(m_notes, 1);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addWidget(makeButtons());
    resize(520, 400);
    connect(&m_installer, &UpdateInstaller::progressed, this, &UpdateWindow::progressed);
    connect(&m_installer, &UpdateInstaller::installed, this, &UpdateWindow::installed);
    connect(&m_installer, &UpdateInstaller::failed, this, &UpdateWindow::failed);
    connect(&m_notesCleaner, &ReleaseNotes::Cleaner::cleaned, this,
            [this](const QString& html) { m_notes->setHtml(html); });
}

UpdateWindow::~UpdateWindow() = default;

QWidget* UpdateWindow::makeButtons() {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    m_skip = new QPushButton(QStringLiteral("Skip This Version"));
    m_remind = new QPushButton(QStringLiteral("Remind Me Later"));
    m_install = new QPushButton(QStringLiteral("Install Update"));
    // Return installs, wherever the focus is; the other choices take a click.
    m_skip->setAutoDefault(false);
    m_remind->setAutoDefault(false);
    m_install->setDefault(true);
    layout->addWidget(m_skip);
    layout->addStretch(1);
    layout->addWidget(m_remind);
    layout->addWidget(m_install);
    connect(m_skip, &QPushButton::clicked, this, [this] {
        Q_EMIT skipped(m_item);
        close();
    });
    connect(m_remind, &QPushButton::clicked, this, &QWidget::close);
    connect(m_install, &QPushButton::clicked, this, &UpdateWindow::install);
    return row;
}

void UpdateWindow::present(const AppcastItem& item) {
    if (m_installer.isRunning()) {
        return;
    }
    m_item = item;
    m_installedPath.clear();
    m_versions->setText(QStringLiteral("Framlet %1 is available — you have %2. Would you like "
                                       "to install it now?")
                            .arg(item.displayVersion, m_runningVersion));
    showNotes();
    m_progress->hide();
    m_status->hide();
    m_install->setText(QStringLiteral("Install Update"));
    setBusy(false);
    m_install->setFocus();
}

void UpdateWindow::showNotes() {
    m_notesCleaner.cancel();
    if (!m_item.releaseNotes.isEmpty() && ReleaseNotes::isRich(m_item.releaseNotes)) {
        // Cleaned on a worker thread: long notes must not hold up the window.
        m_notes->setPlainText(QStringLiteral("Loading the release notes…"));
        m_notesCleaner.clean(m_item.releaseNotes);
    } else if (!m_item.releaseNotes.isEmpty()) {
        m_notes->setPlainText(m_item.releaseNotes);
    } else if (m_item.releaseNotesLink.isValid()) {
        m_notes->setPlainText(QStringLiteral("The release notes are at ") +
                              m_item.releaseNotesLink.toDisplayString());
    } else {
        m_notes->setPlainText(QStringLiteral("No release notes were published."));
    }
}

void UpdateWindow::install() {
    if (!m_installedPath.isEmpty()) {
        Q_EMIT relaunchRequested(m_installedPath);
        return;
    }
    setBusy(true);
    m_progress->setRange(0, 0);
    m_progress->show();
    m_status->setText(QStringLiteral("Downloading…"));
    m_status->show();
    m_installer.install(m_item);
}

void UpdateWindow::progressed(qint64 received, qint64 total) {
    // Per mille: the bar's int range cannot hold the byte counts of large files.
    m_progress->setRange(0, 1000);
    m_progress->setValue(total > 0 ? static_cast<int>(received * 1000 / total) : 0);
}

void UpdateWindow::installed(UpdateInstaller::Outcome outcome, const QString& path,
                             const QString& detail) {
    m_progress->hide();
    m_status->setText(outcomeText(outcome, path, detail));
    if (outcome == UpdateInstaller::Outcome::replacedAppImage) {
        m_installedPath = path;
        m_install->setText(QStringLiteral("Relaunch"));
        m_install->setEnabled(true);
    }
    m_remind->setText(QStringLiteral("Close"));
    m_remind->setEnabled(true);
}

void UpdateWindow::failed(const QString& message) {
    m_progress->hide();
    m_status->setText(message);
    setBusy(false);
}

void UpdateWindow::setBusy(bool busy) {
    m_install->setEnabled(!busy);
    m_remind->setEnabled(!busy);
    m_skip->setEnabled(!busy);
    if (!busy) {
        m_remind->setText(QStringLiteral("Remind Me Later"));
    }
}

}  // namespace framlet
