#include "shelf/ImagePreviewController.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QImageReader>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMovie>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextEdit>
#include <algorithm>

#include "library/decoding/ImageDecoder.h"
#include "platform/DebugLog.h"
#include "platform/widgets/TaskbarPresence.h"
#include "settings/ThemePalette.h"
#include "shelf/PreviewImageView.h"
#include "shelf/PreviewPanel.h"

namespace framlet {

namespace {

// The log speaks in the virtual key codes of an ANSI keyboard; keys the preview does not know
// are written as -1.
int virtualKeyCode(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Space:
            return 49;
        case Qt::Key_Escape:
            return 53;
        case Qt::Key_Left:
            return 123;
        case Qt::Key_Right:
            return 124;
        case Qt::Key_Down:
            return 125;
        case Qt::Key_Up:
            return 126;
        default:
            return -1;
    }
}

QString flag(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// Keys belong to a text field that has the focus: the user is typing, for example a search.
// Item views accept input methods too (for keyboard search), so the attribute cannot tell.
bool isTyping() {
    const QWidget* focus = QApplication::focusWidget();
    if (const auto* combo = qobject_cast<const QComboBox*>(focus)) {
        return combo->isEditable();
    }
    if (const auto* edit = qobject_cast<const QTextEdit*>(focus)) {
        return !edit->isReadOnly();
    }
    if (const auto* edit = qobject_cast<const QPlainTextEdit*>(focus)) {
        return !edit->isReadOnly();
    }
    return qobject_cast<const QLineEdit*>(focus) || qobject_cast<const QAbstractSpinBox*>(focus);
}

bool isAnimated(const QString& path) {
    QImageReader reader(path);
    return reader.supportsAnimation() && reader.imageCount() != 1;
}

QRect previewFrame() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1440, 900);
    QRect frame(0, 0, qRound(area.width() * 0.55), qRound(area.height() * 0.72));
    frame.moveCenter(area.center());
    return frame;
}

}  // namespace

ImagePreviewController::ImagePreviewController(ThemePalette& theme, DecodeBudget& budget,
                                               TaskbarPresence* taskbar, QObject* parent)
    : QObject(parent), m_theme(theme), m_decoder(budget), m_taskbar(taskbar) {
    // One at a time: only the latest item matters. Not Qt's global pool, where decodes could
    // wait for the decode budget while Qt's own image work waits for that pool.
    m_decoding.setMaxThreadCount(1);
    m_decoding.setObjectName(QStringLiteral("org.framlet.Framlet.preview"));
}

ImagePreviewController::~ImagePreviewController() {
    stopWatchingKeys();
    // The shared instance goes with the application object, after which a widget can no
    // longer be deleted safely; the process is ending then anyway.
    if (qApp) {
        delete m_panel.data();
    }
}

PreviewPanel* ImagePreviewController::panel() const {
    return m_panel;
}

void ImagePreviewController::show(const QList<QUrl>& urls, const QList<QUuid>& ids, int startAt) {
    if (urls.isEmpty()) {
        return;
    }
    m_urls = urls;
    m_ids = ids;
    m_index = std::clamp(startAt, 0, count() - 1);
    if (!m_panel) {
        makePanel();
    }
    updateItem();
    if (!m_panel->isVisible() && QApplication::activeWindow() != m_panel) {
        m_returnTo = QApplication::activeWindow();
    }
    m_panel->show();
    m_panel->raise();
    m_panel->activateWindow();
    startWatchingKeys();
    DebugLog::log(QStringLiteral("preview shown: ") + debugInfo());
}

void ImagePreviewController::toggle(const QList<QUrl>& urls, const QList<QUuid>& ids, int startAt) {
    if (isVisible()) {
        close();
    } else {
        show(urls, ids, startAt);
    }
}

void ImagePreviewController::close() {
    stopWatchingKeys();
    if (m_panel) {
        const bool wasActive = m_panel->isActiveWindow();
        m_panel->hide();
        m_panel->imageView()->clear();
        // The keyboard goes back to the window the preview was opened from.
        if (wasActive && m_returnTo && m_returnTo->isVisible()) {
            m_returnTo->activateWindow();
        }
    }
    ++*m_latest;  // a decode still under way has nobody to show it to
}

void ImagePreviewController::step(int offset) {
    if (count() < 2) {
        DebugLog::log(QStringLiteral("step ignored: only %1 item(s)").arg(count()));
        return;
    }
    m_index = ((m_index + offset) % count() + count()) % count();
    updateItem();
    if (m_index < m_ids.size()) {
        Q_EMIT stepped(m_ids[m_index]);
    }
    DebugLog::log(QStringLiteral("stepped: ") + debugInfo());
}

bool ImagePreviewController::isVisible() const {
    return m_panel && m_panel->isVisible();
}

QString ImagePreviewController::debugInfo() const {
    const bool key = m_panel && m_panel->isActiveWindow();
    return QStringLiteral("index=%1 count=%2 visible=%3 key=%4 level=%5 title='%6'")
        .arg(m_index)
        .arg(count())
        .arg(flag(isVisible()), flag(key))
        .arg(m_panel ? panelLevel : -1)
        .arg(m_panel ? m_panel->windowTitle() : QStringLiteral("-"));
}

bool ImagePreviewController::eventFilter(QObject* watched, QEvent* event) {
    // A key press reaches its window first and then the focus widget; the window's delivery is
    // the one that counts, once per press.
    if (event->type() != QEvent::KeyPress || !watched->isWindowType()) {
        return QObject::eventFilter(watched, event);
    }
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool handled = handleKey(key);
    DebugLog::log(QStringLiteral("preview key code=%1 handled=%2")
                      .arg(virtualKeyCode(key))
                      .arg(flag(handled)));
    return handled;
}

bool ImagePreviewController::handleKey(int key) {
    // An open menu owns the arrows and Escape until it closes.
    if (!isVisible() || isTyping() || QApplication::activePopupWidget()) {
        return false;
    }
    switch (key) {
        case Qt::Key_Space:
        case Qt::Key_Escape:
            close();
            return true;
        case Qt::Key_Left:
        case Qt::Key_Up:
            step(-1);
            return true;
        case Qt::Key_Right:
        case Qt::Key_Down:
            step(+1);
            return true;
        default:
            return false;
    }
}

void ImagePreviewController::makePanel() {
    m_panel = new PreviewPanel;
    m_panel->setGeometry(previewFrame());
    m_theme.follow(m_panel);
    if (m_taskbar) {
        m_taskbar->add(m_panel);
    }
    connect(m_panel, &PreviewPanel::closeRequested, this, &ImagePreviewController::close);
}

void ImagePreviewController::updateItem() {
    const QString path = m_urls[m_index].toLocalFile();
    m_panel->imageView()->showLoading();
    decodeInBackground(path);
    QString title = m_urls[m_index].fileName();
    if (count() >= 2) {
        title += QStringLiteral("  (%1 of %2)").arg(m_index + 1).arg(count());
    }
    m_panel->setWindowTitle(title);  // what a screen reader announces as the preview opens
    m_panel->imageView()->setAccessibleName(m_urls[m_index].fileName());
}

void ImagePreviewController::decodeInBackground(const QString& path) {
    // A large image takes seconds to decode: never on the main thread. Only the latest request
    // is decoded and shown; one the user stepped away from is skipped or dropped.
    const quint64 request = ++*m_latest;
    const QPointer<ImagePreviewController> self(this);
    m_decoding.start([self, path, request, latest = m_latest, decoder = m_decoder] {
        if (latest->load() != request) {
            return;
        }
        // Decoding first bounds the size before an animation decodes frame by frame.
        const ImageDecoder::Result decoded = decoder.decode(path);
        const bool animated = decoded.ok() && isAnimated(path);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, path, request, latest, decoded, animated] {
                if (self && latest->load() == request) {
                    self->showDecoded(path, decoded, animated);
                }
            },
            Qt::QueuedConnection);
    });
}

void ImagePreviewController::showDecoded(const QString& path, const ImageDecoder::Result& decoded,
                                         bool animated) {
    if (!m_panel) {
        return;
    }
    PreviewImageView* view = m_panel->imageView();
    if (!decoded.ok()) {
        view->clear();
    } else if (animated) {
        view->setMovie(new QMovie(path));
    } else {
        view->setImage(decoded.image);
    }
}

void ImagePreviewController::startWatchingKeys() {
    // Removing first keeps a single filter however often the preview is shown.
    stopWatchingKeys();
    qApp->installEventFilter(this);
    m_watchingKeys = true;
}

void ImagePreviewController::stopWatchingKeys() {
    if (m_watchingKeys && qApp) {
        qApp->removeEventFilter(this);
    }
    m_watchingKeys = false;
}

}  // namespace framlet
