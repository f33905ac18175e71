#pragma once

#include <QAbstractButton>

namespace framlet {

// One of the folder screen's two choices: a radio mark, a title and the folder below it, the
// whole row clickable and tinted while selected.
class FolderOptionRow : public QAbstractButton {
    Q_OBJECT

public:
    explicit FolderOptionRow(QWidget* parent = nullptr);

    void setTexts(const QString& title, const QString& subtitle);
    QString title() const { return m_title; }
    QString subtitle() const { return m_subtitle; }
    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont subtitleFont() const;

    QString m_title;
    QString m_subtitle;
    bool m_selected = false;
};

}  // namespace framlet
