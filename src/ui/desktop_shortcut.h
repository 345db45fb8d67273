#pragma once

// "Make Shortcut" of the site manager: a launcher on the desktop that starts
// the program with "-ConnectTo=<tree path>". On Linux this is a desktop entry
// (a ".desktop" file, freedesktop.org Desktop Entry format).

#include <QString>
#include <QStringList>

struct DesktopShortcut {
    QString name;           // the launcher's name and file name
    QString program;        // the program to start
    QStringList arguments;  // its arguments, unquoted
    QString workingFolder;
    QString description;
};

inline const QString ShortcutDescription = QStringLiteral("Glimmer FTP 2000");
inline const QString ConnectToSwitch = QStringLiteral("-ConnectTo=");

// The site manager's shortcut for a site: the program (the running one when
// empty), "-ConnectTo=" + the tree path, the program's folder.
DesktopShortcut siteShortcut(const QString& name, const QString& treePath, const QString& program = QString());

// One argument of an Exec line: quoted in whole with double quotes when it
// holds a reserved character, with ", `, $ and \ escaped inside the quotes
// and % doubled, so that launchers hand the program exactly `argument`.
// `alwaysQuote` quotes it even when nothing requires it.
QString desktopExecArgument(const QString& argument, bool alwaysQuote = false);
// A value as the Desktop Entry "string" escapes it (\\, \n, \t, \r, \s for a
// leading space). Applied to every value, the Exec line included.
QString desktopEntryEscape(const QString& value);

// The file's whole text.
QString desktopEntryText(const DesktopShortcut& shortcut);
// The file name: the name with characters that cannot stand in a file name
// replaced, and ".desktop".
QString desktopEntryFileName(const QString& name);

// Writes the launcher into `folder` (the desktop when empty), executable so
// desktops run it; an existing launcher of the same name is replaced. Returns
// the file written, or an empty string when it could not be created.
QString makeDesktopShortcut(const DesktopShortcut& shortcut, const QString& folder = QString());
