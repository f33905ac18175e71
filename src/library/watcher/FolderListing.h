#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>

#include "library/decoding/FileStamp.h"

namespace framlet {

// One image file found in a watched folder, with the date it was created.
struct ListedFile {
    QUrl url;
    QDateTime createdAt;
    FileStamp stamp;

    friend bool operator==(const ListedFile&, const ListedFile&) = default;
};

// The shallow contents of one folder that count as screenshots: regular, visible files with an
// image extension, in the order the file system returns them. Reads the directory with readdir
// and one statx per candidate relative to the directory descriptor, so thousands of files list
// in milliseconds. Safe to call from any thread.
class FolderListing {
public:
    struct Result {
        QList<ListedFile> files;
        // Image files left out because their names are not valid UTF-8: a QString cannot hold
        // such a name, so the file could never be opened again through it.
        int undecodableNames = 0;
        // Whether the folder itself could be opened; a missing or unreadable one lists as empty.
        bool readable = false;
        // Whether it is known not to exist (or not to be a folder): its files are gone for sure.
        // A folder that exists but cannot be read says nothing about its files.
        bool gone = false;
    };

    static Result list(const QString& folderPath);

    // The date of files whose times cannot be read: sorts before every real date.
    static QDateTime distantPast();
};

}  // namespace framlet
