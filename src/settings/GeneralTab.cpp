#include "settings/GeneralTab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/DebugLog.h"
#include "platform/GnomeShortcutGrabber.h"
#include "platform/LoginItem.h"
#include "preferences/Settings.h"
#include "settings/SettingsForm.h"
#include "settings/SettingsServices.h"
#include "shortcut/HotKeyStatus.h"
#include "shortcut/widgets/GnomeShortcutButton.h"
#include "shortcut/widgets/HotKeyRecorder.h"

namespace framlet {
namespace {

struct LanternChoice {
    const char* label;
    int seconds;
};

constexpr LanternChoice kLanternChoices[] = {{"10 seconds", 10}, {"30 seconds", 30},
                                             {"1 minute", 60},   {"2 minutes", 120},
                                             {"5 minutes", 300}, {"Until I open the shelf", 0}};

constexpr int kHistoryStep = 10;

QWidget* row(std::initializer_list<QWidget*> widgets, int spacing) {
    auto* line = new QWidget;
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (QWidget* widget : widgets) {
        layout->addWidget(widget, 0, Qt::AlignVCenter);
    }
    layout->addStretch(1);
    return line;
}

}  // namespace

GeneralTab::GeneralTab(const SettingsServices& services, QWidget* parent)
    : QWidget(parent)
    , m_settings(services.settings)
    , m_loginItem(services.loginItem)
    , m_hotKeyStatus(services.hotKeyStatus) {
    SettingsForm::fillTab(*this, {makeLaunchSection(), makeUpdatesSection(services),
                                  makeShortcutSection(), makeTraySection(), makeShelfSection()});
}

QWidget* GeneralTab::makeLaunchSection() {
    QFormLayout* form = nullptr;
    QGroupBox* box = SettingsForm::section(QStringLiteral("Launch behavior"), form);
    m_launchAtLogin = new QCheckBox(QStringLiteral("Launch Framlet at login"));
    // Read from the autostart folder once, when the tab is made; only a failure corrects it.
    m_launchAtLogin->setChecked(m_loginItem.status() == LoginItem::Status::enabled);
    connect(m_launchAtLogin, &QCheckBox::toggled, this, &GeneralTab::setLaunchAtLogin);
    form->addRow(m_launchAtLogin);

    m_taskbar = new QCheckBox(QStringLiteral("Show Framlet in the taskbar"));
    m_taskbar->setChecked(m_settings.showDockIcon());
    connect(m_taskbar, &QCheckBox::toggled, &m_settings, &Settings::setShowDockIcon);
    connect(&m_settings, &Settings::dockIconChanged, this, [this] {
        const QSignalBlocker blocker(m_taskbar);
        m_taskbar->setChecked(m_settings.showDockIcon());
    });
    form->addRow(m_taskbar);
    return box;
}

QWidget* GeneralTab::makeUpdatesSection(const SettingsServices& services) {
    QFormLayout* form = nullptr;
    QGroupBox* box = SettingsForm::section(QStringLiteral("Updates"), form);
    auto* value = new QLabel(services.version);
    value->setObjectName(QStringLiteral("version"));
    value->setForegroundRole(QPalette::PlaceholderText);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(QStringLiteral("Version"), value);
    if (services.addUpdateRows) {
        services.addUpdateRows(*form);
    }
    return box;
}

QWidget* GeneralTab::makeShortcutSection() {
    QFormLayout* form = nullptr;
    QGroupBox* box = SettingsForm::section(QStringLiteral("Keyboard shortcut"), form);
    m_recorder = new HotKeyRecorder;
    connect(m_recorder, &HotKeyRecorder::recorded, this,
            [this](HotKeyBinding binding) { m_settings.setHotKey(binding); });
    m_reset = new QPushButton(QStringLiteral("Reset"));
    QFont small = m_reset->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    m_reset->setFont(small);
    connect(m_reset, &QPushButton::clicked, this, [this] {
        // Reset also takes back the consent to GNOME's custom shortcut.
        if (GnomeShortcutGrabber* gnome = m_hotKeyStatus.gnomeShortcut();
            gnome && gnome->isAdded()) {
            gnome->remove();
        }
        m_settings.setHotKey(Settings::defaultHotKey);
    });
    form->addRow(QStringLiteral("Toggle the shelf"), row({m_recorder, m_reset}, 8));

    auto* icon = new QLabel;
    const int size = style()->pixelMetric(QStyle::PM_SmallIconSize);
    icon->setPixmap(QIcon::fromTheme(QStringLiteral("dialog-warning"),
                                     style()->standardIcon(QStyle::SP_MessageBoxWarning))
                        .pixmap(size, size));
    m_hotKeyError = SettingsForm::caption(QString());
    m_hotKeyError->setStyleSheet(QStringLiteral("color: #ff9500;"));  // orange in both themes
    m_hotKeyErrorRow = row({icon, m_hotKeyError}, 4);
    m_hotKeyErrorRow->layout()->setAlignment(m_hotKeyError, Qt::AlignVCenter);
    form->addRow(m_hotKeyErrorRow);
    m_gnomeShortcut = new GnomeShortcutButton(m_hotKeyStatus);
    form->addRow(m_gnomeShortcut);
    m_gnomeShortcut->refresh();
    m_desktopBinding = SettingsForm::caption(QString());
    m_desktopBinding->setObjectName(QStringLiteral("desktopBinding"));
    form->addRow(m_desktopBinding);
    connect(&m_hotKeyStatus, &HotKeyStatus::desktopBindingChanged, this,
            &GeneralTab::showHotKeyError);

    connect(&m_settings, &Settings::hotKeyChanged, this, &GeneralTab::showHotKey);
    connect(&m_hotKeyStatus, &HotKeyStatus::errorMessageChanged, this,
            &GeneralTab::showHotKeyError);
    showHotKey();
    showHotKeyError();
    return box;
}

QWidget* GeneralTab::makeTraySection() {
    QFormLayout* form = nullptr;
    QGroupBox* box = SettingsForm::section(QStringLiteral("Tray"), form);
    m_lantern = new QComboBox;
    for (const LanternChoice& choice : kLanternChoices) {
        m_lantern->addItem(QString::fromUtf8(choice.label), choice.seconds);
    }
    // A hand-edited value that is none of the choices shows no choice, as stored.
    m_lantern->setCurrentIndex(m_lantern->findData(m_settings.unseenResetSeconds()));
    connect(m_lantern, &QComboBox::activated, this, [this](int index) {
        m_settings.setUnseenResetSeconds(m_lantern->itemData(index).toInt());
    });
    form->addRow(QStringLiteral("Keep the lantern lit for"), m_lantern);
    form->addRow(SettingsForm::caption(QStringLiteral(
        "After a new screenshot, the tray lantern fills with fireflies. This is how long it "
        "stays lit before emptying on its own.")));
    return box;
}

QWidget* GeneralTab::makeShelfSection() {
    QFormLayout* form = nullptr;
    QGroupBox* box = SettingsForm::section(QStringLiteral("Shelf"), form);
    m_historyLabel = new QLabel;
    m_historyDown = new QToolButton;
    m_historyDown->setArrowType(Qt::DownArrow);
    m_historyDown->setAccessibleName(QStringLiteral("Fewer"));
    m_historyUp = new QToolButton;
    m_historyUp->setArrowType(Qt::UpArrow);
    m_historyUp->setAccessibleName(QStringLiteral("More"));
    connect(m_historyDown, &QToolButton::clicked, this, [this] { stepHistory(-1); });
    connect(m_historyUp, &QToolButton::clicked, this, [this] { stepHistory(+1); });
    connect(&m_settings, &Settings::historyLimitChanged, this, &GeneralTab::showHistory);
    auto* stepper = row({m_historyLabel, m_historyDown, m_historyUp}, 4);
    form->addRow(stepper);
    form->addRow(SettingsForm::caption(QStringLiteral(
        "How many recent captures the shelf holds. OCR text for search is recognized on-device "
        "with Tesseract.")));
    showHistory();
    return box;
}

void GeneralTab::setLaunchAtLogin(bool on) {
    const auto error = on ? m_loginItem.registerItem() : m_loginItem.unregisterItem();
    if (!error) {
        return;
    }
    DebugLog::system(QStringLiteral("Framlet: launch-at-login change failed: ") + *error);
    const QSignalBlocker blocker(m_launchAtLogin);
    m_launchAtLogin->setChecked(m_loginItem.status() == LoginItem::Status::enabled);
}

QString GeneralTab::historyText(int limit) {
    return QStringLiteral("Keep %1 recent screenshots").arg(limit);
}

void GeneralTab::stepHistory(int direction) {
    const int next = m_settings.historyLimit() + direction * kHistoryStep;
    if (next >= Settings::historyLimitRange.lowest && next <= Settings::historyLimitRange.highest) {
        m_settings.setHistoryLimit(next);
    }
}

void GeneralTab::showHistory() {
    const int limit = m_settings.historyLimit();
    m_historyLabel->setText(historyText(limit));
    m_historyDown->setEnabled(limit - kHistoryStep >= Settings::historyLimitRange.lowest);
    m_historyUp->setEnabled(limit + kHistoryStep <= Settings::historyLimitRange.highest);
}

void GeneralTab::showHotKey() {
    m_recorder->setBinding(m_settings.hotKeyBinding());
    m_reset->setVisible(m_settings.hotKeyBinding() != Settings::defaultHotKey);
}

void GeneralTab::showHotKeyError() {
    const auto& message = m_hotKeyStatus.errorMessage();
    m_hotKeyError->setText(message.value_or(QString()));
    m_hotKeyErrorRow->setVisible(message.has_value());
    m_desktopBinding->setText(m_hotKeyStatus.desktopBindingText());
    m_desktopBinding->setVisible(m_hotKeyStatus.desktopBinding().has_value());
}

}  // namespace framlet
