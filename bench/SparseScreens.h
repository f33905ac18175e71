#pragma once

// Application windows whose words stand alone: gutters, menu bars, sidebars, tabs, toolbar
// buttons, short headers and identifiers, the words people search screenshots for. Drawn as
// desktops draw them: 13-14 px hinted text at 1x, the same layout at twice the density, light
// and dark. The text drawn is the ground truth.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <functional>

#include "ScreenshotCorpus.h"

namespace framlet::bench {

class SparseScreens {
public:
    static constexpr int windowWidth = 1280;
    static constexpr int windowHeight = 800;

    // Every layout light and dark at 1x and 2x, half of them as JPEG, with a .txt beside each.
    static void generate(const QString& folder, quint32 seed = 7000) {
        const QList<std::pair<QString, Layout>> layouts{{QStringLiteral("editor"), editor},
                                                        {QStringLiteral("chat-sidebar"), chat},
                                                        {QStringLiteral("preferences"), prefs},
                                                        {QStringLiteral("grid"), grid},
                                                        {QStringLiteral("toolbar-tabs"), tabs}};
        for (const auto& [name, draw] : layouts) {
            for (const int scale : {1, 2}) {
                for (const bool dark : {false, true}) {
                    QImage image(windowWidth * scale, windowHeight * scale, QImage::Format_RGB32);
                    QRandomGenerator random(seed++);
                    ScreenPainter painter(image, scale, dark);
                    if (scale == 1) {
                        painter.setHinting(QFont::PreferFullHinting);
                    }
                    draw(painter, random, Palette{dark});
                    const bool png = (scale == 1) != dark;
                    const QString base = QDir(folder).filePath(QStringLiteral("%1-%2x-%3")
                                                                   .arg(name)
                                                                   .arg(scale)
                                                                   .arg(dark ? "dark" : "light"));
                    image.save(base + (png ? QStringLiteral(".png") : QStringLiteral(".jpg")),
                               png ? "PNG" : "JPG", png ? -1 : 90);
                    QFile known(base + QStringLiteral(".txt"));
                    if (known.open(QIODevice::WriteOnly)) {
                        known.write(painter.knownText().toUtf8());
                    }
                }
            }
        }
    }

private:
    struct Palette {
        bool dark;
        QColor chrome() const { return dark ? QColor(37, 37, 41) : QColor(232, 232, 236); }
        QColor sidebar() const { return dark ? QColor(25, 25, 28) : QColor(242, 242, 245); }
        QColor dim() const { return dark ? QColor(130, 130, 140) : QColor(120, 120, 128); }
        QColor accent() const { return QColor(38, 110, 215); }
        QColor line() const { return dark ? QColor(60, 60, 66) : QColor(214, 214, 220); }
        QColor button() const { return dark ? QColor(58, 58, 64) : QColor(252, 252, 252); }
    };
    using Layout = std::function<void(ScreenPainter&, QRandomGenerator&, const Palette&)>;

    static QString pick(QRandomGenerator& random, const QStringList& from) {
        return from[random.bounded(int(from.size()))];
    }
    static QString hash(QRandomGenerator& random) {
        return QString::number(random.generate() & 0xfffffff, 16).rightJustified(7, '0');
    }
    static QString version(QRandomGenerator& random) {
        return QStringLiteral("v%1.%2.%3")
            .arg(random.bounded(1, 9))
            .arg(random.bounded(0, 30))
            .arg(random.bounded(0, 12));
    }
    static QString identifier(QRandomGenerator& random) {
        static const QStringList parts{"load",  "save",  "user",  "cache", "token", "parse",
                                       "query", "index", "frame", "queue", "retry", "limit",
                                       "batch", "order", "shelf", "thumb", "scale", "blob"};
        QString name = pick(random, parts);
        const QString second = pick(random, parts);
        return name + second.left(1).toUpper() + second.mid(1);
    }

    // A row of labels, each at its own place as a menu bar or tab strip lays them out.
    static double row(ScreenPainter& p, double x, double y, const QStringList& labels, int size,
                      double gap, QColor color = {}, bool bold = false) {
        const QString family = QStringLiteral("DejaVu Sans");
        for (const QString& label : labels) {
            p.text(x, y, label, size, bold, family, color);
            x += p.width(label, size, bold, family) + gap;
        }
        return x;
    }

    static void editor(ScreenPainter& p, QRandomGenerator& r, const Palette& c) {
        const QString mono = QStringLiteral("DejaVu Sans Mono");
        p.box(QRectF(0, 0, windowWidth, 26), c.chrome());
        row(p, 12, 18, {"File", "Edit", "Selection", "View", "Go", "Run", "Terminal", "Help"}, 13,
            18);
        p.box(QRectF(0, 26, 220, windowHeight - 48), c.sidebar());
        p.text(14, 50, QStringLiteral("EXPLORER"), 11, true, QStringLiteral("DejaVu Sans"),
               c.dim());
        for (int i = 0; i < 14; ++i) {
            p.text(26, 76 + i * 22, identifier(r) + (i % 3 ? ".cpp" : ".h"), 13);
        }
        p.box(QRectF(220, 26, windowWidth - 220, 30), c.chrome());
        double x = 232;
        for (int i = 0; i < 3; ++i) {
            const QString tab = identifier(r) + QStringLiteral(".cpp");
            if (i == 0) {
                p.box(QRectF(x - 12, 26, p.width(tab, 13) + 24, 30), p.background());
            }
            x = row(p, x, 46, {tab}, 13, 36);
        }
        const int first = r.bounded(1, 400);
        for (int line = 0; line < 30; ++line) {
            const double y = 80 + line * 20;
            const QString number = QString::number(first + line);
            p.text(290 - p.width(number, 13, false, mono), y, number, 13, false, mono, c.dim());
            if (line % 7 == 6) {
                continue;  // blank line: only its number
            }
            const QString body =
                line % 4 == 0 ? QStringLiteral("auto %1 = %2(%3);")
                                    .arg(identifier(r), identifier(r))
                                    .arg(r.bounded(2, 99))
                : line % 4 == 1 ? QStringLiteral("    if (%1) return;").arg(identifier(r))
                : line % 4 == 2 ? QStringLiteral("// %1 %2")
                                      .arg(pick(r, {"TODO", "NOTE", "FIXME"}), identifier(r))
                                : QStringLiteral("    %1.%2();").arg(identifier(r), identifier(r));
            p.text(320, y, body, 13, false, mono);
        }
        p.box(QRectF(0, windowHeight - 22, windowWidth, 22), c.accent());
        row(p, 10, windowHeight - 7,
            {QStringLiteral("main"), hash(r),
             QStringLiteral("Ln %1, Col %2").arg(first + r.bounded(30)).arg(r.bounded(1, 80)),
             QStringLiteral("UTF-8"), QStringLiteral("LF"), version(r)},
            12, 28, Qt::white);
    }

    static void chat(ScreenPainter& p, QRandomGenerator& r, const Palette& c) {
        p.box(QRectF(0, 0, 240, windowHeight), c.sidebar());
        p.text(16, 30, pick(r, {"Northwind", "Acme Labs", "Orbit Team"}), 15, true);
        p.text(16, 64, QStringLiteral("Channels"), 12, true, QStringLiteral("DejaVu Sans"),
               c.dim());
        const QStringList channels{"general", "random",  "releases", "design",   "backend",
                                   "infra",   "support", "hiring",   "frontend", "ops-alerts"};
        const int firstChannel = r.bounded(3);
        for (int i = 0; i < 8; ++i) {
            const double y = 90 + i * 26;
            if (i == 2) {
                p.box(QRectF(8, y - 18, 224, 25), c.accent());
            }
            p.text(22, y, QStringLiteral("# ") + channels[(i + firstChannel) % channels.size()], 14,
                   false, QStringLiteral("DejaVu Sans"), i == 2 ? QColor(Qt::white) : QColor());
        }
        p.text(16, 320, QStringLiteral("Direct messages"), 12, true, QStringLiteral("DejaVu Sans"),
               c.dim());
        const QStringList people{"Alice Moreau", "Bruno Keller",  "Chen Wei",
                                 "Dana Novak",   "Emil Sorensen", "Farah Haddad"};
        const int firstPerson = r.bounded(2);
        for (int i = 0; i < 5; ++i) {
            p.text(22, 346 + i * 26, people[(i + firstPerson) % people.size()], 14);
        }
        p.box(QRectF(240, 0, windowWidth - 240, 44), c.chrome());
        p.text(260, 28, QStringLiteral("# releases"), 15, true);
        p.text(380, 28, QStringLiteral("Ship notes and tags"), 13, false,
               QStringLiteral("DejaVu Sans"), c.dim());
        for (int i = 0; i < 6; ++i) {
            const double y = 84 + i * 110;
            p.text(264, y, people[r.bounded(int(people.size()))], 14, true);
            p.text(400, y, QStringLiteral("%1:%2").arg(r.bounded(8, 18)).arg(r.bounded(10, 59)), 12,
                   false, QStringLiteral("DejaVu Sans"), c.dim());
            p.text(264, y + 24,
                   QStringLiteral("Tagged %1 at %2, please review").arg(version(r), hash(r)), 14);
            p.text(264, y + 46,
                   pick(r, {"Looks good to me", "Deploying now", "Rolled back", "Thanks, merged"}),
                   14);
        }
    }

    static void prefs(ScreenPainter& p, QRandomGenerator& r, const Palette& c) {
        p.box(QRectF(0, 0, 220, windowHeight), c.sidebar());
        const QStringList sections{"General", "Display", "Sound",     "Keyboard",
                                   "Mouse",   "Network", "Bluetooth", "Printers",
                                   "Privacy", "Users",   "Updates",   "About"};
        const int chosen = r.bounded(int(sections.size()));
        for (int i = 0; i < sections.size(); ++i) {
            const double y = 40 + i * 32;
            if (i == chosen) {
                p.box(QRectF(8, y - 21, 204, 30), c.accent());
            }
            p.text(24, y, sections[i], 14, false, QStringLiteral("DejaVu Sans"),
                   i == chosen ? QColor(Qt::white) : QColor());
        }
        p.text(260, 46, sections[chosen], 20, true);
        const QStringList labels{"Brightness", "Night Light", "Scale",      "Orientation",
                                 "Refresh",    "Resolution",  "Fractional", "Mirror",
                                 "Sleep",      "Volume",      "Dim screen", "Auto lock"};
        const QStringList values{"On",        "Off",       "Auto",  "100%",  "60 Hz",
                                 "1920x1080", "Landscape", "5 min", "Never", "Left"};
        for (int i = 0; i < 10; ++i) {
            const double y = 100 + i * 52;
            p.box(QRectF(250, y - 30, 760, 46), p.panel());
            p.text(270, y, labels[(i + chosen) % labels.size()], 14);
            p.text(880, y, values[r.bounded(int(values.size()))], 13, false,
                   QStringLiteral("DejaVu Sans"), c.dim());
        }
        p.box(QRectF(800, 660, 96, 30), c.button());
        p.text(822, 680, QStringLiteral("Reset"), 13);
        p.box(QRectF(910, 660, 100, 30), c.accent());
        p.text(930, 680, QStringLiteral("Apply"), 13, false, QStringLiteral("DejaVu Sans"),
               Qt::white);
    }

    static void grid(ScreenPainter& p, QRandomGenerator& r, const Palette& c) {
        p.text(24, 36, QStringLiteral("Builds"), 18, true);
        row(p, 140, 36, {"Filter", "Export", "Refresh"}, 13, 22, c.accent());
        const QStringList headers{"ID", "Ref", "SHA", "Tag", "Qty", "Env", "Owner", "Age"};
        const double columns[] = {24, 110, 230, 350, 470, 560, 680, 820};
        p.box(QRectF(12, 58, 1000, 30), c.chrome());
        for (int i = 0; i < headers.size(); ++i) {
            p.text(columns[i], 78, headers[i], 12, true);
        }
        const QStringList refs{"main", "dev", "hotfix", "beta", "stable"};
        const QStringList envs{"prod", "qa", "eu", "us", "lab"};
        const QStringList owners{"alice", "bruno", "chen", "dana", "emil", "farah"};
        for (int i = 0; i < 20; ++i) {
            const double y = 110 + i * 30;
            if (i % 2) {
                p.box(QRectF(12, y - 20, 1000, 30), p.panel());
            }
            p.text(columns[0], y, QString::number(r.bounded(100, 9999)), 13);
            p.text(columns[1], y, pick(r, refs), 13);
            p.text(columns[2], y, hash(r), 13, false, QStringLiteral("DejaVu Sans Mono"));
            p.text(columns[3], y, version(r), 13);
            p.text(columns[4], y, QString::number(r.bounded(10, 500)), 13);
            p.text(columns[5], y, pick(r, envs), 13);
            p.text(columns[6], y, pick(r, owners), 13);
            p.text(columns[7], y, QStringLiteral("%1h").arg(r.bounded(1, 48)), 13, false,
                   QStringLiteral("DejaVu Sans"), c.dim());
        }
    }

    static void tabs(ScreenPainter& p, QRandomGenerator& r, const Palette& c) {
        p.box(QRectF(0, 0, windowWidth, 84), c.chrome());
        const QStringList tabNames{"Overview", "Issues",   "Pulls",    "Actions",
                                   "Wiki",     "Insights", "Security", "Settings"};
        double x = 16;
        const int firstTab = r.bounded(3);
        for (int i = 0; i < 6; ++i) {
            const QString label = tabNames[(i + firstTab) % tabNames.size()] +
                                  (i == 1 ? QStringLiteral(" %1").arg(r.bounded(10, 99)) : "");
            if (i == 0) {
                p.box(QRectF(x - 10, 6, p.width(label, 13) + 20, 30), p.background());
            }
            x = row(p, x, 27, {label}, 13, 30);
        }
        x = 16;
        const QStringList buttons{"New",  "Open", "Save", "Share", "Print",
                                  "Undo", "Redo", "Find", "Zoom"};
        const int firstButton = r.bounded(3);
        for (int i = 0; i < 7; ++i) {
            const QString label = buttons[(i + firstButton) % buttons.size()];
            const double w = p.width(label, 13) + 34;
            p.box(QRectF(x, 46, w, 30), c.button());
            p.box(QRectF(x + 6, 54, 14, 14), c.dim());  // the button's icon
            p.text(x + 26, 66, label, 13);
            x += w + 8;
        }
        p.box(QRectF(x + 20, 46, 110, 30), c.accent());
        p.text(x + 34, 66, version(r), 13, false, QStringLiteral("DejaVu Sans"), Qt::white);
        for (int i = 0; i < 9; ++i) {
            const double y = 130 + i * 56;
            p.box(QRectF(24, y - 24, 900, 46), p.panel());
            p.text(40, y,
                   QStringLiteral("%1 %2 %3")
                       .arg(pick(r, {"Fix", "Add", "Drop", "Bump", "Move"}), identifier(r),
                            pick(r, {"crash", "tests", "docs", "flag", "limit"})),
                   14);
            p.text(40, y + 17,
                   QStringLiteral("#%1 by %2")
                       .arg(r.bounded(100, 999))
                       .arg(pick(r, {"alice", "bruno", "chen", "dana"})),
                   12, false, QStringLiteral("DejaVu Sans"), c.dim());
            p.text(700, y, hash(r), 13, false, QStringLiteral("DejaVu Sans Mono"), c.dim());
        }
    }
};

}  // namespace framlet::bench
