#include "settings/FoldersTab.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QThreadPool>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/DebugLog.h"
#include "platform/ToolNotifications.h"
#include "platform/widgets/FolderChooser.h"
#include "preferences/Settings.h"
#include "settings/RecognisedText.h"
#include "settings/SettingsForm.h"

namespace framlet {
namespace {

const QString kNotificationCaption =
    QStringLiteral("Turns off the notification your screenshot tool shows after a capture.");

// A path on one line, shortened in the middle to the width it has.
class MiddleElidedLabel : public QLabel {
public:
    explicit MiddleElidedLabel(const QString& text) : QLabel(text) {
        setToolTip(text);
        setMinimumWidth(40);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignVCenter | Qt::AlignLeft,
                         fontMetrics().elidedText(text(), Qt::ElideMiddle, width()));
    }
};

QIcon themedIcon(const QString& name, QStyle::StandardPixmap fallback, const QWidget* owner) {
    return QIcon::fromTheme(name, owner->style()->standardIcon(fallback));
}

QWidget* folderRow(const QString& stored, const QString& shown, Settings& settings,
                   const QWidget* owner) {
    auto* row = new QWidget;
    row->setObjectName(QStringLiteral("folderRow"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* icon = new QLabel;
    const int size = owner->style()->pixelMetric(QStyle::PM_SmallIconSize);
    icon->setPixmap(themedIcon(QStringLiteral("folder"), QStyle::SP_DirIcon, owner)
                        .pixmap(size, size, QIcon::Disabled));
    layout->addWidget(icon);
    layout->addWidget(new MiddleElidedLabel(shown), 1);
    auto* remove = new QToolButton;
    remove->setObjectName(QStringLiteral("removeFolder"));
    remove->setAutoRaise(true);
    remove->setIcon(
        themedIcon(QStringLiteral("list-remove"), QStyle::SP_DialogDiscardButton, owner));
    remove->setToolTip(QStringLiteral("Stop watching this folder"));
    remove->setAccessibleName(QStringLiteral("Stop watching this folder"));
    // The entry exactly as stored: removal compares strings.
    QObject::connect(remove, &QToolButton::clicked, &settings,
                     [&settings, stored] { settings.removeWatchedFolder(stored); });
    layout->addWidget(remove);
    return row;
}

}  // namespace

FoldersTab::FoldersTab(const SettingsServices& services, QWidget* parent)
    : QWidget(parent)
    , m_settings(services.settings)
    , m_chooser(services.folderChooser)
    , m_lookUpSource(services.screenshotSource) {
    QList<QWidget*> sections{makeFoldersSection(), makeToolSection()};
    if (services.recognisedText) {
        sections.append(makeSearchSection(*services.recognisedText));
    }
    SettingsForm::fillTab(*this, sections);
    connect(&m_settings, &Settings::watchedFolderChanged, this, &FoldersTab::showFolders);
    showFolders();
    showSource({});
}

QString FoldersTab::displayPath(const QString& path, const QString& home) {
    // Only the home folder itself: "/home/ann" must not turn "/home/anna" into "~a".
    if (home.isEmpty() || home == QStringLiteral("/")) {
        return path;
    }
    if (path == home) {
        return QStringLiteral("~");
    }
    if (path.startsWith(home + QLatin1Char('/'))) {
        return QLatin1Char('~') + path.mid(home.size());
    }
    return path;
}

QWidget* FoldersTab::makeFoldersSection() {
    QFormLayout* form = nullptr;
    QGroupBox* box = SettingsForm::section(QStringLiteral("Watched folders"), form);
    m_folders = new QWidget;
    m_foldersLayout = new QVBoxLayout(m_folders);
    m_foldersLayout->setContentsMargins(0, 0, 0, 0);
    form->addRow(m_folders);
    m_add = new QPushButton(QStringLiteral("Add Folder…"));
    connect(m_add, &QPushButton::clicked, this, &FoldersTab::addFolder);
    form->addRow(m_add);
    form->setAlignment(m_add, Qt::AlignLeft);
    return box;
}

QWidget* FoldersTab::makeToolSection() {
    QFormLayout* form = nullptr;
    QGroupBox* box = SettingsForm::section(QStringLiteral("Screenshot tool"), form);
    m_notification = new QCheckBox(QStringLiteral("Hide the screenshot tool's notification"));
    connect(m_notification, &QCheckBox::toggled, this, &FoldersTab::setNotificationSuppressed);
    m_notificationCaption = SettingsForm::caption(kNotificationCaption);
    form->addRow(m_notification);
    form->addRow(m_notificationCaption);
    return box;
}

QWidget* FoldersTab::makeSearchSection(RecognisedText& text) {
    QFormLayout* form = nullptr;
    QGroupBox* box = SettingsForm::section(QStringLiteral("Search"), form);
    m_older = new QCheckBox(QStringLiteral("Also search older screenshots"));
    m_older->setChecked(m_settings.searchOlderScreenshots());
    connect(m_older, &QCheckBox::toggled, &m_settings, &Settings::setSearchOlderScreenshots);
    connect(&m_settings, &Settings::searchOlderScreenshotsChanged, m_older, [this] {
        const QSignalBlocker blocker(m_older);
        m_older->setChecked(m_settings.searchOlderScreenshots());
    });
    form->addRow(m_older);
    m_progress = SettingsForm::caption(text.progressText());
    m_progress->setObjectName(QStringLiteral("readingProgress"));
    m_progress->setVisible(!m_progress->text().isEmpty());
    connect(&text, &RecognisedText::progressTextChanged, m_progress, [this](const QString& shown) {
        m_progress->setText(shown);
        m_progress->setVisible(!shown.isEmpty());
    });
    form->addRow(m_progress);
    m_forget = new QPushButton(QStringLiteral("Forget recognised text"));
    connect(m_forget, &QPushButton::clicked, &text, &RecognisedText::forgetRecognisedText);
    form->addRow(m_forget);
    form->setAlignment(m_forget, Qt::AlignLeft);
    form->addRow(SettingsForm::caption(
        QStringLiteral("The text found inside your screenshots is kept on this computer so that "
                       "each is read once. Forgetting it reads them all again.")));
    return box;
}

void FoldersTab::showFolders() {
    while (QLayoutItem* item = m_foldersLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const QStringList folders = m_settings.watchedFolders();
    const QString home = QDir::homePath();
    if (folders.isEmpty()) {
        auto* current = new QWidget;
        auto* form = new QFormLayout(current);
        form->setContentsMargins(0, 0, 0, 0);
        auto* location = new MiddleElidedLabel(displayPath(m_source.location, home));
        location->setObjectName(QStringLiteral("currentlyWatching"));
        location->setForegroundRole(QPalette::PlaceholderText);
        form->addRow(QStringLiteral("Currently watching"), location);
        m_foldersLayout->addWidget(current);
        m_foldersLayout->addWidget(SettingsForm::caption(
            QStringLiteral("Following your screenshot tool's folder automatically. Add a folder "
                           "to watch more than one place.")));
        return;
    }
    for (const QString& folder : folders) {
        m_foldersLayout->addWidget(folderRow(folder, displayPath(folder, home), m_settings, this));
    }
    m_foldersLayout->addWidget(SettingsForm::caption(
        QStringLiteral("Watching these folders. Screenshots from all of them appear on the "
                       "shelf; filter by folder in the panel.")));
}

void FoldersTab::addFolder() {
    QPointer<FoldersTab> self(this);
    m_chooser.choose(window(), QStringLiteral("Add Folder"), QStringLiteral("Watch Folder"),
                     [self](const std::optional<QString>& folder) {
                         if (self && folder) {
                             self->m_settings.addWatchedFolder(*folder);
                         }
                     });
}

void FoldersTab::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refreshSource();  // the tool's settings may have changed while the window was hidden
}

void FoldersTab::refreshSource() {
    if (!m_lookUpSource) {
        return;
    }
    QPointer<FoldersTab> self(this);
    QThreadPool::globalInstance()->start([self, lookUp = m_lookUpSource] {
        const ScreenshotSource source = lookUp();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, source] {
                if (self) {
                    self->showSource(source);
                }
            },
            Qt::QueuedConnection);
    });
}

void FoldersTab::showSource(const ScreenshotSource& source) {
    m_source = source;
    if (m_settings.watchedFolders().isEmpty()) {
        showFolders();
    }
    const ToolNotifications notifications(source.tool);
    const QSignalBlocker blocker(m_notification);
    m_notification->setEnabled(notifications.isAvailable());
    m_notification->setChecked(notifications.isSuppressed());
    m_notificationCaption->setText(notifications.isAvailable() ? kNotificationCaption
                                                               : notifications.unavailableReason());
    Q_EMIT sourceShown();
}

void FoldersTab::setNotificationSuppressed(bool suppressed) {
    const ToolNotifications notifications(m_source.tool);
    const auto error = notifications.setSuppressed(suppressed);
    if (error) {
        DebugLog::log(QStringLiteral("settings: cannot change the screenshot tool's "
                                     "notification: ") +
                      *error);
    }
    const QSignalBlocker blocker(m_notification);
    m_notification->setChecked(notifications.isSuppressed());  // what the file now says
    m_notificationCaption->setText(error ? QStringLiteral("The setting could not be changed: ") +
                                               *error
                                         : kNotificationCaption);
}

}  // namespace framlet
