#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QStackedWidget;
class QTabBar;
class QVBoxLayout;
class QToolButton;

namespace framlet {

class FirstCaptureBanner;
class ImagePreviewController;
class OlderMatches;
class ScreenshotStore;
class SelectionModel;
class Settings;
class ShelfActions;
struct ShelfServices;
class ShelfFilter;
class ThumbnailGrid;
class ThumbnailInteraction;

// The whole content of the shelf panel, top to bottom: the search bar, the folder picker (with
// two or more watched folders), the first-capture banner, the grid of screenshots or the empty
// state, and the footer with the count and the settings and quit buttons. It keeps the search
// text and the folder filter for as long as it lives; everything else it shows comes from the
// store, the selection and the settings.
class PanelView : public QWidget {
    Q_OBJECT

public:
    static constexpr int panelWidth = 380;
    static constexpr qreal cornerRadius = 12;

    PanelView(ScreenshotStore& store, SelectionModel& selection, Settings& settings,
              const ShelfServices& services, QWidget* parent = nullptr);
    ~PanelView() override;

    static QString searchPlaceholder();
    // The footer's count: the selected screenshots while there are any, else the whole shelf.
    static QString countText(qsizetype selected, qsizetype shots);
    // What the empty shelf says: no caption once a query is typed.
    static QString emptyTitle(const QString& query);
    static QString emptyCaption(const QString& query);

    // Puts an update button into the footer, before the settings button, or removes it.
    void setUpdateCheckOffered(bool offered);
    // Rounded, translucent corners need a compositing manager; without one they would show
    // black, so by default the whole rectangle is painted.
    void setTranslucentCorners(bool translucent);

    // The parts the feature tour points at and the tests drive.
    QLineEdit* searchField() const { return m_search; }
    QTabBar* folderPicker() const { return m_folderPicker; }
    FirstCaptureBanner* banner() const { return m_banner; }
    QWidget* shelfArea() const;
    ThumbnailGrid* grid() const { return m_grid; }
    // The section of older screenshots below the grid; null without older matches offered.
    QWidget* olderSection() const { return m_olderSection; }
    ThumbnailGrid* olderGrid() const { return m_olderGrid; }
    QWidget* emptyState() const { return m_emptyState; }
    QLabel* countLabel() const { return m_count; }
    QToolButton* settingsButton() const { return m_settingsButton; }
    QToolButton* quitButton() const { return m_quitButton; }
    ShelfFilter& filter() const { return *m_filter; }
    ThumbnailInteraction& interaction() const { return *m_interaction; }

    // The watched folders, as last read: at construction, at every show and whenever the
    // watched-folder setting changes.
    QList<QUrl> folders() const { return m_folders; }

    QSize sizeHint() const override;

Q_SIGNALS:
    // The settings button was clicked, or the desktops' preferences shortcut pressed.
    void settingsRequested();
    void quitRequested();
    void updateCheckRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* makeSearchBar();
    QWidget* makeEmptyState();
    QWidget* makeFooter();
    QWidget* makeShelfPage();
    void makeOlderSection(QVBoxLayout& page, const ShelfServices& services);
    QToolButton* makeFooterButton(const QString& symbol, const QString& toolTip,
                                  void (PanelView::*requested)());
    void connectModels();

    void queryEdited(const QString& query);
    void refreshFolders();
    void folderPicked(int index);
    void dismissBanner();
    void updateShelfArea();
    void updateCount();
    void updateSize();

    ScreenshotStore& m_store;
    SelectionModel& m_selection;
    Settings& m_settings;
    ShelfFilter* m_filter;
    ThumbnailInteraction* m_interaction;
    QList<QUrl> m_folders;
    bool m_translucentCorners = false;

    QLineEdit* m_search = nullptr;
    QToolButton* m_clearSearch = nullptr;
    QTabBar* m_folderPicker = nullptr;
    FirstCaptureBanner* m_banner = nullptr;
    QStackedWidget* m_shelf = nullptr;
    ThumbnailGrid* m_grid = nullptr;
    OlderMatches* m_older = nullptr;
    QWidget* m_olderSection = nullptr;
    ThumbnailGrid* m_olderGrid = nullptr;
    QWidget* m_emptyState = nullptr;
    QLabel* m_emptyTitle = nullptr;
    QLabel* m_emptyCaption = nullptr;
    QHBoxLayout* m_footer = nullptr;
    QLabel* m_count = nullptr;
    QToolButton* m_updateButton = nullptr;
    QToolButton* m_settingsButton = nullptr;
    QToolButton* m_quitButton = nullptr;
};

}  // namespace framlet
