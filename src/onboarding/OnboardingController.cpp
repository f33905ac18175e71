#include "onboarding/OnboardingController.h"

#include <QGuiApplication>
#include <QMetaEnum>
#include <QScreen>

#include "onboarding/OnboardingWindow.h"
#include "platform/DebugLog.h"
#include "preferences/Settings.h"
#include "settings/ThemePalette.h"

namespace framlet {

OnboardingController::OnboardingController(Settings& settings, ThemePalette& theme,
                                           Services services, QObject* parent)
    : QObject(parent), m_settings(settings), m_theme(theme), m_services(std::move(services)) {
}

OnboardingController::~OnboardingController() = default;

void OnboardingController::present(const QUrl& folder) {
    if (!m_window) {
        m_model = std::make_unique<OnboardingModel>(
            folder, m_settings,
            [this](const QUrl& startIn) {
                const auto chosen = m_services.chooseFolder(startIn, m_window.get());
                // Window managers do not all give the focus back once the chooser closes, and
                // Return must reach this window's default button again.
                m_window->activateWindow();
                return chosen;
            },
            m_services.probe);
        connect(m_model.get(), &OnboardingModel::finished, this, &OnboardingController::dismiss);
        connect(m_model.get(), &OnboardingModel::stepChanged, this, [](OnboardingModel::Step step) {
            DebugLog::log(QStringLiteral("onboarding: screen ") +
                          QString::fromLatin1(
                              QMetaEnum::fromType<OnboardingModel::Step>().valueToKey(int(step))));
        });
        m_view = new OnboardingView(*m_model, m_settings, m_services.showInFileManager);
        if (m_services.hotKeyStatus) {
            m_view->offerGnomeShortcut(*m_services.hotKeyStatus);
        }
        m_window = std::make_unique<OnboardingWindow>(m_view);
        connect(m_window.get(), &OnboardingWindow::closeRequested, this, [this] {
            DebugLog::log(QStringLiteral("onboarding: window closed → treating as finished"));
            dismiss();
        });
        m_theme.follow(m_window.get());
        if (m_services.joinTaskbar) {
            m_services.joinTaskbar(m_window.get());
        }
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), m_window->size());
            frame.moveCenter(screen->availableGeometry().center());
            m_window->move(frame.topLeft());
        }
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void OnboardingController::dismiss() {
    m_settings.setHasCompletedOnboarding(true);
    m_window->hide();
    Q_EMIT finished();
}

}  // namespace framlet
