#include "LockKey.h"

#include "OtherKeyboardClient.h"

namespace framlet::test {

LockKey::LockKey(const QString& keyName, std::uint16_t modifier)
    : m_keyName(keyName), m_modifier(modifier) {
    pressKeys(m_keyName);
}

LockKey::~LockKey() {
    pressKeys(m_keyName);
}

bool LockKey::isOn() const {
    return (OtherKeyboardClient().modifierState() & m_modifier) != 0;
}

}  // namespace framlet::test
