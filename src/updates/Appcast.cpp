#include "updates/Appcast.h"

#include <QXmlStreamReader>

#include "updates/Version.h"

namespace framlet::Appcast {
namespace {

const QString kSparkle = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

bool isSparkle(const QXmlStreamReader& xml, QStringView name) {
    return xml.namespaceUri() == kSparkle && xml.name() == name;
}

void readEnclosure(const QXmlStreamReader& xml, AppcastItem& item) {
    const QXmlStreamAttributes attributes = xml.attributes();
    item.url = QUrl(attributes.value(QStringLiteral("url")).toString().trimmed(), QUrl::StrictMode);
    bool numeric = false;
    const qint64 length = attributes.value(QStringLiteral("length")).toLongLong(&numeric);
    item.length = numeric ? length : 0;
    item.edSignature =
        attributes.value(kSparkle, QStringLiteral("edSignature")).toLatin1().trimmed();
    // Older feeds put the versions on the enclosure.
    if (const auto version = attributes.value(kSparkle, QStringLiteral("version"));
        !version.isEmpty()) {
        item.version = version.toString().trimmed();
    }
    if (const auto shown = attributes.value(kSparkle, QStringLiteral("shortVersionString"));
        !shown.isEmpty()) {
        item.displayVersion = shown.toString().trimmed();
    }
}

// The text of the current element and of everything inside it. Read in a loop rather than by
// Qt's recursive reader: a feed may nest elements as deep as its size allows.
QString readAllText(QXmlStreamReader& xml) {
    QString text;
    for (qsizetype depth = 1; depth > 0 && !xml.atEnd();) {
        switch (xml.readNext()) {
            case QXmlStreamReader::StartElement:
                ++depth;
                break;
            case QXmlStreamReader::EndElement:
                --depth;
                break;
            case QXmlStreamReader::Characters:
            case QXmlStreamReader::EntityReference:
                text += xml.text();
                break;
            default:
                break;
        }
    }
    return text;
}

void readItemChild(QXmlStreamReader& xml, AppcastItem& item) {
    if (xml.namespaceUri().isEmpty() && xml.name() == u"enclosure") {
        readEnclosure(xml, item);
        xml.skipCurrentElement();
    } else if (xml.namespaceUri().isEmpty() && xml.name() == u"description") {
        item.releaseNotes = readAllText(xml).trimmed();
    } else if (isSparkle(xml, u"version")) {
        item.version = xml.readElementText().trimmed();
    } else if (isSparkle(xml, u"shortVersionString")) {
        item.displayVersion = xml.readElementText().trimmed();
    } else if (isSparkle(xml, u"channel")) {
        item.channel = xml.readElementText().trimmed();
    } else if (isSparkle(xml, u"releaseNotesLink")) {
        item.releaseNotesLink = QUrl(xml.readElementText().trimmed(), QUrl::StrictMode);
    } else {
        xml.skipCurrentElement();
    }
}

bool isUsable(const AppcastItem& item) {
    return Version::parse(item.version) && item.url.isValid() && !item.url.isRelative() &&
           item.length > 0 && !item.edSignature.isEmpty();
}

std::optional<AppcastItem> readItem(QXmlStreamReader& xml) {
    AppcastItem item;
    while (xml.readNextStartElement()) {
        readItemChild(xml, item);
    }
    if (item.displayVersion.isEmpty()) {
        item.displayVersion = item.version;
    }
    return isUsable(item) ? std::optional(item) : std::nullopt;
}

}  // namespace

std::variant<QList<AppcastItem>, QString> parse(const QByteArray& feed) {
    QXmlStreamReader xml(feed);
    QList<AppcastItem> items;
    bool sawRoot = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.tokenType() == QXmlStreamReader::DTD) {
            return QStringLiteral("the feed declares a document type, which is not accepted");
        }
        if (!xml.isStartElement()) {
            continue;
        }
        if (!sawRoot && xml.name() != u"rss") {
            return QStringLiteral("the feed is not an RSS document");
        }
        sawRoot = true;
        if (xml.name() == u"item" && xml.namespaceUri().isEmpty()) {
            if (auto item = readItem(xml)) {
                items.append(*item);
            }
        }
    }
    if (xml.hasError()) {
        return QStringLiteral("the feed is not well-formed XML (%1 at line %2)")
            .arg(xml.errorString())
            .arg(xml.lineNumber());
    }
    if (!sawRoot) {
        return QStringLiteral("the feed is empty");
    }
    return items;
}

std::optional<AppcastItem> newest(const QList<AppcastItem>& items, const QString& runningVersion,
                                  const QSet<QString>& allowedChannels) {
    const auto running = Version::parse(runningVersion);
    if (!running) {
        return std::nullopt;
    }
    std::optional<AppcastItem> best;
    std::optional<Version> bestVersion;
    for (const AppcastItem& item : items) {
        const auto version = Version::parse(item.version);
        const bool allowed = item.channel.isEmpty() || allowedChannels.contains(item.channel);
        if (allowed && version && *version > *running &&
            (!bestVersion || *version > *bestVersion)) {
            best = item;
            bestVersion = version;
        }
    }
    return best;
}

}  // namespace framlet::Appcast
