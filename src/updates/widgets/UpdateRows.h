#pragma once

#include <QObject>

class QCheckBox;
class QFormLayout;
class QLabel;
class QProgressBar;
class QPushButton;

namespace framlet {

class Updater;

// The settings window's update rows under "Version": the automatic-check toggle and "Check Now…"
// with the updater's status beside it. Shown only while the updater is available.
class UpdateRows : public QObject {
    Q_OBJECT

public:
    UpdateRows(Updater& updater, QFormLayout& form);

    QCheckBox* automaticChecks() const { return m_automatic; }
    QPushButton* checkNow() const { return m_checkNow; }
    QLabel* statusText() const { return m_status; }

private:
    void showStatus();
    void showAvailability();

    Updater& m_updater;
    QFormLayout& m_form;
    QCheckBox* m_automatic;
    QPushButton* m_checkNow;
    QProgressBar* m_busy;
    QLabel* m_status;
    QWidget* m_checkRow;
};

}  // namespace framlet
