#include "updates/ReleaseNotes.h"

#include <QPromise>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QThreadPool>
#include <utility>
#include <vector>

namespace framlet::ReleaseNotes {
namespace {

// A document that never loads a resource: no remote images, no local files, no style sheets.
class SealedDocument : public QTextDocument {
protected:
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

// "script" or "style" when an element of that name opens at `open` (a '<'), else nothing.
QStringView codeElementAt(const QString& html, qsizetype open) {
    for (const QStringView name : {QStringView(u"script"), QStringView(u"style")}) {
        const qsizetype end = open + 1 + name.size();
        if (QStringView(html).sliced(open + 1).startsWith(name, Qt::CaseInsensitive) &&
            (end >= html.size() || !html[end].isLetterOrNumber())) {
            return name;
        }
    }
    return {};
}

// Scripts and style sheets carry no text of the notes; Qt would otherwise show a script's code.
// One pass: each search starts where the last one ended.
QString withoutCode(const QString& html) {
    QString kept;
    kept.reserve(html.size());
    qsizetype from = 0;
    for (qsizetype open = html.indexOf(u'<'); open >= 0; open = html.indexOf(u'<', open + 1)) {
        const QStringView name = codeElementAt(html, open);
        if (name.isEmpty()) {
            continue;
        }
        kept += QStringView(html).sliced(from, open - from);
        const qsizetype close =
            html.indexOf(QStringLiteral("</") + name.toString(), open, Qt::CaseInsensitive);
        const qsizetype closeEnd = close < 0 ? -1 : html.indexOf(u'>', close);
        from = closeEnd < 0 ? html.size() : closeEnd + 1;
        open = from - 1;
    }
    kept += QStringView(html).sliced(std::min(from, html.size()));
    return kept;
}

// Every image is found in one walk and replaced from the last to the first, so that the
// positions still to come stay valid.
void removeImages(QTextDocument& document) {
    std::vector<std::pair<int, int>> images;  // position, length
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid() && fragment.charFormat().isImageFormat()) {
                images.emplace_back(fragment.position(), fragment.length());
            }
        }
    }
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    for (auto image = images.rbegin(); image != images.rend(); ++image) {
        cursor.setPosition(image->first);
        cursor.setPosition(image->first + image->second, QTextCursor::KeepAnchor);
        cursor.insertText(QStringLiteral(" "), QTextCharFormat());
    }
    cursor.endEditBlock();
}

}  // namespace

bool isRich(const QString& notes) {
    return Qt::mightBeRichText(notes);
}

QString sanitisedHtml(const QString& notes) {
    SealedDocument document;
    document.setUndoRedoEnabled(false);
    document.setHtml(withoutCode(notes));
    removeImages(document);
    return document.toHtml();
}

Cleaner::Cleaner(QObject* parent) : QObject(parent) {
}

Cleaner::~Cleaner() = default;

void Cleaner::clean(const QString& notes) {
    cancel();
    auto promise = std::make_shared<QPromise<QString>>();
    m_watcher = std::make_unique<QFutureWatcher<QString>>();
    QFutureWatcher<QString>* watcher = m_watcher.get();
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        if (watcher->future().resultCount() > 0) {
            Q_EMIT cleaned(watcher->result());
        }
    });
    watcher->setFuture(promise->future());
    QThreadPool::globalInstance()->start([promise, notes] {
        promise->start();
        promise->addResult(sanitisedHtml(notes));
        promise->finish();
    });
}

void Cleaner::cancel() {
    if (m_watcher) {
        // Not deleted at once: a receiver of `cleaned` may ask again from within the signal.
        m_watcher->disconnect(this);
        m_watcher.release()->deleteLater();
    }
}

}  // namespace framlet::ReleaseNotes
