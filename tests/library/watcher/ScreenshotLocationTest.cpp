#include <gtest/gtest.h>

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <utility>

#include "GettextCatalog.h"
#include "ScreenshotPreferences.h"
#include "ScreenshotWatcher.h"
#include "Settings.h"
#include "TemporaryHome.h"
#include "UserDefaults.h"
#include "WatcherTestSupport.h"

using namespace framlet;

namespace {

// A compiled gettext catalogue with the given messages, little-endian, originals sorted.
void writeCatalogue(const QString& path, QList<std::pair<QByteArray, QByteArray>> messages) {
    std::sort(messages.begin(), messages.end());
    QDir().mkpath(path.left(path.lastIndexOf(u'/')));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 count = messages.size();
    const quint32 originals = 28;
    const quint32 translations = originals + 8 * count;
    quint32 offset = translations + 8 * count;
    out << quint32(0x950412de) << quint32(0) << count << originals << translations << quint32(0)
        << quint32(0);
    QByteArray strings;
    for (int table = 0; table < 2; ++table) {
        for (const auto& message : messages) {
            const QByteArray& text = table == 0 ? message.first : message.second;
            out << quint32(text.size()) << offset;
            strings += text + '\0';
            offset += text.size() + 1;
        }
    }
    out.writeRawData(strings.constData(), strings.size());
}

class ScreenshotLocation : public ::testing::Test {
protected:
    QString home() const { return m_home.path(); }
    QString make(const QString& relative) {
        QDir().mkpath(home() + u'/' + relative);
        return home() + u'/' + relative;
    }
    void write(const QString& relative, const QByteArray& text) {
        const QString path = home() + u'/' + relative;
        QDir().mkpath(path.left(path.lastIndexOf(u'/')));
        test::writeFile(path, text);
    }
    ScreenshotPreferences::Environment environment(const QString& desktop) const {
        return {desktop,
                home(),
                home() + QStringLiteral("/.config"),
                home() + QStringLiteral("/Pictures"),
                home() + QStringLiteral("/locale"),
                {QStringLiteral("de_DE"), QStringLiteral("de")},
                QString()};
    }
    std::optional<QString> location(const ScreenshotPreferences::Environment& environment) const {
        return ScreenshotPreferences(environment).location();
    }
    std::optional<QString> location(const QString& desktop) const {
        return location(environment(desktop));
    }
    // A stand-in for gsettings that prints a fixed answer and exits with a fixed code.
    QString fakeGsettings(const QByteArray& output, int exitCode) {
        const QString path = home() + QStringLiteral("/bin/gsettings");
        write(QStringLiteral("bin/gsettings"),
              "#!/bin/sh\n[ \"$2 $3\" = 'org.gnome.gnome-screenshot auto-save-directory' ] || "
              "exit 3\nprintf '%s\\n' \"" +
                  output + "\"\nexit " + QByteArray::number(exitCode) + "\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    test::TemporaryHome m_home;
};

TEST_F(ScreenshotLocation, KdeReadsSpectacleAndDefaultsToPictures) {
    EXPECT_EQ(location(QStringLiteral("KDE")), std::nullopt);  // no Pictures folder either
    const QString pictures = make(QStringLiteral("Pictures"));
    EXPECT_EQ(location(QStringLiteral("KDE")), pictures);

    const QString shots = make(QStringLiteral("My Shots"));
    write(QStringLiteral(".config/spectaclerc"),
          "[General]\ndefaultSaveLocation=file:///elsewhere\n[Save]\n"
          "defaultSaveLocation=file://" +
              QFile::encodeName(home()) + "/My%20Shots/\n");
    EXPECT_EQ(QDir::cleanPath(*location(QStringLiteral("KDE"))), shots);

    write(QStringLiteral(".config/spectaclerc"),
          "[Save]\ndefaultSaveLocation[$e]=$HOME/My Shots\n");
    EXPECT_EQ(location(QStringLiteral("KDE")), shots);

    // A setting that names a missing folder or a plain file is passed over.
    write(QStringLiteral(".config/spectaclerc"), "[Save]\ndefaultSaveLocation=file:///nowhere/\n");
    EXPECT_EQ(location(QStringLiteral("KDE")), pictures);
    write(QStringLiteral("file.png"), "x");
    write(QStringLiteral(".config/spectaclerc"), "[Save]\ndefaultSaveLocation=~/file.png\n");
    EXPECT_EQ(location(QStringLiteral("KDE")), pictures);
}

TEST_F(ScreenshotLocation, GnomePrefersTheTranslatedShellFolderThenTheUntranslatedOne) {
    writeCatalogue(home() + QStringLiteral("/locale/de/LC_MESSAGES/gnome-shell.mo"),
                   {{"", "Content-Type: text/plain; charset=UTF-8\n"},
                    {"Screenshots", "Bildschirmfotos"},
                    {"Screencasts", "Bildschirmaufzeichnungen"}});
    ScreenshotPreferences preferences(environment(QStringLiteral("ubuntu:GNOME")));
    EXPECT_EQ(preferences.gnomeShellFolderName(), QStringLiteral("Bildschirmfotos"));

    // On a fresh account neither exists: the Shell's folder is still the place, to be waited for.
    EXPECT_EQ(location(QStringLiteral("ubuntu:GNOME")),
              home() + QStringLiteral("/Pictures/Bildschirmfotos"));
    const QString untranslated = make(QStringLiteral("Pictures/Screenshots"));
    EXPECT_EQ(location(QStringLiteral("ubuntu:GNOME")), untranslated);
    const QString translated = make(QStringLiteral("Pictures/Bildschirmfotos"));
    EXPECT_EQ(location(QStringLiteral("ubuntu:GNOME")), translated);

    auto english = environment(QStringLiteral("GNOME"));
    english.languages = {QStringLiteral("en")};
    EXPECT_EQ(location(english), untranslated);
}

TEST_F(ScreenshotLocation, GnomeScreenshotSettingIsReadThroughGsettingsWhenPresent) {
    const QString chosen = make(QStringLiteral("It's here"));
    auto gnome = environment(QStringLiteral("GNOME"));
    gnome.gsettings = fakeGsettings("'file://" + QFile::encodeName(home()) + "/It\\'s%20here'", 0);
    EXPECT_EQ(location(gnome), chosen);

    // Without a setting that names a folder, the Shell's folder is awaited.
    const QString shellFolder = home() + QStringLiteral("/Pictures/Screenshots");
    gnome.languages = {QStringLiteral("en")};
    gnome.gsettings = fakeGsettings("''", 0);
    EXPECT_EQ(location(gnome), shellFolder);
    gnome.gsettings = fakeGsettings("No such schema", 1);
    EXPECT_EQ(location(gnome), shellFolder);
    gnome.gsettings = home() + QStringLiteral("/bin/not-installed");
    EXPECT_EQ(location(gnome), shellFolder);
}

TEST_F(ScreenshotLocation, XfceAndFlameshotSettingsAreRead) {
    const QString xfce = make(QStringLiteral("Xfce Shots"));
    write(
        QStringLiteral(".config/xfce4/xfce4-screenshooter"),
        "[Screenshooter]\nscreenshot_dir=file://" + QFile::encodeName(home()) + "/Xfce%20Shots\n");
    EXPECT_EQ(location(QStringLiteral("XFCE")), xfce);
    EXPECT_EQ(location(QStringLiteral("i3")), std::nullopt);

    const QString flameshot = make(QStringLiteral("Flame"));
    write(QStringLiteral(".config/flameshot/flameshot.ini"), "[General]\nsavePath=~/Flame\n");
    EXPECT_EQ(location(QStringLiteral("i3")), flameshot);
    EXPECT_EQ(location(QStringLiteral("XFCE")), xfce);      // the desktop's own tool comes first
    EXPECT_EQ(location(QStringLiteral("KDE")), flameshot);  // before Spectacle's default
}

TEST_F(ScreenshotLocation, WithoutAnyToolSettingTheDesktopFolderIsUsedEvenIfMissing) {
    qunsetenv("XDG_CURRENT_DESKTOP");
    EXPECT_EQ(ScreenshotWatcher::screenshotLocation(),
              QUrl::fromLocalFile(home() + QStringLiteral("/Desktop")));
    const QString flameshot = make(QStringLiteral("Flame"));
    write(QStringLiteral(".config/flameshot/flameshot.ini"),
          "[General]\nsavePath=" + QFile::encodeName(flameshot) + "\n");
    EXPECT_EQ(ScreenshotWatcher::screenshotLocation(), QUrl::fromLocalFile(flameshot));
}

TEST_F(ScreenshotLocation, ResolvedFoldersExpandTheConfiguredListOrFallBackToTheLocation) {
    qunsetenv("XDG_CURRENT_DESKTOP");
    UserDefaults defaults(home() + QStringLiteral("/defaults.json"));
    Settings settings(defaults);
    EXPECT_EQ(ScreenshotWatcher::resolvedFolders(settings),
              QList<QUrl>{ScreenshotWatcher::screenshotLocation()});

    settings.setWatchedFolders(
        {QStringLiteral("~/Shots"), QStringLiteral("/data/more/"), QStringLiteral("~")});
    EXPECT_EQ(ScreenshotWatcher::resolvedFolders(settings),
              QList<QUrl>({QUrl::fromLocalFile(home() + QStringLiteral("/Shots")),
                           QUrl::fromLocalFile(QStringLiteral("/data/more")),
                           QUrl::fromLocalFile(home())}));
}

TEST(GettextCatalog, LanguagesFollowGettextsOrder) {
    EXPECT_EQ(GettextCatalog::languagesFrom(QString(), QStringLiteral("pt_BR.UTF-8")),
              QStringList({"pt_BR", "pt"}));
    EXPECT_EQ(
        GettextCatalog::languagesFrom(QStringLiteral("sr@latin:fr"), QStringLiteral("de_DE.UTF-8")),
        QStringList({"sr@latin", "sr", "fr"}));
    // The C locale switches translations off, whatever LANGUAGE says.
    EXPECT_TRUE(
        GettextCatalog::languagesFrom(QStringLiteral("de"), QStringLiteral("C.UTF-8")).isEmpty());
}

TEST(GettextCatalog, DamagedOrTruncatedCataloguesYieldNothing) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/fr/LC_MESSAGES/gnome-shell.mo");
    writeCatalogue(path, {{"Screenshots", "Captures d’écran"}});
    EXPECT_EQ(GettextCatalog::lookUp(path, "Screenshots"), QStringLiteral("Captures d’écran"));
    EXPECT_EQ(GettextCatalog::lookUp(path, "Screencasts"), std::nullopt);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.resize(file.size() - 10));  // the translation's bytes are gone
    file.close();
    EXPECT_EQ(GettextCatalog::lookUp(path, "Screenshots"), std::nullopt);
    test::writeFile(path, QByteArray(64, '\xff'));
    EXPECT_EQ(GettextCatalog::lookUp(path, "Screenshots"), std::nullopt);
    EXPECT_EQ(GettextCatalog::translate(dir.path(), QStringLiteral("gnome-shell"),
                                        {QStringLiteral("fr")}, "Screenshots"),
              std::nullopt);
}

}  // namespace
