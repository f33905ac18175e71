#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <memory>

namespace framlet {

// Release notes as the update window may show them: plain text as it is, rich text reduced to
// what Qt renders from the text alone. Nothing in them loads anything (no images, style sheets
// or other resources) and nothing runs (scripts are dropped).
namespace ReleaseNotes {

bool isRich(const QString& notes);

// HTML that shows the notes' text, formatting and links, without images and scripts. Linear in
// the notes' length, but still too slow for the GUI thread on large notes: see Cleaner.
QString sanitisedHtml(const QString& notes);

// Cleans notes on a worker thread, so that no feed can hold up the window. A request replaces the
// one before it: only the latest result is delivered.
class Cleaner : public QObject {
    Q_OBJECT

public:
    explicit Cleaner(QObject* parent = nullptr);
    ~Cleaner() override;

    void clean(const QString& notes);
    // Drops the request under way; its result is never delivered.
    void cancel();

Q_SIGNALS:
    void cleaned(const QString& html);

private:
    std::unique_ptr<QFutureWatcher<QString>> m_watcher;
};

}  // namespace ReleaseNotes
}  // namespace framlet
