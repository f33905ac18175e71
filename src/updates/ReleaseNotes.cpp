#include "updates/ReleaseNotes.h"

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <optional>

namespace framlet::ReleaseNotes {
namespace {

// A document that never loads a resource: no remote images, no local files, no style sheets.
class SealedDocument : public QTextDocument {
protected:
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

// Scripts and style sheets carry no text of the notes; Qt would otherwise show a script's code.
QString withoutCode(QString html) {
    static const QRegularExpression code(
        QStringLiteral("<(script|style)\\b[^>]*>.*?(</\\1\\s*>|$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    return html.remove(code);
}

std::optional<QTextFragment> firstImage(const QTextDocument& document) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().isValid() && it.fragment().charFormat().isImageFormat()) {
                return it.fragment();
            }
        }
    }
    return std::nullopt;
}

void removeImages(QTextDocument& document) {
    while (const auto image = firstImage(document)) {
        QTextCursor cursor(&document);
        cursor.setPosition(image->position());
        cursor.setPosition(image->position() + image->length(), QTextCursor::KeepAnchor);
        cursor.insertText(QStringLiteral(" "), QTextCharFormat());
    }
}

}  // namespace

bool isRich(const QString& notes) {
    return Qt::mightBeRichText(notes);
}

QString sanitisedHtml(const QString& notes) {
    SealedDocument document;
    document.setHtml(withoutCode(notes));
    removeImages(document);
    return document.toHtml();
}

}  // namespace framlet::ReleaseNotes
