#include "app/TrayWords.h"

namespace framlet {

TrayWords::TrayWords(QObject* parent) : QObject(parent) {
}

QString TrayWords::titleFor(int unseen) {
    return unseen > 0 ? QStringLiteral("Framlet: ") + textFor(unseen) : QStringLiteral("Framlet");
}

QString TrayWords::textFor(int unseen) {
    if (unseen <= 0) {
        return QStringLiteral("No new screenshots");
    }
    return unseen == 1 ? QStringLiteral("1 new screenshot")
                       : QStringLiteral("%1 new screenshots").arg(unseen);
}

void TrayWords::captureArrived() {
    setUnseen(m_unseen + 1);
}

void TrayWords::lanternEmptied() {
    setUnseen(0);
}

void TrayWords::setUnseen(int unseen) {
    if (unseen == m_unseen) {
        return;
    }
    m_unseen = unseen;
    Q_EMIT wordsChanged(title(), text());
}

}  // namespace framlet
