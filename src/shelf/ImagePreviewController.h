#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QUrl>
#include <QUuid>
#include <atomic>
#include <memory>

#include "library/decoding/ImageDecoder.h"

namespace framlet {

class DecodeBudget;
class PreviewPanel;
class TaskbarPresence;
class ThemePalette;

// The full-size preview: one screenshot at a time in a floating window of its own, above the
// shelf, stepping through a list with the arrow keys. While it is shown it watches every key
// press of the application: Space and Escape close it, the arrows step, and keys meant for a text
// field are left alone. Main thread only.
class ImagePreviewController : public QObject {
    Q_OBJECT

public:
    // The window manager has no numbered levels; these describe the stacking for the log.
    static constexpr int panelLevel = 102;  // one above the shelf

    // The preview window follows the theme, and the taskbar presence when one is given.
    ImagePreviewController(ThemePalette& theme, DecodeBudget& budget,
                           TaskbarPresence* taskbar = nullptr, QObject* parent = nullptr);
    ~ImagePreviewController() override;

    // Shows the item at startAt (clamped to the list) and makes the window active; replaces the
    // list and position of a preview already shown. An empty list is ignored.
    // `ids` parallels `urls`.
    void show(const QList<QUrl>& urls, const QList<QUuid>& ids, int startAt);
    // close() when the preview is shown, show() otherwise.
    void toggle(const QList<QUrl>& urls, const QList<QUuid>& ids, int startAt);
    // Hides the window (it is kept, with its size and place) and stops watching keys.
    void close();
    // Moves by offset (-1 or +1) with wrap-around; ignored with fewer than two items.
    void step(int offset);

    bool isVisible() const;
    int index() const { return m_index; }
    int count() const { return static_cast<int>(m_urls.size()); }
    // One line for the log: position, visibility, activation, level and title.
    QString debugInfo() const;
    // Null until the first show.
    PreviewPanel* panel() const;

Q_SIGNALS:
    // The preview moved to the item with this id.
    void stepped(const QUuid& id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void makePanel();
    void updateItem();
    void decodeInBackground(const QString& path);
    void showDecoded(const QString& path, const ImageDecoder::Result& decoded, bool animated);
    void startWatchingKeys();
    void stopWatchingKeys();
    bool handleKey(int key);

    ThemePalette& m_theme;
    const ImageDecoder m_decoder;
    TaskbarPresence* m_taskbar;
    QPointer<PreviewPanel> m_panel;
    QPointer<QWidget> m_returnTo;  // the window active when the preview opened
    QList<QUrl> m_urls;
    QList<QUuid> m_ids;
    int m_index = 0;
    bool m_watchingKeys = false;
    // The number of the latest decode asked for; shared with the decoding thread.
    std::shared_ptr<std::atomic<quint64>> m_latest = std::make_shared<std::atomic<quint64>>(0);
    QThreadPool m_decoding;  // last: destroyed first, waiting for a decode under way
};

}  // namespace framlet
