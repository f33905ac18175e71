#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

namespace framlet {

// Which contents of which file a text was recognised from, and by which recogniser: a row is
// valid only while all of these still hold.
struct TextKey {
    QString path;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    QString recognizer;
};

// The recognised text of screenshots, kept between launches so that a file is read only once.
// Every call may come from any thread. A cache that cannot be used answers nothing and keeps
// nothing, so callers never need to know.
class TextCache {
public:
    virtual ~TextCache() = default;

    // The text remembered for exactly this key, lower-cased; nothing when it must be read.
    virtual std::optional<QString> text(const TextKey& key) = 0;
    // Keeps the lower-cased text for the key, replacing whatever the path had.
    virtual void remember(const TextKey& key, const QString& text) = 0;
    // Paths whose file name or text holds the lower-cased query as one run of characters,
    // newest first, at most `limit`.
    virtual QStringList search(const QString& query, int limit) = 0;
    // Forgets the listed paths.
    virtual void forget(const QStringList& paths) = 0;
    // Forgets every path not listed.
    virtual void keepOnly(const QSet<QString>& paths) = 0;
    virtual void forgetAll() = 0;
};

}  // namespace framlet
