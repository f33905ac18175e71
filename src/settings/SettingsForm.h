#pragma once

#include <QList>
#include <QString>

class QFormLayout;
class QGroupBox;
class QLabel;
class QWidget;

namespace framlet {

// The pieces every settings tab is made of: a scrolling column of titled sections, and captions
// in small secondary text under the controls they explain.
namespace SettingsForm {

// Fills the tab with a scrolling column of these sections, from the top.
void fillTab(QWidget& tab, const QList<QWidget*>& sections);
QGroupBox* section(const QString& title, QFormLayout*& form);
QLabel* caption(const QString& text);

}  // namespace SettingsForm
}  // namespace framlet
