#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>

namespace framlet {

// The desktop's clipboard (the CLIPBOARD selection on X11). Each write replaces all of its
// content. Main thread only.
class Clipboard {
public:
    Clipboard() = default;
    virtual ~Clipboard() = default;
    Clipboard(const Clipboard&) = delete;
    Clipboard& operator=(const Clipboard&) = delete;

    static Clipboard& shared();

    // Image files: the first image as image data, for pasting into image editors; with two or
    // more files also the file list, for pasting into file managers. `files` parallels `images`.
    // Nothing given empties the clipboard.
    virtual void setImages(const QList<QImage>& images, const QList<QUrl>& files);
    virtual void setText(const QString& text);
    virtual void clear();
};

}  // namespace framlet
