#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

#include "library/decoding/ImageDecoder.h"
#include "platform/Trash.h"

namespace framlet {

class Clipboard;
class FileManager;

// What the shelf's context menu does to a list of screenshot files (the effective set, in shelf
// order): open, reveal, copy the images or the paths, move to the Trash. Main thread only.
class ShelfActions : public QObject {
    Q_OBJECT

public:
    // Shows a failure to the user; the real one is a modal warning box.
    using Alert = std::function<void(const QString& message)>;
    // Told exactly the files that went to the Trash (possibly none).
    using TrashCompletion = std::function<void(const QList<QUrl>& moved)>;

    ShelfActions(Trash& trash, FileManager& fileManager, Clipboard& clipboard, DecodeBudget& budget,
                 Alert alert, QObject* parent = nullptr);
    ~ShelfActions() override;

    // Each file in its default application, in order.
    void open(const QList<QUrl>& urls);
    // All files together, selected, in a file manager window.
    void reveal(const QList<QUrl>& urls);
    // The files that decode as images; files that cannot be read are left out, and with none
    // left the clipboard ends up empty.
    void copyImages(const QList<QUrl>& urls);
    // The paths, one per line, without a trailing line feed; nothing happens for no files.
    void copyPaths(const QList<QUrl>& urls);
    // Moves the files to the Trash on a worker thread. Back on the main thread, `onMoved` hears
    // of the files that were moved unless `context` is gone by then; every failure is logged and
    // shown in one alert, and its file stays where it was.
    void moveToTrash(const QList<QUrl>& urls, QObject* context, TrashCompletion onMoved);

    // The modal warning box the program alerts with.
    static void showAlert(const QString& message);

private:
    void reportFailures(const QList<Trash::Failure>& failures);

    Trash& m_trash;
    FileManager& m_fileManager;
    Clipboard& m_clipboard;
    const ImageDecoder m_decoder;
    Alert m_alert;
};

}  // namespace framlet
