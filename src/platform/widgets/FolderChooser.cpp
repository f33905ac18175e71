#include "platform/widgets/FolderChooser.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QUrl>
#include <QWidget>

#include "platform/DebugLog.h"

namespace framlet {
namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

// The portal names a Request after the caller's unique name and the token it was given; watching
// that path before calling means no quick answer is missed.
QString requestPath(const QString& token) {
    QString sender = QDBusConnection::sessionBus().baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return kPortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

// "x11:<window id in hex>" lets the portal place its dialog over ours.
QString parentWindowId(const QWidget* parent) {
    if (!parent || QGuiApplication::platformName() != QLatin1String("xcb")) {
        return {};
    }
    return QStringLiteral("x11:") + QString::number(parent->window()->winId(), 16);
}

}  // namespace

FolderChooser::FolderChooser(QObject* parent) : QObject(parent) {
    // A portal that leaves the bus (crashed, restarted) never answers, and the window it was asked
    // for would stay blocked: Qt's dialog asks instead.
    auto* portalWatch = new QDBusServiceWatcher(kPortalService, QDBusConnection::sessionBus(),
                                                QDBusServiceWatcher::WatchForUnregistration, this);
    connect(portalWatch, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        if (m_open && !m_request.isEmpty()) {
            portalFailed(QStringLiteral("the portal left the bus"));
        }
    });
}

FolderChooser::~FolderChooser() {
    unwatchRequest();
    delete m_standIn;
    delete m_dialog;
}

bool FolderChooser::portalAvailable() {
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    if (!bus) {
        return false;
    }
    if (bus->isServiceRegistered(kPortalService)) {
        return true;
    }
    const QDBusReply<QStringList> activatable = bus->call(QStringLiteral("ListActivatableNames"));
    return activatable.isValid() && activatable.value().contains(kPortalService);
}

void FolderChooser::choose(QWidget* parent, const QString& title, const QString& prompt,
                           Answer answer) {
    if (m_open) {
        // The portal's dialog is the portal's to raise.
        if (m_dialog) {
            m_dialog->raise();
            m_dialog->activateWindow();
        }
        return;
    }
    m_open = true;
    ++m_generation;
    m_parent = parent;
    m_title = title;
    m_prompt = prompt;
    m_answer = std::move(answer);
    if (portalAvailable()) {
        blockParent();
        askPortal();
    } else {
        askDialog();
    }
}

// What Qt does for a native dialog: a modal window that Qt counts as shown but that never
// reaches the screen keeps input, a second request and the window manager's close from the
// parent until the answer comes.
void FolderChooser::blockParent() {
    if (!m_parent) {
        return;
    }
    auto* standIn = new QWidget(m_parent->window(), Qt::Dialog);
    standIn->setAttribute(Qt::WA_DontShowOnScreen);
    standIn->setWindowModality(Qt::WindowModal);
    standIn->show();
    m_standIn = standIn;
}

void FolderChooser::askPortal() {
    const QString token = QStringLiteral("framlet%1").arg(QRandomGenerator::global()->generate());
    watchRequest(requestPath(token));
    QDBusMessage call = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, QStringLiteral("org.freedesktop.portal.FileChooser"),
        QStringLiteral("OpenFile"));
    QVariantMap options{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("directory"), true},
                        {QStringLiteral("multiple"), false},
                        {QStringLiteral("modal"), true},
                        {QStringLiteral("accept_label"), m_prompt}};
    if (!m_startFolder.isEmpty()) {
        // A path in bytes with its terminating NUL, as the portal takes it.
        QByteArray folder = QFile::encodeName(m_startFolder);
        folder.append('\0');
        options.insert(QStringLiteral("current_folder"), folder);
    }
    call << parentWindowId(m_parent) << m_title << options;
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    const quint64 generation = m_generation;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, generation](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (generation == m_generation && m_open) {
                    portalAnswered(finished->reply());
                }
            });
}

void FolderChooser::portalAnswered(const QDBusMessage& reply) {
    if (reply.type() == QDBusMessage::ErrorMessage) {
        portalFailed(reply.errorMessage());
        return;
    }
    const QString handle = reply.arguments().value(0).value<QDBusObjectPath>().path();
    if (handle.isEmpty()) {
        portalFailed(QStringLiteral("no request handle"));
    } else if (handle != m_request) {
        watchRequest(handle);  // an older portal picks its own path
    }
}

void FolderChooser::portalFailed(const QString& reason) {
    DebugLog::log(QStringLiteral("folder chooser: portal failed (") + reason +
                  QStringLiteral("), using Qt's dialog"));
    unwatchRequest();
    delete m_standIn;  // Qt's dialog blocks the parent itself
    askDialog();
}

void FolderChooser::watchRequest(const QString& handle) {
    unwatchRequest();
    m_request = handle;
    QDBusConnection::sessionBus().connect(kPortalService, m_request, kRequestInterface,
                                          QStringLiteral("Response"), this,
                                          SLOT(portalResponse(uint, QVariantMap)));
}

void FolderChooser::unwatchRequest() {
    if (m_request.isEmpty()) {
        return;
    }
    QDBusConnection::sessionBus().disconnect(kPortalService, m_request, kRequestInterface,
                                             QStringLiteral("Response"), this,
                                             SLOT(portalResponse(uint, QVariantMap)));
    m_request.clear();
}

void FolderChooser::portalResponse(uint response, const QVariantMap& results) {
    unwatchRequest();
    // 0: chosen, 1: cancelled, 2: ended otherwise.
    const QStringList uris = results.value(QStringLiteral("uris")).toStringList();
    const QUrl url = uris.isEmpty() ? QUrl() : QUrl(uris.first());
    if (response == 0 && url.isLocalFile()) {
        finish(url.toLocalFile());
    } else {
        finish(std::nullopt);
    }
}

void FolderChooser::askDialog() {
    auto* dialog = new QFileDialog(m_parent, m_title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setLabelText(QFileDialog::Accept, m_prompt);
    if (!m_startFolder.isEmpty()) {
        dialog->setDirectory(m_startFolder);
    }
    const quint64 generation = m_generation;
    connect(dialog, &QFileDialog::finished, this, [this, dialog, generation](int result) {
        const QStringList chosen = dialog->selectedFiles();
        if (generation != m_generation) {
            return;
        }
        if (result == QDialog::Accepted && !chosen.isEmpty()) {
            finish(chosen.first());
        } else {
            finish(std::nullopt);
        }
    });
    m_dialog = dialog;
    dialog->open();
}

void FolderChooser::finish(const std::optional<QString>& folder) {
    delete m_standIn;
    m_open = false;
    Answer answer = std::move(m_answer);
    m_answer = nullptr;
    if (answer) {
        answer(folder);
    }
}

}  // namespace framlet
