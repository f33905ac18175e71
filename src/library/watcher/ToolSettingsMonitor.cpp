#include "library/watcher/ToolSettingsMonitor.h"

#include <QDir>
#include <QFileInfo>

#include "library/watcher/ChangeCoalescer.h"
#include "library/watcher/ScreenshotWatcher.h"
#include "platform/FolderEventStream.h"

namespace framlet {
namespace {

QStringList parentFolders(const QStringList& files) {
    QStringList folders;
    for (const QString& file : files) {
        const QString folder = QFileInfo(QDir::cleanPath(file)).path();
        if (!folders.contains(folder)) {
            folders.append(folder);
        }
    }
    return folders;
}

}  // namespace

ToolSettingsMonitor::ToolSettingsMonitor(const QStringList& settingsFiles, TimerSource& timers,
                                         QObject* parent)
    : QObject(parent)
    , m_folders(parentFolders(settingsFiles))
    , m_stream(std::make_unique<FolderEventStream>(m_folders,
                                                   FolderEventStream::Reports::NamesAndWrites))
    , m_coalescer(new ChangeCoalescer(ScreenshotWatcher::latency, timers, this)) {
    connect(m_stream.get(), &FolderEventStream::changed, m_coalescer, &ChangeCoalescer::notice);
    connect(m_coalescer, &ChangeCoalescer::fired, this, &ToolSettingsMonitor::changed);
}

ToolSettingsMonitor::~ToolSettingsMonitor() = default;

bool ToolSettingsMonitor::start() {
    return m_stream->start();
}

bool ToolSettingsMonitor::isSettled() const {
    return m_stream->isSettled();
}

}  // namespace framlet
