#pragma once

#include <QList>
#include <QString>
#include <QUrl>

namespace framlet {

// The freedesktop Trash: the home Trash under $XDG_DATA_HOME, or the .Trash-$uid folder at the
// top of another file system for the files that live there. Blocking; safe from any thread, so
// callers run it off the main thread.
class Trash {
public:
    struct Failure {
        QUrl url;
        QString message;  // a sentence for the user and the log
    };

    struct Result {
        QList<QUrl> moved;  // in the order given
        QList<Failure> failures;
    };

    Trash() = default;
    virtual ~Trash() = default;
    Trash(const Trash&) = delete;
    Trash& operator=(const Trash&) = delete;

    static Trash& shared();

    // Moves each file to the Trash, going on after a failure; every URL ends up in exactly one
    // of the two lists.
    virtual Result moveToTrash(const QList<QUrl>& urls) const;
};

}  // namespace framlet
