#include "shelf/PanelView.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QShortcut>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "library/store/ScreenshotStore.h"
#include "library/watcher/ScreenshotLocation.h"
#include "preferences/Settings.h"
#include "settings/TextScale.h"
#include "settings/ThemePalette.h"
#include "shelf/FirstCaptureBanner.h"
#include "shelf/ImagePreviewController.h"
#include "shelf/OlderMatches.h"
#include "shelf/PreviewPanel.h"  // ImagePreviewController::panel() needs the whole type
#include "shelf/SelectionModel.h"
#include "shelf/ShelfFilter.h"
#include "shelf/ShelfServices.h"
#include "shelf/SymbolView.h"
#include "shelf/Symbols.h"
#include "shelf/ThumbnailGrid.h"
#include "shelf/ThumbnailInteraction.h"

namespace framlet {

namespace {

QFrame* divider() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

}  // namespace

PanelView::PanelView(ScreenshotStore& store, SelectionModel& selection, Settings& settings,
                     const ShelfServices& services, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
    , m_selection(selection)
    , m_settings(settings)
    , m_filter(new ShelfFilter(this))
    , m_interaction(new ThumbnailInteraction(
          store, selection, services.actions, services.preview,
          [this] { return m_filter->visibleIds(); }, this)) {
    m_filter->setSourceModel(&store);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(makeSearchBar());

    m_folderPicker = new QTabBar;
    m_folderPicker->setObjectName(QStringLiteral("folderPicker"));
    m_folderPicker->setAccessibleName(QStringLiteral("Folder"));
    m_folderPicker->setExpanding(true);
    m_folderPicker->setDrawBase(false);
    m_folderPicker->setDocumentMode(true);
    m_folderPicker->setUsesScrollButtons(true);
    auto* pickerRow = new QWidget;
    auto* pickerLayout = new QHBoxLayout(pickerRow);
    pickerLayout->setContentsMargins(8, 0, 8, 8);
    pickerLayout->addWidget(m_folderPicker);
    stack->addWidget(pickerRow);
    connect(m_folderPicker, &QTabBar::currentChanged, this, &PanelView::folderPicked);

    m_banner = new FirstCaptureBanner;
    stack->addWidget(m_banner);
    stack->addWidget(divider());

    m_grid = new ThumbnailGrid(*m_filter, selection, *m_interaction);
    auto* shelfPage = new QWidget;
    auto* pageLayout = new QVBoxLayout(shelfPage);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->setSpacing(0);
    pageLayout->addWidget(m_grid, 1);
    if (services.older) {
        makeOlderSection(*pageLayout, services);
    }
    m_shelf = new QStackedWidget;
    m_shelf->setObjectName(QStringLiteral("shelf"));
    m_shelf->addWidget(shelfPage);
    m_shelf->addWidget(makeEmptyState());
    stack->addWidget(m_shelf, 1);
    stack->addWidget(divider());
    stack->addWidget(makeFooter());

    // The desktops' shortcut for an application's preferences.
    auto* openSettings = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma), this);
    openSettings->setObjectName(QStringLiteral("openSettings"));
    connect(openSettings, &QShortcut::activated, this, &PanelView::settingsRequested);
    connectModels();

    refreshFolders();
    queryEdited(QString());
    m_banner->setVisible(store.showFirstCaptureCeremony());
    m_grid->setColumns(settings.columns());
    updateCount();
    updateSize();
    services.theme.follow(this);
}

PanelView::~PanelView() = default;

QString PanelView::searchPlaceholder() {
    return QStringLiteral("Search filenames and text in images…");
}

QString PanelView::countText(qsizetype selected, qsizetype shots) {
    return selected > 0 ? QStringLiteral("%1 selected").arg(selected)
                        : QStringLiteral("%1 shots").arg(shots);
}

QString PanelView::emptyTitle(const QString& query) {
    return query.isEmpty() ? QStringLiteral("No screenshots yet") : QStringLiteral("No matches");
}

QString PanelView::emptyCaption(const QString& query) {
    return query.isEmpty() ? QStringLiteral("Take a screenshot and it appears here.") : QString();
}

QWidget* PanelView::shelfArea() const {
    return m_shelf;
}

// Cells as the shelf's, over a store, selection and interaction of their own, under a header.
void PanelView::makeOlderSection(QVBoxLayout& page, const ShelfServices& services) {
    m_older = services.older;
    ScreenshotStore& older = m_older->store();
    auto* filter = new ShelfFilter(this);
    filter->setSourceModel(&older);
    auto* selection = new SelectionModel(this);
    auto* interaction = new ThumbnailInteraction(
        older, *selection, services.actions, services.preview,
        [filter] { return filter->visibleIds(); }, this);
    m_olderSection = new QWidget;
    m_olderSection->setObjectName(QStringLiteral("olderScreenshots"));
    auto* column = new QVBoxLayout(m_olderSection);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(divider());
    auto* header = new QLabel(QStringLiteral("Older screenshots"));
    header->setObjectName(QStringLiteral("olderHeader"));
    header->setContentsMargins(12, 6, 12, 0);
    header->setForegroundRole(QPalette::PlaceholderText);
    QFont caption = header->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    caption.setBold(true);
    header->setFont(caption);
    column->addWidget(header);
    m_olderGrid = new ThumbnailGrid(*filter, *selection, *interaction);
    m_olderGrid->setObjectName(QStringLiteral("olderGrid"));
    m_olderGrid->setColumns(m_settings.columns());
    column->addWidget(m_olderGrid, 1);
    page.addWidget(m_olderSection, 1);
    connect(&m_settings, &Settings::columnsChanged, m_olderGrid,
            [this] { m_olderGrid->setColumns(m_settings.columns()); });
    connect(filter, &ShelfFilter::visibleIdsChanged, this, &PanelView::updateShelfArea);
}

QWidget* PanelView::makeSearchBar() {
    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("search"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(8, 8, 8, 8);
    row->setSpacing(6);
    row->addWidget(new SymbolView(QStringLiteral("magnifyingglass"), 16));
    m_search = new QLineEdit;
    m_search->setObjectName(QStringLiteral("searchField"));
    m_search->setFrame(false);
    m_search->setPlaceholderText(searchPlaceholder());
    m_search->setAccessibleName(QStringLiteral("Search screenshots"));
    m_search->setAccessibleDescription(searchPlaceholder());
    m_search->setAttribute(Qt::WA_MacShowFocusRect, false);
    QPalette clear = m_search->palette();
    clear.setColor(QPalette::Base, Qt::transparent);
    m_search->setPalette(clear);
    row->addWidget(m_search, 1);
    m_clearSearch = new QToolButton;
    m_clearSearch->setObjectName(QStringLiteral("clearSearch"));
    m_clearSearch->setAutoRaise(true);
    m_clearSearch->setIcon(Symbols::icon(QStringLiteral("xmark.circle.fill"), m_clearSearch));
    m_clearSearch->setToolTip(QStringLiteral("Clear search"));
    m_clearSearch->setAccessibleName(QStringLiteral("Clear search"));
    m_clearSearch->setFocusPolicy(Qt::TabFocus);
    // The row keeps its height whether or not there is something to clear.
    QSizePolicy keepSpace = m_clearSearch->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    m_clearSearch->setSizePolicy(keepSpace);
    row->addWidget(m_clearSearch);
    connect(m_search, &QLineEdit::textChanged, this, &PanelView::queryEdited);
    connect(m_clearSearch, &QToolButton::clicked, m_search, &QLineEdit::clear);
    return bar;
}

QWidget* PanelView::makeEmptyState() {
    m_emptyState = new QWidget;
    m_emptyState->setObjectName(QStringLiteral("emptyState"));
    auto* column = new QVBoxLayout(m_emptyState);
    column->setSpacing(8);
    column->addStretch(1);
    column->addWidget(new SymbolView(QStringLiteral("camera.viewfinder"), 32), 0, Qt::AlignHCenter);
    m_emptyTitle = new QLabel;
    m_emptyTitle->setObjectName(QStringLiteral("emptyTitle"));
    m_emptyTitle->setAlignment(Qt::AlignCenter);
    m_emptyTitle->setForegroundRole(QPalette::PlaceholderText);
    column->addWidget(m_emptyTitle);
    m_emptyCaption = new QLabel;
    m_emptyCaption->setObjectName(QStringLiteral("emptyCaption"));
    m_emptyCaption->setAlignment(Qt::AlignCenter);
    m_emptyCaption->setWordWrap(true);
    m_emptyCaption->setForegroundRole(QPalette::PlaceholderText);
    QFont caption = m_emptyCaption->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    m_emptyCaption->setFont(caption);
    column->addWidget(m_emptyCaption);
    column->addStretch(1);
    return m_emptyState;
}

QWidget* PanelView::makeFooter() {
    auto* footer = new QWidget;
    m_footer = new QHBoxLayout(footer);
    m_footer->setContentsMargins(10, 6, 10, 6);
    m_count = new QLabel;
    m_count->setObjectName(QStringLiteral("count"));
    m_count->setForegroundRole(QPalette::PlaceholderText);
    QFont caption = m_count->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    m_count->setFont(caption);
    m_footer->addWidget(m_count);
    m_footer->addStretch(1);
    m_settingsButton = makeFooterButton(QStringLiteral("gearshape"), QStringLiteral("Settings"),
                                        &PanelView::settingsRequested);
    m_settingsButton->setObjectName(QStringLiteral("settings"));
    m_quitButton = makeFooterButton(QStringLiteral("power"), QStringLiteral("Quit Framlet"),
                                    &PanelView::quitRequested);
    m_quitButton->setObjectName(QStringLiteral("quit"));
    m_footer->addWidget(m_settingsButton);
    m_footer->addWidget(m_quitButton);
    return footer;
}

QToolButton* PanelView::makeFooterButton(const QString& symbol, const QString& toolTip,
                                         void (PanelView::*requested)()) {
    auto* button = new QToolButton;
    button->setAutoRaise(true);
    button->setIcon(Symbols::icon(symbol, button));
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip);
    // Reached with Tab; a click leaves the focus where it was.
    button->setFocusPolicy(Qt::TabFocus);
    connect(button, &QToolButton::clicked, this, requested);
    return button;
}

void PanelView::setUpdateCheckOffered(bool offered) {
    delete m_updateButton;
    m_updateButton = nullptr;
    if (offered) {
        m_updateButton = makeFooterButton(QStringLiteral("arrow.down.circle"),
                                          QStringLiteral("Check for Updates…"),
                                          &PanelView::updateCheckRequested);
        m_updateButton->setObjectName(QStringLiteral("update"));
        m_footer->insertWidget(m_footer->indexOf(m_settingsButton), m_updateButton);
        // Made after the others: put in the Tab chain where it stands.
        setTabOrder(m_updateButton, m_settingsButton);
        setTabOrder(m_settingsButton, m_quitButton);
    }
}

void PanelView::setTranslucentCorners(bool translucent) {
    m_translucentCorners = translucent;
    update();
}

void PanelView::connectModels() {
    connect(&m_store, &ScreenshotStore::showFirstCaptureCeremonyChanged, m_banner,
            &QWidget::setVisible);
    connect(m_banner, &FirstCaptureBanner::dismissed, this, &PanelView::dismissBanner);
    connect(m_filter, &ShelfFilter::visibleIdsChanged, this, &PanelView::updateShelfArea);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(&m_store, signal, this, &PanelView::updateCount);
    }
    connect(&m_store, &QAbstractItemModel::modelReset, this, &PanelView::updateCount);
    connect(&m_selection, &SelectionModel::idsChanged, this, &PanelView::updateCount);
    connect(&m_settings, &Settings::columnsChanged, this,
            [this] { m_grid->setColumns(m_settings.columns()); });
    connect(&m_settings, &Settings::panelHeightChanged, this, &PanelView::updateSize);
    connect(&m_settings, &Settings::watchedFolderChanged, this, &PanelView::refreshFolders);
}

void PanelView::queryEdited(const QString& query) {
    m_clearSearch->setVisible(!query.isEmpty());
    m_filter->setQuery(query);
    if (m_older) {
        m_older->setQuery(query);
    }
    m_emptyTitle->setText(emptyTitle(query));
    m_emptyCaption->setText(emptyCaption(query));
    m_emptyCaption->setVisible(!emptyCaption(query).isEmpty());
    updateShelfArea();
}

// Only a configured list can give the two folders a picker needs. Without one the shelf shows
// the screenshot location alone, which needs no picker, so it is not looked up here: finding it
// may run a program (the desktop's settings tool), and the delegate already does so on opening.
void PanelView::refreshFolders() {
    const QList<QUrl> folders = m_settings.watchedFolders().isEmpty()
                                    ? QList<QUrl>()
                                    : ScreenshotLocation::resolvedFolders(m_settings);
    if (folders == m_folders && m_folderPicker->count() > 0) {
        return;
    }
    m_folders = folders;
    QStringList paths;
    const QSignalBlocker blocker(m_folderPicker);
    while (m_folderPicker->count() > 0) {
        m_folderPicker->removeTab(0);
    }
    m_folderPicker->addTab(QStringLiteral("All"));
    for (const QUrl& folder : folders) {
        const QString path = folder.adjusted(QUrl::StripTrailingSlash).path();
        paths.append(path);
        const int tab =
            m_folderPicker->addTab(folder.adjusted(QUrl::StripTrailingSlash).fileName());
        m_folderPicker->setTabData(tab, path);
        m_folderPicker->setTabToolTip(tab, path);
    }
    // A filter on a folder no longer watched would hide screenshots with no picker left to
    // undo it.
    const auto current = m_filter->folder();
    if (current && !paths.contains(*current)) {
        m_filter->setFolder(std::nullopt);
    }
    const auto selected = m_filter->folder();
    m_folderPicker->setCurrentIndex(selected ? int(paths.indexOf(*selected)) + 1 : 0);
    m_folderPicker->parentWidget()->setVisible(folders.size() >= 2);
}

void PanelView::folderPicked(int index) {
    const QVariant path = m_folderPicker->tabData(index);
    m_filter->setFolder(path.isValid() ? std::optional<QString>(path.toString()) : std::nullopt);
}

void PanelView::dismissBanner() {
    m_store.setShowFirstCaptureCeremony(false);
    m_settings.setHasCelebratedFirstCapture(true);
}

void PanelView::updateShelfArea() {
    const bool own = m_filter->rowCount() > 0;
    const bool older = m_older && m_older->store().count() > 0 && !m_search->text().isEmpty();
    m_grid->setVisible(own);
    if (m_olderSection) {
        m_olderSection->setVisible(older);
    }
    m_shelf->setCurrentIndex(own || older ? 0 : 1);
}

void PanelView::updateCount() {
    m_count->setText(countText(m_selection.ids().size(), m_store.count()));
}

void PanelView::updateSize() {
    setFixedSize(sizeHint());
    updateGeometry();
}

QSize PanelView::sizeHint() const {
    // Wider with larger text, so that the search field and the footer keep their words.
    return {TextScale::grown(panelWidth, font()), std::max(1, qRound(m_settings.panelHeight()))};
}

void PanelView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refreshFolders();
}

void PanelView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = rect();
    QPainterPath shape;
    shape.addRoundedRect(area.adjusted(0.25, 0.25, -0.25, -0.25), cornerRadius, cornerRadius);
    QColor background = palette().color(QPalette::Window);
    if (m_translucentCorners) {
        background.setAlphaF(0.96f);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(area, Qt::transparent);
        painter.fillPath(shape, background);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    } else {
        painter.fillRect(area, background);
    }
    QColor border = palette().color(QPalette::WindowText);
    border.setAlphaF(0.12f);
    painter.setPen(QPen(border, 0.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
}

}  // namespace framlet
