#pragma once

#include <QIcon>
#include <QWidget>

namespace framlet {

// One of the shelf's symbols at a fixed size. Unlike a label's pixmap it is drawn afresh at each
// painting, so a symbolic icon follows the palette when the theme changes.
class SymbolView : public QWidget {
public:
    SymbolView(const QString& symbol, int size, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QIcon m_icon;
};

}  // namespace framlet
