#include "settings/TextScale.h"

#include <QFont>
#include <QFontInfo>
#include <algorithm>

namespace framlet::TextScale {

qreal factor(const QFont& font) {
    return std::max<qreal>(1.0, QFontInfo(font).pixelSize() / designPixels);
}

QSize grown(QSize design, const QFont& font) {
    return (QSizeF(design) * factor(font)).toSize();
}

int grown(int design, const QFont& font) {
    return qRound(design * factor(font));
}

}  // namespace framlet::TextScale
