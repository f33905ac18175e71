#pragma once

#include <QString>

namespace framlet {

// The program's reverse-DNS name: its bus name, desktop file, icon and AppStream id. The build
// declares it once (FRAMLET_APP_ID) for the code and the installed data files alike.
inline QString applicationId() {
    return QStringLiteral(FRAMLET_APP_ID);
}

}  // namespace framlet
