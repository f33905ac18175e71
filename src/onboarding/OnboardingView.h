#pragma once

#include <QDir>
#include <QHash>
#include <QUrl>
#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;
class QStackedLayout;
class QVBoxLayout;

namespace framlet {

class FolderOptionRow;
class GnomeShortcutButton;
class HotKeyStatus;
class SymbolView;
class OnboardingModel;
class Settings;

// The onboarding window's content: one screen per step of the model, each with its symbol,
// title, text, own controls and a primary button that Return presses. Every button calls the
// model, except "Show in File Manager", which is the desktop's business.
class OnboardingView : public QWidget {
    Q_OBJECT

public:
    using ShowFolder = std::function<void(const QUrl& folder)>;

    OnboardingView(OnboardingModel& model, Settings& settings, ShowFolder showInFileManager,
                   QWidget* parent = nullptr);

    // The folder's path with the home folder at its start written "~".
    static QString displayPath(const QUrl& folder, const QString& home = QDir::homePath());

    // The current screen's title and the button Return presses (none while checking).
    QString title() const;
    QPushButton* primaryButton() const;
    FolderOptionRow* detectedRow() const { return m_detectedRow; }
    FolderOptionRow* customRow() const { return m_customRow; }

    // Puts GNOME's shortcut button on the last screen, above Done; it shows only where GNOME
    // runs the shortcut's command and lacks the entry.
    void offerGnomeShortcut(HotKeyStatus& status);
    GnomeShortcutButton* gnomeShortcutButton() const { return m_gnomeShortcut; }

protected:
    void changeEvent(QEvent* event) override;

private:
    struct Screen {
        QWidget* widget = nullptr;
        QLabel* title = nullptr;
        QLabel* body = nullptr;
        QPushButton* primary = nullptr;
        QLabel* caption = nullptr;
    };
    struct Look {
        QString symbol;
        QColor colour;
        QString title;
    };

    Screen makeScreen(const Look& look, QWidget* block, const QString& primary);
    QWidget* makeFolderOptions();
    QWidget* makeReassurance();
    QWidget* makeChecking();
    QWidget* makeFailureButtons(Screen& screen);
    void addScreens();
    SymbolView* symbol(const QString& name, int size, const QColor& colour);
    void tintSymbols();
    void clickPrimary();
    void refresh();
    QString shortcutText() const;

    OnboardingModel& m_model;
    Settings& m_settings;
    ShowFolder m_showInFileManager;
    QStackedLayout* m_stack;
    QList<Screen> m_screens;  // in step order
    QList<QPair<SymbolView*, QColor>> m_symbols;
    FolderOptionRow* m_detectedRow = nullptr;
    FolderOptionRow* m_customRow = nullptr;
    GnomeShortcutButton* m_gnomeShortcut = nullptr;
};

}  // namespace framlet
