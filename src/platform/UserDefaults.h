#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <optional>

namespace framlet {

// A typed key-value store kept as one JSON object in a file, one member per key. Values are
// booleans, integers (qint64), doubles, strings and lists of values, and keep their type
// across a round trip (3 stays an integer, 3.0 stays a double).
//
// Every write re-reads the file under an advisory lock, changes one key and replaces the file
// atomically, so two processes writing the same file never lose each other's keys. A file that
// cannot be read or parsed reads as empty and is moved aside before the first write, so it is
// never overwritten blindly; what this object knew of it is written in its place. A file that
// only reads as damaged while another program rewrites it in place is waited for briefly first.
class UserDefaults {
public:
    // The program's own preferences: $XDG_CONFIG_HOME/Framlet/defaults.json.
    static UserDefaults& standard();
    // The file of another domain, beside the standard one: <domain>.json.
    static QString pathForDomain(const QString& domain);

    explicit UserDefaults(QString filePath);

    QString filePath() const { return m_path; }

    // The stored value, or an invalid QVariant when the key is absent. Reads the state of the
    // file as of construction or this object's last write.
    QVariant object(const QString& key) const { return m_values.value(key); }
    bool contains(const QString& key) const { return m_values.contains(key); }

    // Lenient readers: numbers, Booleans and numeric strings convert; anything else reads as
    // 0, 0.0, false or an empty string.
    qint64 integer(const QString& key) const;
    double real(const QString& key) const;
    bool boolean(const QString& key) const;
    QString string(const QString& key) const;

    // Each returns whether the change reached the file. One that did not still holds for this
    // object (the first such failure is logged) and is written along with the next change.
    bool set(const QString& key, const QVariant& value);
    bool remove(const QString& key);
    // Why the last change did not reach the file; empty when it did.
    QString writeFailure() const { return m_writeFailure; }

    // Reads the file again, for changes another process made; changes this object could not
    // write yet still stand. Whether any value changed. A file that cannot be read changes nothing.
    bool reload();

private:
    bool update(const QString& key, const QVariant* value);
    // An empty text when the file now holds every change; otherwise why not.
    QString write();
    static void apply(QVariantMap& values, const QString& key,
                      const std::optional<QVariant>& value);

    QString m_path;
    QVariantMap m_values;
    // Changes the file has not taken yet; no value means removed.
    QMap<QString, std::optional<QVariant>> m_unwritten;
    QString m_writeFailure;
    bool m_loggedWriteFailure = false;
};

}  // namespace framlet
