#pragma once

#include <QFuture>
#include <QUrl>

namespace framlet {

// Whether the program can read a folder at all.
namespace FolderAccess {

enum class Status {
    granted,  // the folder's contents can be listed and its files opened
    denied,   // the folder exists, or may exist, but cannot be listed or its files not opened
    missing,  // there is no such folder
};

// Lists the folder's names once and asks whether it may be searched. Blocks while the file
// system answers, so the main thread uses probeOffMain instead.
Status probe(const QUrl& folder);

// probe on the folder's thread (FolderThreads), so a folder that never answers holds one thread.
// Attach the continuation with a context object (future.then(receiver, ...)) to get the answer back
// on the receiver's thread.
QFuture<Status> probeOffMain(const QUrl& folder);

}  // namespace FolderAccess
}  // namespace framlet
