#pragma once

// Screenshot-like images with known text, and the word recall of recognised text against it.
// Shared by the benchmarks; header-only because every bench/*.cpp is a program of its own.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

namespace framlet::bench {

struct CorpusImage {
    QString imagePath;
    QString knownText;
};

// The distinct lower-cased words of a text: runs of two or more letters or digits.
inline QSet<QString> wordsOf(const QString& text) {
    static const QRegularExpression word(QStringLiteral("[\\p{L}\\p{N}]{2,}"));
    QSet<QString> words;
    auto matches = word.globalMatch(text.toLower());
    while (matches.hasNext()) {
        words.insert(matches.next().captured());
    }
    return words;
}

// The share of the known words found among the recognised ones; 1 when nothing was to be found.
inline double wordRecall(const QString& knownText, const QString& recognisedText) {
    const QSet<QString> known = wordsOf(knownText);
    if (known.isEmpty()) {
        return 1.0;
    }
    const QSet<QString> found = wordsOf(recognisedText);
    qsizetype hits = 0;
    for (const QString& word : known) {
        hits += found.contains(word) ? 1 : 0;
    }
    return double(hits) / double(known.size());
}

// Every image in the folder with a .txt of the same base name beside it, sorted by name.
inline QList<CorpusImage> loadCorpus(const QString& folder) {
    QList<CorpusImage> images;
    const QStringList filters{"*.png", "*.jpg", "*.jpeg", "*.bmp", "*.gif", "*.tif", "*.tiff"};
    const QDir dir(folder);
    for (const QFileInfo& info : dir.entryInfoList(filters, QDir::Files, QDir::Name)) {
        QFile known(dir.filePath(info.completeBaseName() + QStringLiteral(".txt")));
        if (known.open(QIODevice::ReadOnly)) {
            images.append({info.absoluteFilePath(), QString::fromUtf8(known.readAll())});
        }
    }
    return images;
}

// Draws interface-like screens and records every string it draws. Coordinates are in points of a
// 1920x1080 screen; a 4K screen draws the same layout at twice the density, as desktops do.
class ScreenPainter {
public:
    ScreenPainter(QImage& image, double scale, bool dark) : m_painter(&image), m_dark(dark) {
        m_painter.setRenderHint(QPainter::TextAntialiasing);
        m_painter.setRenderHint(QPainter::Antialiasing);
        m_painter.scale(scale, scale);
        m_painter.fillRect(QRectF(0, 0, image.width() / scale, image.height() / scale),
                           background());
    }

    // Desktops hint small interface text to the pixel grid; the default leaves that to
    // fontconfig.
    void setHinting(QFont::HintingPreference hinting) { m_hinting = hinting; }

    QColor background() const { return m_dark ? QColor(30, 30, 34) : QColor(246, 246, 246); }
    QColor foreground() const { return m_dark ? QColor(225, 225, 230) : QColor(30, 30, 30); }
    QColor panel() const { return m_dark ? QColor(44, 44, 50) : QColor(255, 255, 255); }

    void box(const QRectF& rect, const QColor& color) { m_painter.fillRect(rect, color); }

    void text(double x, double y, const QString& text, int pixelSize, bool bold = false,
              const QString& family = QStringLiteral("DejaVu Sans"), QColor color = {}) {
        QFont font(family);
        font.setPixelSize(pixelSize);
        font.setBold(bold);
        font.setHintingPreference(m_hinting);
        m_painter.setFont(font);
        m_painter.setPen(color.isValid() ? color : foreground());
        m_painter.drawText(QPointF(x, y), text);
        m_known.append(text);
    }

    // How far text drawn with these settings reaches, to lay out a row of labels.
    double width(const QString& text, int pixelSize, bool bold = false,
                 const QString& family = QStringLiteral("DejaVu Sans")) const {
        QFont font(family);
        font.setPixelSize(pixelSize);
        font.setBold(bold);
        font.setHintingPreference(m_hinting);
        return QFontMetricsF(font).horizontalAdvance(text);
    }

    QString knownText() const { return m_known.join(QLatin1Char('\n')); }

private:
    QPainter m_painter;
    bool m_dark;
    QFont::HintingPreference m_hinting = QFont::PreferDefaultHinting;
    QStringList m_known;
};

class CorpusGenerator {
public:
    // Writes every layout at 1920x1080 and 3840x2160, alternating PNG and JPEG, with its text.
    static QList<CorpusImage> generate(const QString& folder) {
        const QList<std::pair<QString, std::function<void(ScreenPainter&, QRandomGenerator&)>>>
            layouts{{QStringLiteral("dialog"), dialog},
                    {QStringLiteral("table"), table},
                    {QStringLiteral("code"), code},
                    {QStringLiteral("chat"), chat},
                    {QStringLiteral("settings-dark"), settings}};
        int index = 0;
        for (const auto& [name, draw] : layouts) {
            for (const int scale : {1, 2}) {
                QImage image(1920 * scale, 1080 * scale, QImage::Format_RGB32);
                QRandomGenerator random(quint32(1000 + index));
                ScreenPainter painter(image, scale, name.endsWith(QLatin1String("dark")));
                draw(painter, random);
                const bool png = index % 2 == 0;
                const QString base =
                    QDir(folder).filePath(QStringLiteral("%1-%2p").arg(name).arg(1080 * scale));
                image.save(base + (png ? QStringLiteral(".png") : QStringLiteral(".jpg")),
                           png ? "PNG" : "JPG", png ? -1 : 90);
                QFile known(base + QStringLiteral(".txt"));
                if (known.open(QIODevice::WriteOnly)) {
                    known.write(painter.knownText().toUtf8());
                }
                ++index;
            }
        }
        return loadCorpus(folder);
    }

    // Writes count screens at one scale, cycling through the layouts with a fresh text each time,
    // alternating PNG and JPEG: a folder that looks like a week of screenshots.
    static QList<CorpusImage> generateScreens(const QString& folder, int count, int scale,
                                              int firstSeed = 5000) {
        const QList<std::function<void(ScreenPainter&, QRandomGenerator&)>> layouts{
            dialog, table, code, chat, settings};
        for (int i = 0; i < count; ++i) {
            QImage image(1920 * scale, 1080 * scale, QImage::Format_RGB32);
            QRandomGenerator random(quint32(firstSeed + i));
            const int layout = i % int(layouts.size());
            ScreenPainter painter(image, scale, layout == 4);
            layouts[layout](painter, random);
            const bool png = i % 2 == 0;
            const QString base =
                QDir(folder).filePath(QStringLiteral("shot-%1").arg(firstSeed + i));
            image.save(base + (png ? QStringLiteral(".png") : QStringLiteral(".jpg")),
                       png ? "PNG" : "JPG", png ? -1 : 90);
            QFile known(base + QStringLiteral(".txt"));
            if (known.open(QIODevice::WriteOnly)) {
                known.write(painter.knownText().toUtf8());
            }
        }
        return loadCorpus(folder);
    }

private:
    static QString words(QRandomGenerator& random, int count) {
        static const QStringList vocabulary{
            "account",  "address", "amount",  "archive",  "backup",  "balance", "billing",
            "budget",   "cancel",  "change",  "client",   "confirm", "contact", "created",
            "customer", "delete",  "deliver", "details",  "device",  "display", "document",
            "download", "edit",    "email",   "export",   "failed",  "folder",  "general",
            "history",  "import",  "invoice", "meeting",  "message", "monthly", "network",
            "notes",    "order",   "payment", "pending",  "printer", "project", "quarter",
            "receipt",  "refund",  "release", "report",   "request", "review",  "schedule",
            "search",   "server",  "service", "shipping", "status",  "storage", "summary",
            "support",  "sync",    "team",    "ticket",   "total",   "update",  "upload",
            "version",  "weekly",  "window",  "yearly",   "quickly", "brown",   "forest"};
        QStringList out;
        for (int i = 0; i < count; ++i) {
            out.append(vocabulary[random.bounded(int(vocabulary.size()))]);
        }
        out.first()[0] = out.first()[0].toUpper();
        return out.join(QLatin1Char(' '));
    }

    static void dialog(ScreenPainter& p, QRandomGenerator& r) {
        p.box(QRectF(0, 0, 1920, 28), p.panel());
        p.text(12, 19, QStringLiteral("File  Edit  View  Window  Help"), 13);
        p.box(QRectF(560, 300, 800, 420), p.panel());
        p.text(590, 345, QStringLiteral("Export report"), 17, true);
        for (int i = 0; i < 7; ++i) {
            p.text(590, 395 + i * 34, words(r, 9) + QLatin1Char('.'), 13);
        }
        p.box(QRectF(1080, 660, 110, 34), QColor(200, 200, 205));
        p.text(1102, 682, QStringLiteral("Cancel"), 13);
        p.box(QRectF(1210, 660, 120, 34), QColor(10, 100, 220));
        p.text(1232, 682, QStringLiteral("Continue"), 13, false, QStringLiteral("DejaVu Sans"),
               Qt::white);
    }

    static void table(ScreenPainter& p, QRandomGenerator& r) {
        p.text(40, 60, QStringLiteral("Quarterly invoices"), 20, true);
        const QStringList headers{"Number", "Customer", "Status", "Amount", "Due"};
        for (int c = 0; c < headers.size(); ++c) {
            p.text(40 + c * 300, 110, headers[c], 13, true);
        }
        for (int row = 0; row < 24; ++row) {
            if (row % 2 == 0) {
                p.box(QRectF(30, 122 + row * 36, 1500, 36), p.panel());
            }
            const double y = 146 + row * 36;
            p.text(40, y, QStringLiteral("INV%1").arg(4000 + r.bounded(5000)), 13);
            p.text(340, y, words(r, 2), 13);
            p.text(640, y, words(r, 1), 13);
            p.text(940, y, QStringLiteral("%1.%2 EUR").arg(r.bounded(9000)).arg(r.bounded(10, 99)),
                   13);
            p.text(1240, y,
                   QStringLiteral("2025-%1-%2").arg(r.bounded(10, 12)).arg(r.bounded(10, 28)), 13);
        }
    }

    static void code(ScreenPainter& p, QRandomGenerator& r) {
        const QString mono = QStringLiteral("DejaVu Sans Mono");
        p.box(QRectF(0, 0, 260, 1080), p.panel());
        for (int i = 0; i < 12; ++i) {
            p.text(20, 40 + i * 26, words(r, 1).toLower() + QStringLiteral(".cpp"), 13);
        }
        for (int line = 0; line < 36; ++line) {
            const QString body = line % 3 == 0   ? QStringLiteral("// ") + words(r, 6)
                                 : line % 3 == 1 ? QStringLiteral("    int %1Count = %2;")
                                                       .arg(words(r, 1).toLower())
                                                       .arg(line * 7)
                                                 : QStringLiteral("    return update%1(%2);")
                                                       .arg(words(r, 1), words(r, 1).toLower());
            p.text(300, 40 + line * 26, body, 14, false, mono);
        }
    }

    static void chat(ScreenPainter& p, QRandomGenerator& r) {
        p.box(QRectF(0, 0, 360, 1080), p.panel());
        const QStringList people{"Alice Moreau", "Bruno Keller", "Chen Wei", "Dana Novak"};
        for (int i = 0; i < people.size(); ++i) {
            p.text(24, 60 + i * 64, people[i], 14, true);
            p.text(24, 82 + i * 64, words(r, 4), 12);
        }
        for (int i = 0; i < 10; ++i) {
            const bool mine = i % 2 == 1;
            const double x = mine ? 1000 : 420;
            p.box(QRectF(x - 14, 60 + i * 96, 560, 70), mine ? QColor(10, 100, 220) : p.panel());
            p.text(x, 86 + i * 96, words(r, 7), 14, false, QStringLiteral("DejaVu Sans"),
                   mine ? QColor(Qt::white) : QColor());
            p.text(x, 110 + i * 96, words(r, 5), 14, false, QStringLiteral("DejaVu Sans"),
                   mine ? QColor(Qt::white) : QColor());
        }
    }

    static void settings(ScreenPainter& p, QRandomGenerator& r) {
        p.text(60, 70, QStringLiteral("Settings"), 24, true);
        const QStringList sections{"General", "Appearance", "Network", "Storage", "Privacy"};
        for (int i = 0; i < sections.size(); ++i) {
            p.text(60, 130 + i * 36, sections[i], 14);
        }
        for (int i = 0; i < 14; ++i) {
            p.box(QRectF(400, 110 + i * 60, 1100, 50), p.panel());
            p.text(420, 140 + i * 60, words(r, 4), 14);
            p.text(1300, 140 + i * 60, i % 2 ? QStringLiteral("Enabled") : QStringLiteral("Weekly"),
                   13, false, QStringLiteral("DejaVu Sans"), QColor(140, 140, 150));
        }
    }
};

}  // namespace framlet::bench
