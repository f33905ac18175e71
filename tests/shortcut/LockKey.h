#pragma once

#include <QString>
#include <cstdint>

namespace framlet::test {

// Switches a lock key (Caps_Lock, Num_Lock) on for its lifetime, as the user would by pressing it.
class LockKey {
public:
    LockKey(const QString& keyName, std::uint16_t modifier);
    ~LockKey();
    LockKey(const LockKey&) = delete;
    LockKey& operator=(const LockKey&) = delete;

    // Whether the server now reports the lock's modifier.
    bool isOn() const;

private:
    QString m_keyName;
    std::uint16_t m_modifier;
};

}  // namespace framlet::test
