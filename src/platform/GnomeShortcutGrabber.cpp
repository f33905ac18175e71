#include "platform/GnomeShortcutGrabber.h"

#include <xkbcommon/xkbcommon.h>

#include <QFileInfo>
#include <QStandardPaths>
#include <utility>

#include "platform/DebugLog.h"
#include "platform/VirtualKeyMap.h"

namespace framlet {

QString GnomeShortcutGrabber::accelerator(std::uint32_t virtualKeyCode,
                                          std::uint32_t carbonModifiers) {
    const std::optional<std::uint32_t> keysym = VirtualKeyMap::keysym(virtualKeyCode);
    char name[64] = {};
    if (!keysym || xkb_keysym_get_name(*keysym, name, sizeof name) <= 0) {
        return {};
    }
    QString text;
    const std::pair<std::uint32_t, const char*> modifiers[] = {
        {VirtualKeyMap::commandKey, "<Super>"},
        {VirtualKeyMap::controlKey, "<Control>"},
        {VirtualKeyMap::optionKey, "<Alt>"},
        {VirtualKeyMap::shiftKey, "<Shift>"}};
    for (const auto& [bit, word] : modifiers) {
        if (carbonModifiers & bit) {
            text += QLatin1String(word);
        }
    }
    return text + QString::fromLatin1(name);
}

QString GnomeShortcutGrabber::toggleCommand(const QString& executable) {
    const QString found = QStandardPaths::findExecutable(QStringLiteral("framlet"));
    if (!found.isEmpty() &&
        QFileInfo(found).canonicalFilePath() == QFileInfo(executable).canonicalFilePath()) {
        return QStringLiteral("framlet --toggle");
    }
    // GNOME splits the command as a shell would.
    QString quoted = executable;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + QStringLiteral("' --toggle");
}

GnomeShortcutGrabber::GnomeShortcutGrabber(GnomeCustomShortcuts shortcuts, QString command,
                                           QObject* parent)
    : KeyGrabber(parent), m_shortcuts(std::move(shortcuts)), m_command(std::move(command)) {
}

KeyGrabber::Result GnomeShortcutGrabber::grab(std::uint32_t virtualKeyCode,
                                              std::uint32_t carbonModifiers,
                                              std::function<void()>) {
    m_accelerator = accelerator(virtualKeyCode, carbonModifiers);
    if (m_accelerator.isEmpty()) {
        return {unknownKeyCode};
    }
    if (!isAdded()) {
        return {commandNotBound};
    }
    const auto entry = m_shortcuts.entry();
    const bool current = entry && entry->binding == m_accelerator && entry->command == m_command;
    if (!current && !writeEntry()) {
        return {portalFailed};
    }
    return {grabbed, m_nextHandle++};
}

bool GnomeShortcutGrabber::isAdded() const {
    return m_shortcuts.listed().value_or(false);
}

bool GnomeShortcutGrabber::add() {
    if (m_accelerator.isEmpty() || !writeEntry()) {
        return false;
    }
    Q_EMIT routeChanged();
    return true;
}

bool GnomeShortcutGrabber::remove() {
    if (!m_shortcuts.remove()) {
        return false;
    }
    DebugLog::log(QStringLiteral("hotkey: removed the GNOME custom shortcut"));
    Q_EMIT routeChanged();
    return true;
}

bool GnomeShortcutGrabber::writeEntry() {
    const bool written = m_shortcuts.write({entryName, m_command, m_accelerator});
    DebugLog::log(written
                      ? QStringLiteral("hotkey: GNOME runs %1 on %2").arg(m_command, m_accelerator)
                      : QStringLiteral("hotkey: could not write the GNOME custom shortcut"));
    return written;
}

}  // namespace framlet
