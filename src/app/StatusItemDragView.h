#pragma once

#include <QUrl>
#include <QWidget>
#include <functional>
#include <optional>

#include "library/decoding/ImageDecoder.h"

namespace framlet {

// The tray icon as a real widget (docked into an XEmbed tray): draws the lantern, tells a click
// from a drag, and drags the newest screenshot out of the tray as a copy.
class StatusItemDragView : public QWidget {
    Q_OBJECT

public:
    static constexpr int dragThreshold = 3;  // pixels the pointer may move and still click
    static constexpr int dragImageSize = 96;

    // Asked when a drag starts: which file to drag, if any.
    using FileURLProvider = std::function<std::optional<QUrl>()>;

    // The drag image is decoded within budget.
    explicit StatusItemDragView(DecodeBudget& budget, FileURLProvider fileURLProvider = {},
                                QWidget* parent = nullptr);

    void setFill(double fill);
    void setColor(const QColor& color);

    QSize sizeHint() const override { return {22, 22}; }

    // Whether the tray has embedded and drawn it: before that its position means nothing.
    bool isOnScreen() const { return m_onScreen; }

Q_SIGNALS:
    void cameOnScreen();

Q_SIGNALS:
    // A press ended without having become a drag.
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void startDrag();

    FileURLProvider m_fileURLProvider;
    std::optional<QPoint> m_mouseDownPosition;
    double m_fill = 0.0;
    bool m_onScreen = false;
    const ImageDecoder m_decoder;
    QColor m_color = Qt::white;
};

}  // namespace framlet
