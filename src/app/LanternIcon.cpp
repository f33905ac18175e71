#include "app/LanternIcon.h"

#include <QBuffer>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>

namespace framlet::LanternIcon {
namespace {

constexpr double kGrid = 18.0;

// The lantern outline on the design grid, y pointing up as it was drawn.
QPainterPath outline() {
    QPainterPath path;
    path.moveTo(3.4, 4.2);
    // Bottom corners: quarter circles of radius 1.8, counter-clockwise with y pointing up. Qt
    // measures arc angles with y pointing down, so in these coordinates they run negative.
    path.arcTo(QRectF(5.2 - 1.8, 4.2 - 1.8, 3.6, 3.6), 180, -90);
    path.lineTo(12.8, 2.4);
    path.arcTo(QRectF(12.8 - 1.8, 4.2 - 1.8, 3.6, 3.6), 90, -90);
    path.lineTo(14.6, 11.6);
    path.cubicTo(14.6, 11.9, 13.2, 11.4, 13.2, 12.3);
    path.lineTo(13.2, 15.0);
    path.lineTo(4.8, 15.0);
    path.lineTo(4.8, 12.3);
    path.cubicTo(4.8, 11.4, 3.4, 11.9, 3.4, 11.6);
    path.closeSubpath();
    return path;
}

}  // namespace

QImage statusIcon(double fill, int pixelSize, const QColor& color) {
    QImage image(pixelSize, pixelSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paint(painter, fill, pixelSize, color);
    return image;
}

QByteArray svg(double fill, const QColor& color) {
    QBuffer buffer;
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(QSize(int(kGrid), int(kGrid)));
    generator.setViewBox(QRect(0, 0, int(kGrid), int(kGrid)));
    generator.setTitle(QStringLiteral("Framlet"));
    QPainter painter(&generator);
    paint(painter, fill, int(kGrid), color);
    painter.end();
    return buffer.data();
}

void paint(QPainter& painter, double fill, int pixelSize, const QColor& color) {
    painter.setRenderHint(QPainter::Antialiasing);

    // Design space has its origin at the bottom left: flip it into image space.
    const double unit = pixelSize / kGrid;
    painter.translate(0, pixelSize);
    painter.scale(unit, -unit);
    painter.translate(9, 9);
    painter.scale(1.06, 1.06);
    painter.translate(-9, -9);

    // Every part is a filled area, never a stroke: hosts that recolour a symbolic icon fill its
    // shapes, which would close an outlined lantern into one blob and swallow the glow.
    painter.setPen(Qt::NoPen);
    painter.fillPath(body(), color);
    if (fill > 0.02) {
        const double f = std::min(fill, 1.0);
        QColor glowColor = color;
        glowColor.setAlphaF(static_cast<float>(color.alphaF() * (0.4 + 0.6 * f)));
        painter.fillPath(glow(f), glowColor);
    }
}

QPainterPath body() {
    QPainterPathStroker wall;
    wall.setWidth(1.3);
    wall.setJoinStyle(Qt::RoundJoin);
    QPainterPath bands;
    bands.moveTo(5.3, 13.2);
    bands.lineTo(12.7, 13.2);
    bands.moveTo(5.3, 14.2);
    bands.lineTo(12.7, 14.2);
    QPainterPathStroker band;
    band.setWidth(0.9);
    // One outline without overlaps, so either fill rule draws the hollow body the same.
    QPainterPath shape = wall.createStroke(outline()).united(band.createStroke(bands)).simplified();
    shape.setFillRule(Qt::OddEvenFill);
    return shape;
}

QPainterPath glow(double fill) {
    QPainterPath path;
    const double radius = 2.9 * std::clamp(fill, 0.0, 1.0);
    if (radius > 0.05) {
        path.addEllipse(QPointF(9, 7), radius, radius);
    }
    return path;
}

double fillForFrame(int frame) {
    const double t = std::min(1.0, frame / 16.0);
    return 1.0 - std::pow(1.0 - t, 3.0);
}

}  // namespace framlet::LanternIcon
