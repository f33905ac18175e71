#pragma once

#include <QString>

namespace framlet {

// Release notes as the update window may show them: plain text as it is, rich text reduced to
// what Qt renders from the text alone. Nothing in them loads anything (no images, style sheets
// or other resources) and nothing runs (scripts are dropped).
namespace ReleaseNotes {

bool isRich(const QString& notes);

// HTML that shows the notes' text, formatting and links, without images and scripts.
QString sanitisedHtml(const QString& notes);

}  // namespace ReleaseNotes
}  // namespace framlet
