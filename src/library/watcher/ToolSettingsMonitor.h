#pragma once

#include <QObject>
#include <QStringList>
#include <memory>

#include "platform/TimerSource.h"

namespace framlet {

class ChangeCoalescer;
class FolderEventStream;

// Tells when the screenshot tools' settings files may have changed, so the owner can look up the
// screenshot location again. The folders holding the files are watched rather than the files,
// because tools replace them by renaming and create them (and their folders) at first use; any
// change in such a folder counts, so `changed` can come without a file of interest changing.
// Bursts are merged as the watcher merges folder events.
class ToolSettingsMonitor : public QObject {
    Q_OBJECT

public:
    ToolSettingsMonitor(const QStringList& settingsFiles, TimerSource& timers,
                        QObject* parent = nullptr);
    ~ToolSettingsMonitor() override;

    // False when no event source could be opened: the location is then followed only when the
    // shelf opens. The watches are placed off this thread, shortly after.
    bool start();
    // Whether the watches are in place.
    bool isSettled() const;
    QStringList folders() const { return m_folders; }

Q_SIGNALS:
    void changed();

private:
    QStringList m_folders;
    std::unique_ptr<FolderEventStream> m_stream;
    ChangeCoalescer* m_coalescer;
};

}  // namespace framlet
