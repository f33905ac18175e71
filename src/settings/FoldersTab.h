#pragma once

#include <QWidget>
#include <functional>

#include "settings/SettingsServices.h"

class QCheckBox;
class QFormLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace framlet {

class FolderChooser;
class Settings;

// The folders the shelf watches: the screenshot tool's folder while the list is empty, else the
// list with a remove button per folder; a button to add one. Below, the screenshot tool's own
// notification, where that tool has a setting for it.
class FoldersTab : public QWidget {
    Q_OBJECT

public:
    explicit FoldersTab(const SettingsServices& services, QWidget* parent = nullptr);

    // Asks for a folder and adds it to the watched folders.
    void addFolder();
    // Looks up the screenshot tool and its folder again, off the main thread.
    void refreshSource();

    // The path with the home folder shown as "~".
    static QString displayPath(const QString& path, const QString& home);

    QPushButton* addButton() const { return m_add; }
    QCheckBox* notificationToggle() const { return m_notification; }
    QLabel* notificationCaption() const { return m_notificationCaption; }
    QWidget* folderList() const { return m_folders; }
    QCheckBox* olderToggle() const { return m_older; }
    QLabel* readingProgress() const { return m_progress; }
    QPushButton* forgetButton() const { return m_forget; }
    const ScreenshotSource& source() const { return m_source; }

Q_SIGNALS:
    // The tool and its folder were looked up afresh and are shown.
    void sourceShown();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* makeFoldersSection();
    QWidget* makeToolSection();
    QWidget* makeSearchSection(RecognisedText& text);
    void showFolders();
    void showSource(const ScreenshotSource& source);
    void setNotificationSuppressed(bool suppressed);

    Settings& m_settings;
    FolderChooser& m_chooser;
    std::function<ScreenshotSource()> m_lookUpSource;
    ScreenshotSource m_source;
    QVBoxLayout* m_foldersLayout = nullptr;
    QWidget* m_folders = nullptr;
    QPushButton* m_add = nullptr;
    QCheckBox* m_notification = nullptr;
    QLabel* m_notificationCaption = nullptr;
    QCheckBox* m_older = nullptr;
    QLabel* m_progress = nullptr;
    QPushButton* m_forget = nullptr;
};

}  // namespace framlet
