#include "shelf/FirstCaptureBanner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include "shelf/SymbolView.h"
#include "shelf/Symbols.h"

namespace framlet {

FirstCaptureBanner::FirstCaptureBanner(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("firstCaptureBanner"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 10, 12, 10);
    row->setSpacing(10);

    row->addWidget(new SymbolView(QStringLiteral("sparkles"), 18), 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* titleLabel = new QLabel(title());
    QFont titleFont = titleLabel->font();
    titleFont.setWeight(QFont::Medium);
    titleLabel->setFont(titleFont);
    titleLabel->setWordWrap(true);
    auto* hintLabel = new QLabel(hint());
    hintLabel->setWordWrap(true);
    hintLabel->setForegroundRole(QPalette::PlaceholderText);
    QFont hintFont = hintLabel->font();
    hintFont.setPointSizeF(hintFont.pointSizeF() * 0.85);
    hintLabel->setFont(hintFont);
    texts->addWidget(titleLabel);
    texts->addWidget(hintLabel);
    row->addLayout(texts, 1);
    row->addSpacing(4);

    auto* dismiss = new QToolButton;
    dismiss->setObjectName(QStringLiteral("dismiss"));
    dismiss->setAutoRaise(true);
    dismiss->setIcon(Symbols::icon(QStringLiteral("xmark.circle.fill"), dismiss));
    dismiss->setToolTip(QStringLiteral("Dismiss"));
    dismiss->setAccessibleName(QStringLiteral("Dismiss"));
    connect(dismiss, &QToolButton::clicked, this, &FirstCaptureBanner::dismissed);
    row->addWidget(dismiss, 0, Qt::AlignTop);
}

QString FirstCaptureBanner::title() {
    return QStringLiteral("There it is. Every screenshot lands here now.");
}

QString FirstCaptureBanner::hint() {
    return QStringLiteral(
        "Try searching for a word that's inside it — or drag it straight into another app.");
}

void FirstCaptureBanner::paintEvent(QPaintEvent*) {
    QColor tint = palette().color(QPalette::Highlight);
    tint.setAlphaF(0.08f);
    QPainter(this).fillRect(rect(), tint);
}

}  // namespace framlet
