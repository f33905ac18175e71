#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "FileBytes.h"
#include "SigningKey.h"
#include "fuzz/FeedInput.h"
#include "updates/Appcast.h"
#include "updates/ReleaseNotes.h"
#include "updates/Version.h"

namespace framlet {
namespace {

using test::feed;
using test::feedItem;

std::optional<Version> v(const char* text) {
    return Version::parse(QString::fromLatin1(text));
}

TEST(VersionTest, ComparesAsDottedNumbersWithAPreReleaseTail) {
    EXPECT_GT(*v("1.10"), *v("1.9"));  // never as floating point
    EXPECT_GT(*v("1.2.10"), *v("1.2.9"));
    EXPECT_EQ(*v("1.0"), *v("1.0.0"));
    EXPECT_EQ(*v("v2.01"), *v("2.1"));
    EXPECT_GT(*v("2.0"), *v("2.0-beta.2"));
    EXPECT_GT(*v("2.0-beta.10"), *v("2.0-beta.9"));
    EXPECT_GT(*v("2.0b2"), *v("2.0a9"));
    EXPECT_GT(*v("2.0-beta"), *v("1.99"));
    EXPECT_GT(*v("123456789012345678901234567890"), *v("99999999999999999999"));
    EXPECT_FALSE(v(""));
    EXPECT_FALSE(v("beta"));
    EXPECT_FALSE(v(".1"));
}

AppcastItem item(const char* version, const char* channel = "") {
    AppcastItem result;
    result.version = QString::fromLatin1(version);
    result.channel = QString::fromLatin1(channel);
    return result;
}

TEST(AppcastTest, ReadsItemsAndLeavesOutThoseItCannotInstall) {
    const QUrl url("https://example.org/Framlet-2.0.AppImage");
    const QByteArray text =
        feed(feedItem("2.0", url, 1234, "c2ln", "beta", "<p>New <b>shelf</b></p>") +
             feedItem("2.1", url, 1234, "") +    // unsigned
             feedItem("2.2", url, 0, "c2ln") +   // no length
             feedItem("x", url, 1234, "c2ln"));  // no version
    const auto parsed = Appcast::parse(text);
    ASSERT_TRUE(std::holds_alternative<QList<AppcastItem>>(parsed));
    const auto items = std::get<QList<AppcastItem>>(parsed);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].version, u"2.0");
    EXPECT_EQ(items[0].channel, u"beta");
    EXPECT_EQ(items[0].url, url);
    EXPECT_EQ(items[0].length, 1234);
    EXPECT_EQ(items[0].edSignature, "c2ln");
    EXPECT_EQ(items[0].releaseNotes, u"<p>New <b>shelf</b></p>");
}

TEST(AppcastTest, RefusesWhatIsNoFeed) {
    for (const QByteArray& text :
         {QByteArray("<rss><channel><item>"), QByteArray("<html><body/></html>"), QByteArray(""),
          QByteArray("<!DOCTYPE rss [<!ENTITY a \"aaaa\">]><rss>&a;</rss>")}) {
        EXPECT_TRUE(std::holds_alternative<QString>(Appcast::parse(text))) << text.constData();
    }
}

// Nesting costs the reader no stack: a feed of 60,000 levels, far under the size cap, is read
// whole, and one left open is an error.
TEST(AppcastTest, ReadsNotesNestedAsDeepAsTheSizeCapAllows) {
    const QUrl url("https://example.org/Framlet-2.0.AppImage");
    const QByteArray open = QByteArray("<i>").repeated(60000);
    const QByteArray close = QByteArray("</i>").repeated(60000);
    const QByteArray item = feed(feedItem("2.0", url, 5, "c2ln"));
    const auto notesAt = item.indexOf("<![CDATA[Fixes.]]>");
    const QByteArray text = item.left(notesAt) + open + "deep" + close + item.mid(notesAt + 18);
    ASSERT_LT(text.size(), 1024 * 1024);
    const auto parsed = Appcast::parse(text);
    ASSERT_TRUE(std::holds_alternative<QList<AppcastItem>>(parsed));
    EXPECT_EQ(std::get<QList<AppcastItem>>(parsed).value(0).releaseNotes, u"deep");
    const QByteArray unclosed = item.left(notesAt) + open;
    EXPECT_TRUE(std::holds_alternative<QString>(Appcast::parse(unclosed)));
}

// The fuzzer's seeds are feeds as releases publish them: every one must be read whole.
TEST(AppcastTest, ReadsEverySeedOfTheFuzzer) {
    const QDir corpus(QStringLiteral(FRAMLET_SOURCE_DIR "/tests/updates/fuzz/corpus"));
    const QStringList seeds = corpus.entryList(QDir::Files);
    ASSERT_FALSE(seeds.isEmpty());
    for (const QString& seed : seeds) {
        const QByteArray bytes = test::contents(corpus.filePath(seed));
        const auto items = test::exerciseFeed(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                              static_cast<size_t>(bytes.size()));
        EXPECT_EQ(items.size(), bytes.count("<item>")) << seed.toStdString();
    }
}

TEST(AppcastTest, PicksTheNewestItemOfTheAllowedChannels) {
    const QList<AppcastItem> items{item("1.9"), item("1.10"), item("3.0", "beta"),
                                   item("2.5", "nightly")};
    EXPECT_EQ(Appcast::newest(items, "1.2", {})->version, u"1.10");
    EXPECT_EQ(Appcast::newest(items, "1.2", {"beta"})->version, u"3.0");
    EXPECT_FALSE(Appcast::newest(items, "1.10", {}));
    EXPECT_FALSE(Appcast::newest(items, "unknown", {}));
}

TEST(ReleaseNotesTest, KeepsTheTextAndDropsImagesAndScripts) {
    const QString notes = QStringLiteral(
        "<h2>What's new</h2><p>Faster <b>search</b><img src=\"https://tracker.example/p.png\">"
        "</p><script>steal()</script><style>body{background:url(https://x.example/b.png)}"
        "</style><p>Bye</p>");
    ASSERT_TRUE(ReleaseNotes::isRich(notes));
    EXPECT_FALSE(ReleaseNotes::isRich("Plain notes, 2 < 3."));
    const QString html = ReleaseNotes::sanitisedHtml(notes);
    EXPECT_TRUE(html.contains(u"search"));
    EXPECT_TRUE(html.contains(u"Bye"));
    EXPECT_FALSE(html.contains(u"tracker.example"));
    EXPECT_FALSE(html.contains(u"x.example"));
    EXPECT_FALSE(html.contains(u"steal"));
}

}  // namespace
}  // namespace framlet
