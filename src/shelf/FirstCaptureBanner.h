#pragma once

#include <QWidget>

namespace framlet {

// The note over the shelf after the first capture: what the shelf is for, and a button to
// dismiss it.
class FirstCaptureBanner : public QWidget {
    Q_OBJECT

public:
    explicit FirstCaptureBanner(QWidget* parent = nullptr);

    static QString title();
    static QString hint();

Q_SIGNALS:
    void dismissed();

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace framlet
