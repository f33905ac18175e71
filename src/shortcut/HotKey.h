#pragma once

#include <QString>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/KeyGrabber.h"
#include "preferences/HotKeyBinding.h"

namespace framlet {

// One system-wide keyboard shortcut. A hot key is registered when it is constructed (or the
// constructor throws RegistrationError) and stays registered until it is destroyed, so the owner
// replaces a shortcut by destroying the old hot key first and then creating the new one.
// Main thread only.
class HotKey {
public:
    using Binding = HotKeyBinding;

    class RegistrationError : public std::exception {
    public:
        enum class Kind { failed, alreadyInUse };

        // The desktop refused with this status: one of KeyGrabber's status codes.
        static RegistrationError failed(std::int32_t status);
        // Another application holds the combination, or this one does.
        static RegistrationError alreadyInUse();

        Kind kind() const { return m_kind; }
        std::int32_t status() const { return m_status; }
        QString userMessage() const;
        const char* what() const noexcept override { return m_what.c_str(); }

        friend bool operator==(const RegistrationError& a, const RegistrationError& b) {
            return a.m_kind == b.m_kind && a.m_status == b.m_status;
        }

    private:
        RegistrationError(Kind kind, std::int32_t status);

        Kind m_kind;
        std::int32_t m_status;
        std::string m_what;
    };

    // Registers the binding; action runs on the main thread at each press. Throws
    // RegistrationError. Every hot key takes an id, also one whose registration fails.
    HotKey(Binding binding, std::function<void()> action, KeyGrabber& grabber);
    ~HotKey();
    HotKey(const HotKey&) = delete;
    HotKey& operator=(const HotKey&) = delete;

    std::uint32_t id() const { return m_id; }
    Binding binding() const { return m_binding; }

    // The id the next hot key will take; the first hot key of the process takes 1.
    static std::uint32_t nextID() { return s_nextID; }

private:
    void registerBinding(Binding binding);
    void release();
    static void dispatch(std::uint32_t id);

    KeyGrabber& m_grabber;
    std::optional<KeyGrabber::Handle> m_hotKeyRef;
    std::function<void()> m_action;
    std::uint32_t m_id;
    Binding m_binding;

    static inline std::uint32_t s_nextID = 1;
    // The live hot keys by id, for the press callback; entries do not own their hot keys.
    static inline std::map<std::uint32_t, HotKey*> s_instances;
};

}  // namespace framlet
