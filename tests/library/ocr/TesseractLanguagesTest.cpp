#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <optional>

#include "FileBytes.h"
#include "library/ocr/TesseractLanguages.h"

using namespace framlet;

namespace {

// Sets (or unsets) an environment variable for the lifetime of the object.
class ScopedVariable {
public:
    ScopedVariable(const char* name, std::optional<QByteArray> value) : m_name(name) {
        if (qEnvironmentVariableIsSet(name)) {
            m_saved = qgetenv(name);
        }
        value ? qputenv(name, *value) : qunsetenv(name);
    }
    ~ScopedVariable() { m_saved ? qputenv(m_name, *m_saved) : qunsetenv(m_name); }

private:
    const char* m_name;
    std::optional<QByteArray> m_saved;
};

void install(const QTemporaryDir& dataPath, const QString& model) {
    ASSERT_TRUE(test::put(dataPath.filePath(model + ".traineddata"), {}));
}

TEST(TesseractLanguages, LocaleNamesMapToModelNames) {
    EXPECT_EQ(TesseractLanguages::modelForLocale("de_DE.UTF-8"), "deu");
    EXPECT_EQ(TesseractLanguages::modelForLocale("fr_CA"), "fra");
    EXPECT_EQ(TesseractLanguages::modelForLocale("pt_BR.UTF-8"), "por");
    EXPECT_EQ(TesseractLanguages::modelForLocale("ca_ES.UTF-8@valencia"), "cat");
    EXPECT_EQ(TesseractLanguages::modelForLocale("sr_RS@latin"), "srp");
    EXPECT_EQ(TesseractLanguages::modelForLocale("nb_NO.UTF-8"), "nor");
    EXPECT_EQ(TesseractLanguages::modelForLocale("zh_CN.UTF-8"), "chi_sim");
    EXPECT_EQ(TesseractLanguages::modelForLocale("zh_TW.UTF-8"), "chi_tra");
    EXPECT_EQ(TesseractLanguages::modelForLocale("DE_de"), "deu");
    for (const char* none : {"C", "C.UTF-8", "POSIX", "", "xx_YY", "_DE"}) {
        EXPECT_EQ(TesseractLanguages::modelForLocale(none), QString()) << none;
    }
}

TEST(TesseractLanguages, TheLocaleLanguageIsUsedOnlyWhenInstalled) {
    QTemporaryDir dataPath;
    install(dataPath, "eng");
    EXPECT_EQ(TesseractLanguages::forLocale("de_DE.UTF-8", dataPath.path()), "eng");
    install(dataPath, "deu");
    EXPECT_EQ(TesseractLanguages::forLocale("de_DE.UTF-8", dataPath.path()), "deu+eng");
    EXPECT_EQ(TesseractLanguages::forLocale("en_GB.UTF-8", dataPath.path()), "eng");
    EXPECT_EQ(TesseractLanguages::forLocale("C.UTF-8", dataPath.path()), "eng");
    EXPECT_EQ(TesseractLanguages::forLocale("de_DE", dataPath.path() + "/gone"), "eng");
}

TEST(TesseractLanguages, LcAllWinsOverLcMessagesOverLang) {
    ScopedVariable all("LC_ALL", std::nullopt);
    ScopedVariable messages("LC_MESSAGES", std::nullopt);
    ScopedVariable lang("LANG", QByteArray("fr_FR.UTF-8"));
    EXPECT_EQ(TesseractLanguages::localeFromEnvironment(), "fr_FR.UTF-8");
    {
        ScopedVariable set("LC_MESSAGES", QByteArray("de_AT.UTF-8"));
        EXPECT_EQ(TesseractLanguages::localeFromEnvironment(), "de_AT.UTF-8");
        ScopedVariable setAll("LC_ALL", QByteArray("it_IT.UTF-8"));
        EXPECT_EQ(TesseractLanguages::localeFromEnvironment(), "it_IT.UTF-8");
    }
    ScopedVariable emptyAll("LC_ALL", QByteArray());  // empty means unset
    EXPECT_EQ(TesseractLanguages::localeFromEnvironment(), "fr_FR.UTF-8");
}

}  // namespace
