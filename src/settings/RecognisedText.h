#pragma once

#include <QObject>
#include <QString>

namespace framlet {

// The text recognised inside the screenshots as the settings window shows it: how far the
// reading of the older screenshots has come, and a way to forget all of it. Kept by a layer
// above the window.
class RecognisedText : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // "Reading older screenshots: 340 of 2,000"; empty when there is nothing to read.
    virtual QString progressText() const = 0;
    virtual void forgetRecognisedText() = 0;

Q_SIGNALS:
    void progressTextChanged(const QString& text);
};

}  // namespace framlet
