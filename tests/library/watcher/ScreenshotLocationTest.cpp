#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <functional>
#include <utility>

#include "FileBytes.h"
#include "TemporaryHome.h"
#include "WatcherTestSupport.h"
#include "library/watcher/ScreenshotLocation.h"
#include "platform/GettextCatalog.h"
#include "platform/ScreenshotPreferences.h"
#include "platform/UserDefaults.h"
#include "preferences/Settings.h"

using namespace framlet;

namespace {

// A compiled gettext catalogue with the given messages, little-endian, originals sorted.
void writeCatalogue(const QString& path, QList<std::pair<QByteArray, QByteArray>> messages) {
    std::sort(messages.begin(), messages.end());
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
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
    ASSERT_TRUE(test::put(path, bytes));
}

class ScreenshotLocationTest : public ::testing::Test {
protected:
    QString home() const { return m_home.path(); }
    QString make(const QString& relative) {
        QDir().mkpath(home() + u'/' + relative);
        return home() + u'/' + relative;
    }
    void write(const QString& relative, const QByteArray& text) {
        ASSERT_TRUE(test::put(home() + u'/' + relative, text));
    }
    // A fresh account as xdg-user-dirs leaves it: Pictures named in user-dirs.dirs, or, when
    // that folder is missing, the home folder in its place.
    void setPicturesFolder(bool exists) {
        if (exists) {
            make("Pictures");
        } else {
            QDir(home() + "/Pictures").removeRecursively();
        }
        write(".config/user-dirs.dirs",
              "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
              "XDG_PICTURES_DIR=\"$HOME/" +
                  QByteArray(exists ? "Pictures" : "") + "\"\n");
    }
    ScreenshotPreferences::Environment environment(const QString& desktop) const {
        const QString config = home() + "/.config";
        return {desktop,
                home(),
                config,
                ScreenshotPreferences::picturesFromUserDirs(config + "/user-dirs.dirs", home()),
                home() + "/locale",
                {"de_DE", "de"},
                QString(),
                installed};
    }
    std::optional<QString> location(const ScreenshotPreferences::Environment& environment) const {
        return ScreenshotPreferences(environment).location();
    }
    std::optional<QString> location(const QString& desktop) const {
        return location(environment(desktop));
    }
    std::optional<ScreenshotPreferences::Choice> choice(const QString& desktop) const {
        return ScreenshotPreferences(environment(desktop)).choice();
    }
    // Runs the checks on an account without a Pictures folder, where `expected(home)` is due,
    // then on one with it.
    void withAndWithoutPictures(const std::function<void(const QString& expected)>& check) {
        setPicturesFolder(false);
        {
            SCOPED_TRACE("without a Pictures folder");
            check(home());
        }
        setPicturesFolder(true);
        SCOPED_TRACE("with a Pictures folder");
        check(home() + "/Pictures");
    }
    // A stand-in for gsettings that prints a fixed answer and exits with a fixed code.
    QString fakeGsettings(const QByteArray& output, int exitCode) {
        const QString path = home() + "/bin/gsettings";
        write("bin/gsettings",
              "#!/bin/sh\n[ \"$2 $3\" = 'org.gnome.gnome-screenshot auto-save-directory' ] || "
              "exit 3\nprintf '%s\\n' \"" +
                  output + "\"\nexit " + QByteArray::number(exitCode) + "\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    test::TemporaryHome m_home;
    QStringList installed = {"spectacle", "xfce4-screenshooter", "flameshot"};
};

TEST_F(ScreenshotLocationTest, KdeReadsSpectacleAndDefaultsToPictures) {
    // Spectacle makes its default folder when it saves: a missing one is waited for.
    EXPECT_EQ(location("KDE"), home() + "/Pictures");
    const QString pictures = make("Pictures");
    EXPECT_EQ(location("KDE"), pictures);

    const QString shots = make("My Shots");
    write(".config/spectaclerc",
          "[General]\ndefaultSaveLocation=file:///elsewhere\n[Save]\n"
          "defaultSaveLocation=file://" +
              QFile::encodeName(home()) + "/My%20Shots/\n");
    EXPECT_EQ(location("KDE"), shots);

    write(".config/spectaclerc", "[Save]\ndefaultSaveLocation[$e]=$HOME/My Shots\n");
    EXPECT_EQ(location("KDE"), shots);

    // A setting that names a missing folder or a plain file is passed over.
    write(".config/spectaclerc", "[Save]\ndefaultSaveLocation=file:///nowhere/\n");
    EXPECT_EQ(location("KDE"), pictures);
    write("file.png", "x");
    write(".config/spectaclerc", "[Save]\ndefaultSaveLocation=~/file.png\n");
    EXPECT_EQ(location("KDE"), pictures);
}

TEST_F(ScreenshotLocationTest, GnomePrefersTheTranslatedShellFolderThenTheUntranslatedOne) {
    writeCatalogue(home() + "/locale/de/LC_MESSAGES/gnome-shell.mo",
                   {{"", "Content-Type: text/plain; charset=UTF-8\n"},
                    {"Screenshots", "Bildschirmfotos"},
                    {"Screencasts", "Bildschirmaufzeichnungen"}});
    ScreenshotPreferences preferences(environment("ubuntu:GNOME"));
    EXPECT_EQ(preferences.gnomeShellFolderName(), "Bildschirmfotos");

    // On a fresh account neither exists: the Shell's folder is still the place, to be waited for.
    EXPECT_EQ(location("ubuntu:GNOME"), home() + "/Pictures/Bildschirmfotos");
    const QString untranslated = make("Pictures/Screenshots");
    EXPECT_EQ(location("ubuntu:GNOME"), untranslated);
    const QString translated = make("Pictures/Bildschirmfotos");
    EXPECT_EQ(location("ubuntu:GNOME"), translated);

    auto english = environment("GNOME");
    english.languages = {"en"};
    EXPECT_EQ(location(english), untranslated);
}

TEST_F(ScreenshotLocationTest, GnomeScreenshotSettingIsReadThroughGsettingsWhenPresent) {
    const QString chosen = make("It's here");
    auto gnome = environment("GNOME");
    gnome.gsettings = fakeGsettings("'file://" + QFile::encodeName(home()) + "/It\\'s%20here'", 0);
    EXPECT_EQ(location(gnome), chosen);

    // Without a setting that names a folder, the Shell's folder is awaited.
    const QString shellFolder = home() + "/Pictures/Screenshots";
    gnome.languages = {"en"};
    gnome.gsettings = fakeGsettings("''", 0);
    EXPECT_EQ(location(gnome), shellFolder);
    gnome.gsettings = fakeGsettings("No such schema", 1);
    EXPECT_EQ(location(gnome), shellFolder);
    gnome.gsettings = home() + "/bin/not-installed";
    EXPECT_EQ(location(gnome), shellFolder);
}

// GNOME Screenshot saves into Pictures, beside every other picture: only its own names count.
TEST_F(ScreenshotLocationTest, GnomeScreenshotsOwnFolderIsASecondFolderForItsNamesOnly) {
    writeCatalogue(home() + "/locale/de/LC_MESSAGES/gnome-screenshot.mo",
                   {{"", "Content-Type: text/plain; charset=UTF-8\n"},
                    {"Screenshot from %s.%s", "Bildschirmfoto vom %s.%s"},
                    {"Screenshot from %s - %d.%s", "Bildschirmfoto vom %s - %d.%s"}});
    installed.append("gnome-screenshot");
    EXPECT_FALSE(ScreenshotPreferences(environment("KDE")).secondFolder());
    withAndWithoutPictures([&](const QString& expected) {
        const auto second = ScreenshotPreferences(environment("GNOME")).secondFolder();
        ASSERT_TRUE(second);
        EXPECT_EQ(second->folder, expected);
        const QRegularExpression names(second->namePattern);
        for (const char* name : {"Screenshot from 2026-12-07 10-11-12.png",
                                 "Screenshot from 2026-12-07 10-11-12 - 2.png",
                                 "Bildschirmfoto vom 2026-12-07 10-11-12.jpg"}) {
            EXPECT_TRUE(names.match(QString::fromUtf8(name)).hasMatch()) << name;
        }
        for (const char* name : {"holiday.png", "Screenshot from yesterday.png",
                                 "Screenshot from 2026-12-07 10-11-12.png.txt",
                                 "x Screenshot from 2026-12-07 10-11-12.png"}) {
            EXPECT_FALSE(names.match(QString::fromUtf8(name)).hasMatch()) << name;
        }
    });
    auto gnome = environment("GNOME");
    const QString chosen = make("Shots");
    gnome.gsettings = fakeGsettings("'" + QFile::encodeName(chosen) + "'", 0);
    EXPECT_EQ(ScreenshotPreferences(gnome).secondFolder()->folder, chosen);
    installed.removeLast();
    EXPECT_FALSE(ScreenshotPreferences(environment("GNOME")).secondFolder());
}

TEST_F(ScreenshotLocationTest, XfceScreenshooterAsItWritesItsSettings) {
    const QString file = ".config/xfce4/xfce4-screenshooter";
    const QString shots = make("Xfce Shots");
    withAndWithoutPictures([&](const QString& fallback) {
        QFile::remove(home() + u'/' + file);
        EXPECT_EQ(location("XFCE"), fallback);  // never run yet
        EXPECT_EQ(choice("XFCE")->setting, "no settings file");

        // After a save into a folder the tool writes "file:" and one slash, without a group.
        write(file, "app=none\nlast_user=\nscreenshot_dir=file:" + QFile::encodeName(home()) +
                        "/Xfce%20Shots\nenable_imgur_upload=true\naction=1\n\n");
        EXPECT_EQ(location("XFCE"), shots);
        write(file, "screenshot_dir=file://" + QFile::encodeName(home()) + "/Xfce%20Shots\n");
        EXPECT_EQ(location("XFCE"), shots);

        // After "-s FILE" it keeps the file: its next run warns and saves to its default.
        write("Xfce Shots/shot.png", "png");
        write(file,
              "screenshot_dir=file://" + QFile::encodeName(home()) + "/Xfce%20Shots/shot.png\n");
        EXPECT_EQ(location("XFCE"), fallback);
        // A path that is not a URI, a missing folder, an empty value, no such key.
        for (const QByteArray& text : {"screenshot_dir=" + QFile::encodeName(shots) + "\n",
                                       QByteArray("screenshot_dir=file:///nowhere\n"),
                                       QByteArray("screenshot_dir=\n"), QByteArray("action=1\n")}) {
            write(file, text);
            EXPECT_EQ(location("XFCE"), fallback) << text.constData();
        }
        // The tool reads only the keys before any group.
        write(file, "[Screenshooter]\nscreenshot_dir=file://" + QFile::encodeName(shots) + "\n");
        EXPECT_EQ(location("XFCE"), fallback);
    });
}

TEST_F(ScreenshotLocationTest, FlameshotAsItWritesItsSettings) {
    const QString file = ".config/flameshot/flameshot.ini";
    const QString shots = make("Grüße");
    withAndWithoutPictures([&](const QString& fallback) {
        // It leaves the file empty until the save path is changed in its settings.
        write(file, "");
        EXPECT_EQ(location("i3"), fallback);
        EXPECT_EQ(choice("i3")->setting, "savePath not set");

        // Non-ASCII as Qt 5 escapes it, a hex digit after an escape escaped too.
        write(file, "[General]\ncontrastOpacity=188\nsavePath=" + QFile::encodeName(home()) +
                        "/Gr\\xfc\\xdf\\x65\nsavePathFixed=false\n");
        EXPECT_EQ(location("i3"), shots);
        const auto chosen = choice("i3");
        EXPECT_EQ(chosen->tool, "flameshot");
        EXPECT_EQ(chosen->setting, QStringLiteral("savePath=\"%1\"").arg(shots));

        // A file, a missing folder, and "~", which Flameshot does not expand: its default.
        write("Grüße/shot.png", "png");
        for (const QByteArray& path : {QFile::encodeName(shots) + "/shot.png",
                                       QByteArray("/nowhere"), QByteArray("~/Grüße")}) {
            write(file, "[General]\nsavePath=" + path + "\n");
            EXPECT_EQ(location("i3"), fallback) << path.constData();
        }
        write(file, "\x01\xff[[[\n=\n");  // damaged: read as far as it goes
        EXPECT_EQ(location("i3"), fallback);
    });
}

TEST_F(ScreenshotLocationTest, SettingsThatAreNoRegularFileAreNeitherWaitedForNorRead) {
    setPicturesFolder(true);
    // A FIFO never answers a reader without a writer; /dev/zero never ends.
    const QString config = home() + "/.config/";
    QDir().mkpath(config + "flameshot");
    QDir().mkpath(config + "xfce4");
    for (const char* name : {"flameshot/flameshot.ini", "spectaclerc"}) {
        ASSERT_EQ(::mkfifo(QFile::encodeName(config + QLatin1String(name)).constData(), 0600), 0);
    }
    for (const char* name : {"xfce4/xfce4-screenshooter", "dirs"}) {
        ASSERT_TRUE(QFile::link("/dev/zero", config + QLatin1String(name)));
    }
    for (const QString desktop : {"KDE", "XFCE"}) {
        EXPECT_EQ(location(desktop), home() + "/Pictures") << desktop.toStdString();
    }
    EXPECT_EQ(ScreenshotPreferences::picturesFromUserDirs(config + "dirs", home()), QString());
}

TEST_F(ScreenshotLocationTest, TheDesktopsOwnToolComesFirstThenFlameshot) {
    setPicturesFolder(true);
    const QString pictures = home() + "/Pictures";
    const QString xfce = make("Xfce");
    const QString flame = make("Flame");
    // Only the desktop's tool is set up, or neither: the desktop's tool.
    EXPECT_EQ(choice("XFCE")->tool, "xfce4-screenshooter");
    write(".config/flameshot/flameshot.ini",
          "[General]\nsavePath=" + QFile::encodeName(flame) + "\n");
    // A folder set in Flameshot beats the desktop's tool at its default...
    EXPECT_EQ(location("XFCE"), flame);
    EXPECT_EQ(location("KDE"), flame);
    // ...but not a folder set in the desktop's tool.
    write(".config/xfce4/xfce4-screenshooter",
          "screenshot_dir=" + QUrl::fromLocalFile(xfce).toEncoded() + "\n");
    EXPECT_EQ(location("XFCE"), xfce);
    EXPECT_EQ(location("X-Cinnamon"), flame);  // another desktop's tool is not read

    // Elsewhere Flameshot counts when its settings file exists or it is the only tool there.
    QFile::remove(home() + "/.config/flameshot/flameshot.ini");
    EXPECT_EQ(choice("i3"), std::nullopt);
    installed = {"flameshot"};
    EXPECT_EQ(location("i3"), pictures);
    // On Xfce without its screenshooter, Flameshot is the tool.
    QFile::remove(home() + "/.config/xfce4/xfce4-screenshooter");
    EXPECT_EQ(choice("XFCE")->tool, "flameshot");
    installed = {};
    EXPECT_EQ(choice("XFCE"), std::nullopt);
}

TEST_F(ScreenshotLocationTest, PicturesFolderAsUserDirsNamesIt) {
    const QString file = home() + "/dirs";
    const auto pictures = [&](const QByteArray& text) {
        test::writeFile(file, text);
        return ScreenshotPreferences::picturesFromUserDirs(file, home());
    };
    EXPECT_EQ(pictures("XDG_PICTURES_DIR=\"$HOME/Bilder\"\n"), home() + "/Bilder");
    EXPECT_EQ(pictures("XDG_PICTURES_DIR=\"$HOME/\"\n"), home());
    EXPECT_EQ(pictures("XDG_PICTURES_DIR=\"/srv/pics/\"\n"), "/srv/pics");
    EXPECT_EQ(pictures("# XDG_PICTURES_DIR=\"/x\"\nXDG_VIDEOS_DIR=\"/v\"\n"), QString());
    EXPECT_EQ(pictures("XDG_PICTURES_DIR=\"relative\"\n"), QString());
    EXPECT_EQ(ScreenshotPreferences::picturesFromUserDirs(home() + "/none", home()), QString());
}

TEST_F(ScreenshotLocationTest, WithoutAnyToolTheDesktopFolderIsUsedEvenIfMissing) {
    qunsetenv("XDG_CURRENT_DESKTOP");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(make("empty-bin")));  // no tool installed
    EXPECT_EQ(ScreenshotLocation::current(), QUrl::fromLocalFile(home() + "/Desktop"));
    const QString flameshot = make("Flame");
    write(".config/flameshot/flameshot.ini",
          "[General]\nsavePath=" + QFile::encodeName(flameshot) + "\n");
    EXPECT_EQ(ScreenshotLocation::current(), QUrl::fromLocalFile(flameshot));
    qputenv("PATH", path);
}

TEST_F(ScreenshotLocationTest, ResolvedFoldersExpandTheConfiguredListOrFallBackToTheLocation) {
    qunsetenv("XDG_CURRENT_DESKTOP");
    UserDefaults defaults(home() + "/defaults.json");
    Settings settings(defaults);
    EXPECT_EQ(ScreenshotLocation::resolvedFolders(settings),
              QList<QUrl>{ScreenshotLocation::current()});

    settings.setWatchedFolders({"~/Shots", "/data/more/", "~"});
    EXPECT_EQ(ScreenshotLocation::resolvedFolders(settings),
              QList<QUrl>({QUrl::fromLocalFile(home() + "/Shots"),
                           QUrl::fromLocalFile("/data/more"), QUrl::fromLocalFile(home())}));
}

TEST(GettextCatalog, LanguagesFollowGettextsOrder) {
    EXPECT_EQ(GettextCatalog::languagesFrom(QString(), "pt_BR.UTF-8"),
              QStringList({"pt_BR", "pt"}));
    EXPECT_EQ(GettextCatalog::languagesFrom("sr@latin:fr", "de_DE.UTF-8"),
              QStringList({"sr@latin", "sr", "fr"}));
    // The C locale switches translations off, whatever LANGUAGE says.
    EXPECT_TRUE(GettextCatalog::languagesFrom("de", "C.UTF-8").isEmpty());
}

TEST(GettextCatalog, DamagedOrTruncatedCataloguesYieldNothing) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/fr/LC_MESSAGES/gnome-shell.mo";
    writeCatalogue(path, {{"Screenshots", "Captures d’écran"}});
    EXPECT_EQ(GettextCatalog::lookUp(path, "Screenshots"), "Captures d’écran");
    EXPECT_EQ(GettextCatalog::lookUp(path, "Screencasts"), std::nullopt);

    ASSERT_TRUE(QFile::resize(path, QFileInfo(path).size() - 10));  // the translation cut off
    EXPECT_EQ(GettextCatalog::lookUp(path, "Screenshots"), std::nullopt);
    test::writeFile(path, QByteArray(64, '\xff'));
    EXPECT_EQ(GettextCatalog::lookUp(path, "Screenshots"), std::nullopt);
    EXPECT_EQ(GettextCatalog::translate(dir.path(), "gnome-shell", {"fr"}, "Screenshots"),
              std::nullopt);
}

}  // namespace
