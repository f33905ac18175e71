#pragma once

#include "shelf/AllWorkspacesWindow.h"

class QImage;
class QMovie;

namespace framlet {

class PreviewImageView;

// The preview's window: titled, closable and resizable, floating above the shelf on every
// workspace. Its close button only asks for closing; the owner decides and hides it.
class PreviewPanel : public AllWorkspacesWindow {
    Q_OBJECT

public:
    PreviewPanel();

    PreviewImageView* imageView() const { return m_imageView; }

Q_SIGNALS:
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    PreviewImageView* m_imageView;
};

}  // namespace framlet
