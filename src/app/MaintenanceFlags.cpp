#include "app/MaintenanceFlags.h"

#include "platform/LoginItem.h"
#include "preferences/Settings.h"

namespace framlet {

MaintenanceFlags::MaintenanceFlags(const LoginItem& loginItem, Settings& settings,
                                   RunningInstance runningInstance, std::FILE* out, std::FILE* err)
    : m_loginItem(loginItem)
    , m_settings(settings)
    , m_runningInstance(std::move(runningInstance))
    , m_out(out)
    , m_err(err) {
}

std::optional<int> MaintenanceFlags::run(const QStringList& arguments) const {
    // The order decides when several flags are given, wherever they stand on the command line.
    if (arguments.contains(QStringLiteral("--register-login"))) {
        return registerLogin();
    }
    if (arguments.contains(QStringLiteral("--unregister-login"))) {
        return unregisterLogin();
    }
    if (arguments.contains(QStringLiteral("--reset-onboarding"))) {
        return resetOnboarding();
    }
    if (arguments.contains(QStringLiteral("--reset-tour"))) {
        return resetTour();
    }
    if (arguments.contains(QStringLiteral("--update-check"))) {
        qputenv("FRAMLET_UPDATE_CHECK", "1");
    }
    if (arguments.contains(QStringLiteral("--login-status"))) {
        return loginStatus();
    }
    return std::nullopt;
}

int MaintenanceFlags::registerLogin() const {
    if (const auto error = m_loginItem.registerItem()) {
        print(m_err, QStringLiteral("Framlet: register failed: ") + *error);
        return 1;
    }
    print(m_out, QStringLiteral("Framlet: registered login item (status=%1)").arg(status()));
    return 0;
}

int MaintenanceFlags::unregisterLogin() const {
    if (const auto error = m_loginItem.unregisterItem()) {
        print(m_err, QStringLiteral("Framlet: unregister failed: ") + *error);
        return 1;
    }
    print(m_out, QStringLiteral("Framlet: unregistered login item (status=%1)").arg(status()));
    return 0;
}

int MaintenanceFlags::resetOnboarding() const {
    if (handedToInstance(QStringLiteral("ResetOnboarding"))) {
        print(m_out,
              QStringLiteral(
                  "Framlet: onboarding + tour reset — the running Framlet shows onboarding now"));
        return 0;
    }
    m_settings.resetOnboarding();
    print(m_out,
          QStringLiteral("Framlet: onboarding + tour reset — they will show again on next launch"));
    return 0;
}

int MaintenanceFlags::resetTour() const {
    if (!handedToInstance(QStringLiteral("ResetTour"))) {
        m_settings.resetFeatureTour();
    }
    print(m_out, QStringLiteral(
                     "Framlet: feature tour reset — it will show the next time the shelf opens"));
    return 0;
}

bool MaintenanceFlags::handedToInstance(const QString& method) const {
    return m_runningInstance && m_runningInstance(method);
}

int MaintenanceFlags::loginStatus() const {
    print(m_out, QStringLiteral("Framlet: login item status=%1 "
                                "(1=enabled, 0=notRegistered, 2=requiresApproval, 3=notFound)")
                     .arg(status()));
    return 0;
}

int MaintenanceFlags::status() const {
    return static_cast<int>(m_loginItem.status());
}

void MaintenanceFlags::print(std::FILE* stream, const QString& line) const {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

}  // namespace framlet
