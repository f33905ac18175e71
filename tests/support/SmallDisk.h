#pragma once

#include <QString>

namespace framlet::test {

// A small tmpfs mounted over a folder in a mount namespace of this process's own, for writes that
// must meet a really full disk. The namespace lasts as long as the process, so a test runs its
// full-disk case as a child of its own (runChild); nothing outside the child sees the mount.
class SmallDisk {
public:
    // In the parent: runs the test named `childTest` in a child whose small disk is mounted at
    // `folder`, and passes, fails or skips (no privilege for a mount namespace) as the child did.
    static void runChild(const QString& childTest, const QString& folder);
    // In the child: mounts `bytes` of tmpfs at the folder the parent named; an empty string when
    // that is not possible here, which the child reports as a skip.
    static QString mountForChild(qint64 bytes = 256 * 1024);

    // Mounts `bytes` of tmpfs over `folder`; an empty text when it worked, else why not.
    static QString mount(const QString& folder, qint64 bytes = 256 * 1024);
    // Takes every free byte of the file system holding `folder`, so the next write fails ENOSPC.
    static bool fill(const QString& folder);
};

}  // namespace framlet::test

// The first line of a full-disk child test: the folder of its small disk, or a skip.
#define FRAMLET_SMALL_DISK(folder, ...)                                            \
    const QString folder = ::framlet::test::SmallDisk::mountForChild(__VA_ARGS__); \
    if (folder.isEmpty()) {                                                        \
        GTEST_SKIP() << "no private mount namespace here";                         \
    }
