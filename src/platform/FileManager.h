#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

namespace framlet {

// The desktop's file handling: opening files in their default applications and showing them in a
// file manager window (the org.freedesktop.FileManager1 D-Bus service, or the containing folder
// when no file manager answers).
class FileManager : public QObject {
    Q_OBJECT

public:
    explicit FileManager(QObject* parent = nullptr);

    static FileManager& shared();

    // Opens the file in the application the desktop associates with it; false when nothing
    // could be started.
    virtual bool open(const QUrl& url);
    // Shows the files together, selected, in a file manager window. Asynchronous; without an
    // answering file manager each distinct containing folder is opened instead.
    virtual void reveal(const QList<QUrl>& urls);

Q_SIGNALS:
    // The file manager took the request.
    void revealed(const QList<QUrl>& urls);
    // No file manager answered; the folders were opened instead.
    void revealFellBack(const QList<QUrl>& folders);

private:
    void openFolders(const QList<QUrl>& urls);
};

}  // namespace framlet
