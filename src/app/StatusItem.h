#pragma once

#include <QObject>
#include <QRect>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

#include "platform/widgets/SystemTray.h"

class QScreen;

namespace framlet {

class DecodeBudget;
class StatusItemDragView;
class StatusNotifierItem;

// The program's presence in the tray. In an XEmbed tray it is a docked widget of our own that
// can be clicked and dragged from; with a StatusNotifierItem host it is an item of our own, which
// reports clicks and where they were; with no tray at all it is absent, and the owner must offer
// another way in.
class StatusItem : public QObject {
    Q_OBJECT

public:
    // Asked when a drag from the tray starts: which file to drag, if any.
    using FileURLProvider = std::function<std::optional<QUrl>()>;

    // The docked view decodes its drag image within budget.
    StatusItem(SystemTray::Kind kind, DecodeBudget& budget, FileURLProvider fileURLProvider = {},
               QObject* parent = nullptr);
    ~StatusItem() override;

    SystemTray::Kind kind() const { return m_kind; }
    bool isAvailable() const { return m_kind != SystemTray::Kind::none; }

    // Redraws the lantern at a fill level between 0 (empty) and 1 (lit).
    void setFill(double fill);
    // The words hosts show for the icon and give screen readers: its title, and a line under it.
    void setToolTip(const QString& title, const QString& text = {});

    // The icon's global geometry, when the tray tells it, and the screen it is on. A
    // StatusNotifierItem host tells only where the icon was clicked: there it is that point, the
    // last click's, and nothing before the first.
    std::optional<QRect> iconGeometry() const;
    QScreen* screen() const;

    StatusItemDragView* dragView() const { return m_view.get(); }
    StatusNotifierItem* notifierItem() const { return m_notifierItem.get(); }

Q_SIGNALS:
    // The icon was clicked (pressed and released without a drag).
    void clicked();

private:
    void setUpDockedView(DecodeBudget& budget, FileURLProvider fileURLProvider);
    void setUpNotifierItem();
    void adoptPanelColour();

    SystemTray::Kind m_kind;
    std::unique_ptr<StatusItemDragView> m_view;
    std::unique_ptr<StatusNotifierItem> m_notifierItem;
    QColor m_color;
    std::optional<QPoint> m_activatedAt;
    double m_fill = 0.0;
    bool m_themeIcons = false;
};

}  // namespace framlet
