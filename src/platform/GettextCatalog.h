#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace framlet {

// Looks up a message in another program's compiled gettext catalogue (.mo), the way that program
// would see it in the user's language, without changing this process's locale.
class GettextCatalog {
public:
    // The languages to try, most preferred first, from LANGUAGE, LC_ALL, LC_MESSAGES and LANG,
    // each also without its codeset, territory and modifier ("pt_BR.UTF-8" -> "pt_BR", "pt").
    static QStringList preferredLanguages();
    static QStringList languagesFrom(const QString& language, const QString& locale);

    // The translation of msgid from <localeFolder>/<language>/LC_MESSAGES/<domain>.mo for the
    // first language whose catalogue has it.
    static std::optional<QString> translate(const QString& localeFolder, const QString& domain,
                                            const QStringList& languages, const QByteArray& msgid);

    // The translation of msgid in one .mo file; none when the file is unreadable, damaged or
    // lacks the message.
    static std::optional<QString> lookUp(const QString& moFile, const QByteArray& msgid);
};

}  // namespace framlet
