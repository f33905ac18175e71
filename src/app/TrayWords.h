#pragma once

#include <QObject>
#include <QString>

namespace framlet {

// What the tray item says in words, for tooltips and screen readers: the program's name, and
// while the lantern is lit how many captures wait unseen. Told of each live capture and of the
// lantern being emptied; publishes the title and the line of text beneath it.
class TrayWords : public QObject {
    Q_OBJECT

public:
    explicit TrayWords(QObject* parent = nullptr);

    static QString titleFor(int unseen);
    static QString textFor(int unseen);

    int unseen() const { return m_unseen; }
    QString title() const { return titleFor(m_unseen); }
    QString text() const { return textFor(m_unseen); }

    void captureArrived();
    void lanternEmptied();

Q_SIGNALS:
    void wordsChanged(const QString& title, const QString& text);

private:
    void setUnseen(int unseen);

    int m_unseen = 0;
};

}  // namespace framlet
