#pragma once

#include <QString>
#include <cstdint>

#include "XClients.h"

struct xcb_connection_t;

namespace framlet::test {

// Another X client on a connection of its own, for grabs that belong to someone else.
class OtherKeyboardClient {
public:
    OtherKeyboardClient();
    ~OtherKeyboardClient();
    OtherKeyboardClient(const OtherKeyboardClient&) = delete;
    OtherKeyboardClient& operator=(const OtherKeyboardClient&) = delete;

    // Grabs the key producing the keysym with exactly these X modifiers on the root window;
    // false when the server refuses (someone else holds it).
    bool grab(std::uint32_t keysym, std::uint16_t modifiers);
    void ungrab(std::uint32_t keysym, std::uint16_t modifiers);
    // The X modifiers in effect now, lock keys included.
    std::uint16_t modifierState() const;
    // The first key of the current mapping that produces the keysym.
    std::uint8_t keycode(std::uint32_t keysym) const;

private:
    xcb_connection_t* m_connection;
};

// Switches a lock key (Caps_Lock, Num_Lock) on for its lifetime, as the user would by pressing it.
class LockKey {
public:
    LockKey(const QString& keyName, std::uint16_t modifier)
        : m_name(keyName), m_modifier(modifier) {
        pressKeys(m_name);
    }
    ~LockKey() { pressKeys(m_name); }
    LockKey(const LockKey&) = delete;
    LockKey& operator=(const LockKey&) = delete;
    // Whether the server now reports the lock's modifier.
    bool isOn() const { return (OtherKeyboardClient().modifierState() & m_modifier) != 0; }

private:
    QString m_name;
    std::uint16_t m_modifier;
};

}  // namespace framlet::test
