#include "updates/widgets/UpdateRows.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "updates/Updater.h"

namespace framlet {

UpdateRows::UpdateRows(Updater& updater, QFormLayout& form)
    : QObject(form.parentWidget())
    , m_updater(updater)
    , m_form(form)
    , m_automatic(new QCheckBox(QStringLiteral("Check for updates automatically")))
    , m_checkNow(new QPushButton(QStringLiteral("Check Now…")))
    , m_busy(new QProgressBar)
    , m_status(new QLabel)
    , m_checkRow(new QWidget) {
    m_automatic->setObjectName(QStringLiteral("automaticUpdateChecks"));
    m_checkNow->setObjectName(QStringLiteral("checkForUpdates"));
    m_status->setObjectName(QStringLiteral("updateStatus"));
    m_status->setForegroundRole(QPalette::PlaceholderText);
    m_busy->setRange(0, 0);  // busy, with no measure of how far
    m_busy->setFixedSize(16, 16);
    m_busy->setTextVisible(false);

    auto* row = new QHBoxLayout(m_checkRow);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(m_checkNow);
    row->addWidget(m_busy);
    row->addWidget(m_status);
    row->addStretch(1);
    m_form.addRow(m_automatic);
    m_form.addRow(m_checkRow);

    // Read once: afterwards the toggle changes the framework's flag, not the other way round.
    m_automatic->setChecked(updater.automaticallyChecksForUpdates());
    connect(m_automatic, &QCheckBox::toggled, this,
            [this](bool on) { m_updater.setAutomaticallyChecksForUpdates(on); });
    connect(m_checkNow, &QPushButton::clicked, this, [this] { m_updater.checkForUpdates(); });
    connect(&updater, &Updater::statusChanged, this, &UpdateRows::showStatus);
    connect(&updater, &Updater::availabilityChanged, this, &UpdateRows::showAvailability);
    showStatus();
    showAvailability();
}

void UpdateRows::showStatus() {
    const Updater::Status status = m_updater.status();
    m_busy->setVisible(status.kind() == Updater::Status::Kind::checking);
    m_status->setText(status.text());
    m_status->setVisible(status.kind() != Updater::Status::Kind::idle);
}

void UpdateRows::showAvailability() {
    const bool available = m_updater.isAvailable();
    m_form.setRowVisible(m_automatic, available);
    m_form.setRowVisible(m_checkRow, available);
    if (available) {
        m_automatic->setChecked(m_updater.automaticallyChecksForUpdates());
    }
}

}  // namespace framlet
