// A query over the recognised text of many screenshots: the text cache's trigram index against
// a linear scan of the same texts, in the same run.
//
//   textcache_bench [N]   (default 10000)
//
// Keeps N texts of screen-like words (about 1,200 characters each) in a cache on disk, then asks
// 200 queries of three to twelve characters (words, parts of words, two-word runs, a few found
// nowhere) and 40 of one or two characters, which the index cannot serve and a scan answers.
// Each query as the shelf asks it (30 matches, newest first) and as `framlet --search` does
// (all). The words are few, so most queries match thousands of texts: a hard case for an index.
// Ends with `indexed_p95_ms=X all_p95_ms=A scan_p95_ms=Y ratio=R` (X the shelf's question).

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "library/textcache/SqliteTextCache.h"

using namespace framlet;

namespace {

const QStringList kWords =
    QStringLiteral(
        "invoice total amount due payment received account balance settings general appearance "
        "folders updates terminal build passed failed warning error commit branch merge request "
        "review approved changes files search results window editor project source include return "
        "function value string number message sent today yesterday meeting calendar event reminder "
        "download upload share copy paste delete rename folder document spreadsheet presentation "
        "password username login logout profile security privacy network wireless bluetooth "
        "display "
        "brightness volume battery charging keyboard mouse printer scanner camera microphone "
        "speaker")
        .split(QLatin1Char(' '));

QString randomText(QRandomGenerator& random, int characters) {
    QString text;
    while (text.size() < characters) {
        text += kWords[random.bounded(int(kWords.size()))];
        text += random.bounded(8) == 0 ? QLatin1Char('\n') : QLatin1Char(' ');
        if (random.bounded(10) == 0) {
            text += QString::number(random.bounded(100000)) + QLatin1Char(' ');
        }
    }
    return text;
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[std::min(values.size() - 1, size_t(p * values.size()))];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int count = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 10000;
    QTemporaryDir work;
    QRandomGenerator random(2026);
    std::vector<QString> texts;
    std::vector<QString> names;
    {
        SqliteTextCache cache(work.filePath(QStringLiteral("texts.sqlite")));
        for (int i = 0; i < count; ++i) {
            names.push_back(QStringLiteral("/home/you/Pictures/Screenshot %1.png").arg(i));
            texts.push_back(randomText(random, 1200));
            cache.remember({names.back(), 1, quint64(i + 1), 1000, qint64(i), QStringLiteral("v")},
                           texts.back());
        }
    }
    SqliteTextCache cache(work.filePath(QStringLiteral("texts.sqlite")));  // as a next launch

    QStringList queries;
    for (int i = 0; i < 200; ++i) {
        const QString word = kWords[random.bounded(int(kWords.size()))];
        switch (i % 4) {
            case 0:
                queries.append(word);
                break;
            case 1:
                queries.append(word.mid(1, std::max(3, int(word.size()) - 2)));
                break;
            case 2:
                queries.append(word + QLatin1Char(' ') +
                               kWords[random.bounded(int(kWords.size()))]);
                break;
            default:
                queries.append(i % 8 == 3 ? QStringLiteral("zeppelin") : word.toUpper());
                break;
        }
    }
    QStringList shortQueries;
    for (int i = 0; i < 40; ++i) {
        shortQueries.append(kWords[random.bounded(int(kWords.size()))].left(1 + i % 2));
    }

    const auto timeEach = [](const QStringList& asked, auto&& run) {
        std::vector<double> ms;
        for (const QString& query : asked) {
            QElapsedTimer timer;
            timer.start();
            run(query);
            ms.push_back(timer.nsecsElapsed() / 1e6);
        }
        return ms;
    };
    qsizetype sink = 0;
    const auto shelf =
        timeEach(queries, [&](const QString& q) { sink += cache.search(q, 30).size(); });
    const auto all =
        timeEach(queries, [&](const QString& q) { sink += cache.search(q, count).size(); });
    const auto scanned = timeEach(queries, [&](const QString& q) {
        const QString needle = q.toLower();
        QStringList found;
        for (std::size_t i = texts.size(); i-- > 0;) {  // newest first
            if (names[i].toLower().contains(needle) || texts[i].toLower().contains(needle)) {
                found.append(names[i]);
            }
        }
        sink += found.size();
    });
    const auto shortShelf =
        timeEach(shortQueries, [&](const QString& q) { sink += cache.search(q, 30).size(); });
    const auto shortAll =
        timeEach(shortQueries, [&](const QString& q) { sink += cache.search(q, count).size(); });

    std::printf("texts=%d queries=%lld short=%lld (%lld matches in all)\n", count,
                qlonglong(queries.size()), qlonglong(shortQueries.size()), qlonglong(sink));
    std::printf("indexed, 30 newest: p50_ms=%.2f p95_ms=%.2f\n", percentile(shelf, 0.5),
                percentile(shelf, 0.95));
    std::printf("indexed, all:       p50_ms=%.2f p95_ms=%.2f\n", percentile(all, 0.5),
                percentile(all, 0.95));
    std::printf("1-2 chars, 30 newest (row scan): p95_ms=%.2f; all: p95_ms=%.2f\n",
                percentile(shortShelf, 0.95), percentile(shortAll, 0.95));
    std::printf("linear scan in memory: p50_ms=%.2f p95_ms=%.2f\n", percentile(scanned, 0.5),
                percentile(scanned, 0.95));
    // The shelf's question, asked at every key typed; the scan finds every match.
    const double x = percentile(shelf, 0.95);
    const double y = percentile(scanned, 0.95);
    std::printf("indexed_p95_ms=%.2f all_p95_ms=%.2f scan_p95_ms=%.2f ratio=%.3f\n", x,
                percentile(all, 0.95), y, y > 0 ? x / y : 0.0);
    return 0;
}
