#include "shortcut/HotKey.h"

namespace framlet {

HotKey::RegistrationError::RegistrationError(Kind kind, std::int32_t status)
    : m_kind(kind), m_status(status), m_what(userMessage().toStdString()) {
}

HotKey::RegistrationError HotKey::RegistrationError::failed(std::int32_t status) {
    return {Kind::failed, status};
}

HotKey::RegistrationError HotKey::RegistrationError::alreadyInUse() {
    return {Kind::alreadyInUse, 0};
}

QString HotKey::RegistrationError::userMessage() const {
    if (m_kind == Kind::alreadyInUse) {
        return QStringLiteral(
            "That shortcut is already in use by another app. Pick a different one.");
    }
    switch (m_status) {
        case KeyGrabber::noX11Connection:
        case KeyGrabber::portalFailed:
        case KeyGrabber::commandNotBound:
            // No grab the desktop honours, but it can run a command on its own shortcuts.
            return QStringLiteral(
                "This desktop doesn't let apps register shortcuts, so bind the command "
                "\"framlet --toggle\" to one in your desktop's keyboard settings.");
        case KeyGrabber::portalDeclined:
            // The desktop's own dialog ended without keys: nothing the user picked here was wrong.
            return QStringLiteral(
                "Your desktop didn't bind the shortcut. You can pick its keys in the desktop's "
                "keyboard settings, where Framlet's shortcut is listed.");
        default:
            return QStringLiteral(
                       "The desktop wouldn't register that shortcut (error %1). Pick a different "
                       "one.")
                .arg(m_status);
    }
}

HotKey::HotKey(Binding binding, std::function<void()> action, KeyGrabber& grabber)
    : m_grabber(grabber), m_action(std::move(action)), m_id(s_nextID++), m_binding(binding) {
    s_instances[m_id] = this;
    try {
        registerBinding(binding);
    } catch (...) {
        release();
        throw;
    }
}

HotKey::~HotKey() {
    release();
}

void HotKey::registerBinding(Binding binding) {
    const std::uint32_t id = m_id;
    const KeyGrabber::Result result =
        m_grabber.grab(binding.keyCode, binding.modifiers, [id] { dispatch(id); });
    if (result.status == KeyGrabber::alreadyGrabbed) {
        throw RegistrationError::alreadyInUse();
    }
    if (result.status != KeyGrabber::grabbed) {
        throw RegistrationError::failed(result.status);
    }
    m_hotKeyRef = result.handle;
    m_binding = binding;
}

void HotKey::release() {
    if (m_hotKeyRef) {
        m_grabber.ungrab(*m_hotKeyRef);
        m_hotKeyRef.reset();
    }
    s_instances.erase(m_id);
}

void HotKey::dispatch(std::uint32_t id) {
    const auto found = s_instances.find(id);
    if (found != s_instances.end()) {
        const std::function<void()> action = found->second->m_action;  // it may destroy us
        action();
    }
}

}  // namespace framlet
