#include <gtest/gtest.h>

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSet>

#include "library/ocr/TesseractEngine.h"

using namespace framlet;

namespace {

// Draws an application window as a desktop does at 1x: small hinted text, light or dark.
class Window {
public:
    Window(int width, int height, bool dark)
        : m_image(width, height, QImage::Format_RGB32), m_dark(dark), m_painter(&m_image) {
        m_image.fill(dark ? QColor(30, 30, 34) : QColor(246, 246, 246));
        m_painter.setRenderHint(QPainter::TextAntialiasing);
    }

    QColor text() const { return m_dark ? QColor(225, 225, 230) : QColor(30, 30, 30); }
    QColor dim() const { return m_dark ? QColor(130, 130, 140) : QColor(120, 120, 128); }
    QColor bar() const { return m_dark ? QColor(37, 37, 41) : QColor(232, 232, 236); }
    static QColor accent() { return {38, 110, 215}; }

    void box(const QRectF& rect, const QColor& color) { m_painter.fillRect(rect, color); }

    // Draws the labels left to right with `gap` pixels between them; returns where it ended.
    double row(double x, double y, const QStringList& labels, double gap, QColor color = {},
               bool mono = false) {
        QFont font(mono ? "DejaVu Sans Mono" : "DejaVu Sans");
        font.setPixelSize(13);
        font.setHintingPreference(QFont::PreferFullHinting);
        m_painter.setFont(font);
        m_painter.setPen(color.isValid() ? color : text());
        for (const QString& label : labels) {
            m_painter.drawText(QPointF(x, y), label);
            x += QFontMetricsF(font).horizontalAdvance(label) + gap;
        }
        return x;
    }

    // As a screenshot tool saves it: JPEG at the quality they default to.
    QImage saved() {
        m_painter.end();
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        m_image.save(&buffer, "JPG", 90);
        return QImage::fromData(buffer.data(), "JPG");
    }

private:
    QImage m_image;
    bool m_dark;
    QPainter m_painter;
};

QSet<QString> wordsOf(const QStringList& lines) {
    static const QRegularExpression word("[\\p{L}\\p{N}]{2,}");
    QSet<QString> words;
    auto matches = word.globalMatch(lines.join(QLatin1Char('\n')).toLower());
    while (matches.hasNext()) {
        words.insert(matches.next().captured());
    }
    return words;
}

class SparseTextTest : public ::testing::Test {
protected:
    // The words of `expected` the engine did not find, in alphabetical order.
    static std::string missing(const QImage& image, const QStringList& expected) {
        TesseractEngine::Options options = TesseractEngine::Options::defaults();
        options.languages = "eng";
        const TesseractEngine::Result result =
            TesseractEngine::forThisThread(options).recognize(image);
        EXPECT_TRUE(result.ok()) << result.error.toStdString();
        const QSet<QString> found = wordsOf(result.lines);
        QStringList lost;
        for (const QString& word : wordsOf(expected)) {
            if (!found.contains(word)) {
                lost.append(word);
            }
        }
        lost.sort();
        return lost.join(QLatin1Char(' ')).toStdString();
    }

    static QStringList code() {
        return {"auto tokenQueue = cacheQueue(54);", "if (saveOrder) return;", "// NOTE queryParse",
                "cacheSave.queryThumb();"};
    }
};

TEST_F(SparseTextTest, LineNumbersOfAGutterAndTheWordsOfAMenuBar) {
    Window window(900, 520, true);
    window.box(QRectF(0, 0, 900, 26), window.bar());
    const QStringList menu{"File", "Edit", "Selection", "View", "Go", "Run", "Terminal", "Help"};
    window.row(12, 18, menu, 18);
    QStringList numbers;
    for (int line = 0; line < 22; ++line) {
        numbers.append(QString::number(81 + line));
        window.row(20, 60 + line * 20, {numbers.last()}, 0, window.dim(), true);
        if (line % 5 != 4) {
            window.row(70, 60 + line * 20, {code()[line % 4]}, 0, {}, true);
        }
    }
    EXPECT_EQ(missing(window.saved(), menu + numbers), "");
}

TEST_F(SparseTextTest, ChannelNamesInAChatSidebar) {
    Window window(900, 420, true);
    window.box(QRectF(0, 0, 220, 420), QColor(25, 25, 28));
    const QStringList channels{"general", "random", "releases", "design", "backend", "infra"};
    for (int i = 0; i < channels.size(); ++i) {
        if (i == 2) {
            window.box(QRectF(8, 52 + i * 26, 204, 25), Window::accent());
        }
        window.row(22, 70 + i * 26, {"# " + channels[i]}, 0, i == 2 ? QColor(Qt::white) : QColor());
    }
    const QStringList messages{"Tagged the release candidate, please review the notes",
                               "Deploying to the staging cluster now", "Rolled back, thanks"};
    for (int i = 0; i < messages.size(); ++i) {
        window.row(260, 70 + i * 60, {messages[i]}, 0);
    }
    EXPECT_EQ(missing(window.saved(), channels), "");
}

TEST_F(SparseTextTest, TabLabelsAndToolbarButtons) {
    Window window(900, 300, false);
    window.box(QRectF(0, 0, 900, 84), window.bar());
    const QStringList tabs{"Overview", "Issues", "Pulls", "Actions", "Wiki", "Insights"};
    window.row(16, 27, tabs, 30);
    const QStringList buttons{"New", "Open", "Save", "Share", "Print"};
    double x = 16;
    for (const QString& button : buttons) {
        window.box(QRectF(x, 46, 80, 30), Qt::white);
        window.box(QRectF(x + 6, 54, 14, 14), window.dim());  // its icon
        window.row(x + 26, 66, {button}, 0);
        x += 88;
    }
    window.box(QRectF(x + 20, 46, 110, 30), Window::accent());
    window.row(x + 34, 66, {"v6.12.3"}, 0, Qt::white);
    window.row(40, 130, {"Move loadThumb tests to the shared fixture"}, 0);
    EXPECT_EQ(missing(window.saved(), tabs + buttons + QStringList{"v6"}), "");
}

// Dim monospace hashes are still sometimes read confidently wrong (0 as o, c as ¢): only the
// headers above them are held here.
TEST_F(SparseTextTest, ShortColumnHeadersAboveIdentifiers) {
    Window window(900, 400, false);
    const QStringList headers{"ID", "Ref", "SHA", "Tag", "Qty", "Env", "Age"};
    window.box(QRectF(12, 18, 860, 30), window.bar());
    window.row(24, 38, headers, 60);
    const QStringList hashes{"eb6ecdd", "fe6eacd", "07c8685", "a4882d9", "5635f0f", "b6e6c63"};
    for (int i = 0; i < hashes.size(); ++i) {
        const double y = 74 + i * 30;
        window.row(24, y, {QString::number(4120 + 37 * i), "main"}, 40);
        window.row(190, y, {hashes[i]}, 0, window.dim(), true);
        window.row(300, y, {QStringLiteral("v1.%1.0").arg(i), "prod"}, 50);
    }
    EXPECT_EQ(missing(window.saved(), headers), "");
}

}  // namespace
