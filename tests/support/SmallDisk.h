#pragma once

#include <QString>

namespace framlet::test {

// A small tmpfs mounted over a folder in a mount namespace of this process's own, for writes that
// must meet a really full disk. The namespace lasts as long as the process, so only a child
// started by runSelf mounts one; nothing outside the process sees it.
class SmallDisk {
public:
    // Mounts `bytes` of tmpfs over `folder`; an empty text when it worked, else why not (no
    // privilege for a mount namespace).
    static QString mount(const QString& folder, qint64 bytes = 256 * 1024);
    // Takes every free byte of the file system holding `folder`, so the next write fails ENOSPC.
    static bool fill(const QString& folder);
};

}  // namespace framlet::test
