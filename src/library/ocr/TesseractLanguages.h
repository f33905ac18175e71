#pragma once

#include <QString>

namespace framlet {

// Which Tesseract models to load: the language of the user's locale when its model is installed,
// and English, the language of most program interfaces, in every case.
class TesseractLanguages {
public:
    // Debian's location for Tesseract 5 models, or TESSDATA_PREFIX when set.
    static QString defaultDataPath();

    // The locale that names the user's language: LC_ALL, then LC_MESSAGES, then LANG.
    static QString localeFromEnvironment();

    // "deu+eng" for "de_DE.UTF-8" when deu.traineddata is in dataPath; "eng" otherwise.
    static QString forLocale(const QString& localeName, const QString& dataPath);

    // The Tesseract model name for a POSIX locale name ("pt_BR.UTF-8" -> "por"); empty when
    // there is none.
    static QString modelForLocale(const QString& localeName);
};

}  // namespace framlet
