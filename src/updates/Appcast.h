#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QSet>
#include <QString>
#include <QUrl>
#include <optional>
#include <variant>

namespace framlet {

// One release offered by a feed.
struct AppcastItem {
    QString version;         // compared with the running version
    QString displayVersion;  // shown to the user; the version when the feed gives none
    QString channel;         // empty: the default channel
    QString releaseNotes;    // inline, plain text or rich text as the feed wrote it
    QUrl releaseNotesLink;
    QUrl url;                // the enclosure
    qint64 length = 0;       // its exact size in bytes
    QByteArray edSignature;  // base64 Ed25519 signature of the enclosure's bytes
};

// The update feed: RSS 2.0 whose items carry the release's version, channel, notes and enclosure
// in the `sparkle:` namespace.
namespace Appcast {

// The usable items of a feed, in feed order; an item without a version, an enclosure address,
// a positive length or a signature is left out. Text that is not such a feed (malformed XML, a
// document type declaration, another root) is an error with a readable description.
std::variant<QList<AppcastItem>, QString> parse(const QByteArray& feed);

// The newest item of an allowed channel (the default channel is always allowed) that is newer
// than the running version; none when nothing qualifies or the running version is unreadable.
std::optional<AppcastItem> newest(const QList<AppcastItem>& items, const QString& runningVersion,
                                  const QSet<QString>& allowedChannels);

}  // namespace Appcast
}  // namespace framlet

Q_DECLARE_METATYPE(framlet::AppcastItem)
