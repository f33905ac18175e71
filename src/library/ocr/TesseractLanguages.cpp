#include "library/ocr/TesseractLanguages.h"

#include <QFileInfo>
#include <QHash>

namespace framlet {
namespace {

const QString kEnglish = QStringLiteral("eng");

// ISO 639-1 codes of locales to the names of Tesseract's models (mostly ISO 639-3).
const QHash<QString, QString>& modelsByLanguage() {
    static const QHash<QString, QString> models{
        {"af", "afr"}, {"ar", "ara"},     {"be", "bel"}, {"bg", "bul"}, {"bn", "ben"},
        {"ca", "cat"}, {"cs", "ces"},     {"cy", "cym"}, {"da", "dan"}, {"de", "deu"},
        {"el", "ell"}, {"en", "eng"},     {"eo", "epo"}, {"es", "spa"}, {"et", "est"},
        {"eu", "eus"}, {"fa", "fas"},     {"fi", "fin"}, {"fr", "fra"}, {"ga", "gle"},
        {"gl", "glg"}, {"he", "heb"},     {"hi", "hin"}, {"hr", "hrv"}, {"hu", "hun"},
        {"id", "ind"}, {"is", "isl"},     {"it", "ita"}, {"ja", "jpn"}, {"ka", "kat"},
        {"kk", "kaz"}, {"ko", "kor"},     {"lt", "lit"}, {"lv", "lav"}, {"mk", "mkd"},
        {"ms", "msa"}, {"mt", "mlt"},     {"nb", "nor"}, {"nl", "nld"}, {"nn", "nor"},
        {"no", "nor"}, {"pl", "pol"},     {"pt", "por"}, {"ro", "ron"}, {"ru", "rus"},
        {"sk", "slk"}, {"sl", "slv"},     {"sq", "sqi"}, {"sr", "srp"}, {"sv", "swe"},
        {"ta", "tam"}, {"th", "tha"},     {"tr", "tur"}, {"uk", "ukr"}, {"ur", "urd"},
        {"vi", "vie"}, {"zh", "chi_sim"},
    };
    return models;
}

bool isInstalled(const QString& model, const QString& dataPath) {
    return QFileInfo(dataPath + QLatin1Char('/') + model + QStringLiteral(".traineddata")).isFile();
}

}  // namespace

QString TesseractLanguages::defaultDataPath() {
    const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX");
    return prefix.isEmpty() ? QStringLiteral("/usr/share/tesseract-ocr/5/tessdata") : prefix;
}

QString TesseractLanguages::localeFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty()) {
            return value;
        }
    }
    return {};
}

QString TesseractLanguages::modelForLocale(const QString& localeName) {
    // language[_territory][.codeset][@modifier]
    QString name = localeName.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    const QString language = name.section(QLatin1Char('_'), 0, 0).toLower();
    const QString territory = name.section(QLatin1Char('_'), 1, 1).toUpper();
    if (language == QLatin1String("zh")) {
        const bool traditional = territory == QLatin1String("TW") ||
                                 territory == QLatin1String("HK") ||
                                 territory == QLatin1String("MO");
        return traditional ? QStringLiteral("chi_tra") : QStringLiteral("chi_sim");
    }
    return modelsByLanguage().value(language);
}

QString TesseractLanguages::forLocale(const QString& localeName, const QString& dataPath) {
    const QString model = modelForLocale(localeName);
    if (model.isEmpty() || model == kEnglish || !isInstalled(model, dataPath)) {
        return kEnglish;
    }
    return model + QLatin1Char('+') + kEnglish;
}

}  // namespace framlet
