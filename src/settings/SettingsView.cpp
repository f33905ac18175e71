#include "settings/SettingsView.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QShortcut>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

#include "preferences/Settings.h"
#include "settings/AppearanceTab.h"
#include "settings/FoldersTab.h"
#include "settings/GeneralTab.h"
#include "settings/SettingsServices.h"

namespace framlet {

SettingsView::SettingsView(const SettingsServices& services, QWidget* parent)
    : QWidget(parent)
    , m_tabBar(new QTabBar)
    , m_pages(new QStackedWidget)
    , m_general(new GeneralTab(services))
    , m_appearance(new AppearanceTab(services.settings))
    , m_folders(new FoldersTab(services)) {
    m_tabBar->setObjectName(QStringLiteral("settingsTabs"));
    m_tabBar->setDrawBase(false);
    m_tabBar->setExpanding(false);
    for (const Tab tab : {Tab::general, Tab::appearance, Tab::folders}) {
        m_tabBar->addTab(label(tab));
    }
    m_pages->addWidget(m_general);
    m_pages->addWidget(m_appearance);
    m_pages->addWidget(m_folders);
    connect(m_tabBar, &QTabBar::currentChanged, m_pages, &QStackedWidget::setCurrentIndex);
    addTabKeys();

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(12, 12, 12, 12);
    bar->addStretch(1);
    bar->addWidget(m_tabBar);
    bar->addStretch(1);
    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(storageProblemBanner(services.settings));
    layout->addLayout(bar);
    layout->addWidget(divider);
    layout->addWidget(m_pages, 1);
}

// Shown for as long as the problem lasts, rather than once per change that could not be stored.
QLabel* SettingsView::storageProblemBanner(Settings& settings) {
    auto* banner = new QLabel;
    banner->setObjectName(QStringLiteral("storageProblem"));
    banner->setWordWrap(true);
    banner->setContentsMargins(12, 8, 12, 0);
    const auto show = [banner, &settings] {
        const QString problem = settings.storageProblem();
        banner->setText(QStringLiteral("Framlet can't save its settings (%1). Changes last until "
                                       "Framlet quits.")
                            .arg(problem));
        banner->setVisible(!problem.isEmpty());
    };
    connect(&settings, &Settings::storageProblemChanged, banner, show);
    show();
    return banner;
}

// The keys that step through tabs in browsers and tabbed dialogs.
void SettingsView::addTabKeys() {
    const auto step = [this](int offset) {
        const int count = m_tabBar->count();
        m_tabBar->setCurrentIndex((m_tabBar->currentIndex() + offset + count) % count);
    };
    for (const auto& [keys, offset] :
         {std::pair{QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
          std::pair{QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
          std::pair{QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1},
          std::pair{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1}}) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, [step, offset = offset] { step(offset); });
    }
}

QString SettingsView::label(Tab tab) {
    switch (tab) {
        case Tab::general:
            return QStringLiteral("General");
        case Tab::appearance:
            return QStringLiteral("Appearance");
        case Tab::folders:
            return QStringLiteral("Folders");
    }
    return {};
}

SettingsView::Tab SettingsView::selected() const {
    return static_cast<Tab>(m_tabBar->currentIndex());
}

void SettingsView::setSelected(Tab tab) {
    m_tabBar->setCurrentIndex(static_cast<int>(tab));
}

}  // namespace framlet
