#pragma once

// One clear icon for every action of the main window: the desktop's icon
// theme where it has one, else a standard icon of the widget style, which
// every platform has.

#include <QIcon>
#include <QString>

class QAction;

// The icon of the action with this object name ("acConnect", ...); a null
// icon for a name that has none.
QIcon actionIcon(const QString& actionName);

// The two images of acConnect: "Connect", or "Disconnect" while a session
// is open or on its way.
QIcon connectImage(bool disconnects);

// Gives the action its icon by its object name.
void applyActionIcon(QAction* action);
