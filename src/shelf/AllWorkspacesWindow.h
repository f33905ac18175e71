#pragma once

#include <QWidget>

namespace framlet {

// A top-level window shown on every workspace and kept out of taskbars and pagers. The window
// manager reads those hints when it maps the window and forgets them when it unmaps it, so they
// go with every show.
class AllWorkspacesWindow : public QWidget {
    Q_OBJECT

public:
    explicit AllWorkspacesWindow(Qt::WindowFlags flags);

    void setVisible(bool visible) override;
};

}  // namespace framlet
