#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <optional>

namespace framlet {

// The custom shortcuts of GNOME's settings daemon (media-keys `custom-keybindings`): a list of
// paths, each naming an entry with a name, a command and a binding. Edits one entry of its own
// and never touches the others: the list is rewritten from the very text the settings hold, so
// every other entry keeps its place and its spelling, however odd. Works through the gsettings
// program, run with the environment handed in (the session's, or a private backend's).
class GnomeCustomShortcuts {
public:
    static inline const QString schema =
        QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");

    struct Entry {
        QString name;
        QString command;
        QString binding;  // GNOME's notation, "<Super><Shift>2"
    };

    explicit GnomeCustomShortcuts(
        QString path, QProcessEnvironment environment = QProcessEnvironment::systemEnvironment());

    // Whether this desktop keeps custom shortcuts: gsettings and the daemon's schemas exist.
    bool available() const;
    // Whether the list holds this entry's path; none when the list cannot be read.
    std::optional<bool> listed() const;
    // The entry's keys as the settings hold them.
    std::optional<Entry> entry() const;
    // Writes the entry, then adds its path to the end of the list when it is missing.
    bool write(const Entry& entry) const;
    // Takes the path out of the list and resets the entry's keys.
    bool remove() const;

    // The strings of a string array as gsettings prints it, each as the raw text of its literal
    // ("'a'", "\"it's\""); none when the text is no such array.
    static std::optional<QStringList> literals(const QString& printed);
    // The value of one literal, and a string written as a literal.
    static QString unquoted(const QString& literal);
    static QString quoted(const QString& value);

private:
    std::optional<QString> run(const QStringList& arguments) const;
    std::optional<QStringList> listLiterals() const;
    bool setList(const QStringList& literals) const;
    QString entrySchema() const;

    QString m_path;
    QProcessEnvironment m_environment;
};

}  // namespace framlet
