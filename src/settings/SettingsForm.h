#pragma once

#include <QString>

class QFormLayout;
class QGroupBox;
class QLabel;
class QScrollArea;
class QVBoxLayout;
class QWidget;

namespace framlet {

// The pieces every settings tab is made of: a scrolling column of titled sections, and captions
// in small secondary text under the controls they explain.
namespace SettingsForm {

// A scroll area over a column; sections are added to `column`.
QScrollArea* page(QVBoxLayout*& column);
QGroupBox* section(const QString& title, QFormLayout*& form);
QLabel* caption(const QString& text);

}  // namespace SettingsForm
}  // namespace framlet
