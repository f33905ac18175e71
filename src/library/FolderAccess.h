#pragma once

#include <QFuture>
#include <QUrl>

namespace framlet {

// Whether the program can read a folder at all.
namespace FolderAccess {

enum class Status {
    granted,  // the folder's contents can be listed
    denied,   // the folder exists, or may exist, but cannot be listed
    missing,  // there is no such folder
};

// Lists the folder's names once. Blocks while the file system answers, so the main thread uses
// probeOffMain instead.
Status probe(const QUrl& folder);

// probe on a pool thread. Attach the continuation with a context object
// (future.then(receiver, ...)) to get the answer back on the receiver's thread.
QFuture<Status> probeOffMain(const QUrl& folder);

}  // namespace FolderAccess
}  // namespace framlet
