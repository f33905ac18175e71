#include "settings/AppearanceTab.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "preferences/Settings.h"
#include "settings/SettingsForm.h"

namespace framlet {
namespace {

QString capitalised(const QString& word) {
    return word.left(1).toUpper() + word.mid(1);
}

}  // namespace

AppearanceTab::AppearanceTab(Settings& settings, QWidget* parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_theme(new QComboBox)
    , m_columns(new QComboBox)
    , m_height(new QSlider(Qt::Horizontal))
    , m_heightLabel(new QLabel) {
    for (const auto theme :
         {Settings::Theme::system, Settings::Theme::light, Settings::Theme::dark}) {
        m_theme->addItem(capitalised(Settings::rawValue(theme)), QVariant::fromValue(theme));
    }
    for (int columns = Settings::columnsRange.lowest; columns <= Settings::columnsRange.highest;
         ++columns) {
        m_columns->addItem(QStringLiteral("%1 columns").arg(columns), columns);
    }
    m_height->setRange(int(Settings::panelHeightRange.lowest),
                       int(Settings::panelHeightRange.highest));

    connect(m_theme, &QComboBox::activated, this, [this](int index) {
        m_settings.setTheme(m_theme->itemData(index).value<Settings::Theme>());
    });
    connect(m_columns, &QComboBox::activated, this,
            [this](int index) { m_settings.setColumns(m_columns->itemData(index).toInt()); });
    // Each store waits for the disk (about 10 ms): a drag stores where it ends, while the label
    // follows every step.
    m_height->setTracking(false);
    connect(m_height, &QSlider::sliderMoved, this,
            [this](int height) { m_heightLabel->setText(heightText(height)); });
    connect(m_height, &QSlider::valueChanged, &m_settings, &Settings::setPanelHeight);
    for (auto changed :
         {&Settings::themeChanged, &Settings::columnsChanged, &Settings::panelHeightChanged}) {
        connect(&settings, changed, this, &AppearanceTab::showSettings);
    }

    QFormLayout* form = nullptr;
    QGroupBox* panel = SettingsForm::section(QStringLiteral("Panel"), form);
    form->addRow(QStringLiteral("Theme"), m_theme);
    form->addRow(QStringLiteral("Number of columns"), m_columns);
    auto* heightStack = new QVBoxLayout;
    heightStack->addWidget(m_heightLabel, 0, Qt::AlignLeft);
    heightStack->addWidget(m_height);
    m_height->setAccessibleName(QStringLiteral("Panel height"));  // its value is read out apart
    form->addRow(heightStack);
    SettingsForm::fillTab(*this, {panel});
    showSettings();
}

QString AppearanceTab::heightText(double height) {
    return QStringLiteral("Panel height: %1 px").arg(qint64(height));
}

void AppearanceTab::showSettings() {
    m_theme->setCurrentIndex(m_theme->findData(QVariant::fromValue(m_settings.theme())));
    m_columns->setCurrentIndex(m_columns->findData(m_settings.columns()));
    const QSignalBlocker blocker(m_height);
    m_height->setValue(qRound(m_settings.panelHeight()));
    m_heightLabel->setText(heightText(m_settings.panelHeight()));
}

}  // namespace framlet
