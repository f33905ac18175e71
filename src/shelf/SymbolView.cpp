#include "shelf/SymbolView.h"

#include <QPainter>

#include "shelf/Symbols.h"

namespace framlet {

SymbolView::SymbolView(const QString& symbol, int size, QWidget* parent)
    : QWidget(parent), m_icon(Symbols::icon(symbol, this)) {
    setFixedSize(size, size);
}

void SymbolView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_icon.paint(&painter, rect());
}

}  // namespace framlet
