#include "ui/desktop_shortcut.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// Characters the freedesktop.org Desktop Entry format reserves in Exec arguments:
// an argument holding any of them must be quoted.
const QString ReservedInExec = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");

}  // namespace

DesktopShortcut siteShortcut(const QString& name, const QString& treePath, const QString& program)
{
    DesktopShortcut s;
    s.name = name;
    s.program = program.isEmpty() ? QCoreApplication::applicationFilePath() : program;
    s.arguments = {ConnectToSwitch + treePath};
    s.workingFolder = QFileInfo(s.program).absolutePath();
    s.description = ShortcutDescription;
    return s;
}

QString desktopExecArgument(const QString& argument, bool alwaysQuote)
{
    QString quoted;
    bool needsQuotes = alwaysQuote || argument.isEmpty();
    for (const QChar c : argument) {
        if (ReservedInExec.contains(c))
            needsQuotes = true;
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        // A lone % would be taken for a field code such as %f.
        if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    return needsQuotes ? u'"' + quoted + u'"' : quoted;
}

QString desktopEntryEscape(const QString& value)
{
    QString escaped;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == u'\\')
            escaped += QStringLiteral("\\\\");
        else if (c == u'\n')
            escaped += QStringLiteral("\\n");
        else if (c == u'\t')
            escaped += QStringLiteral("\\t");
        else if (c == u'\r')
            escaped += QStringLiteral("\\r");
        else if (c == u' ' && i == 0)
            escaped += QStringLiteral("\\s");  // leading blanks are trimmed otherwise
        else
            escaped += c;
    }
    return escaped;
}

QString desktopEntryText(const DesktopShortcut& shortcut)
{
    QStringList exec{desktopExecArgument(shortcut.program)};
    // The arguments are quoted whatever they hold, as the launcher's
    // "-ConnectTo" has always been written with its path in quotes.
    for (const QString& argument : shortcut.arguments)
        exec.append(desktopExecArgument(argument, true));
    QString text = QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Version=1.0\n");
    text += QStringLiteral("Name=") + desktopEntryEscape(shortcut.name) + u'\n';
    text += QStringLiteral("Comment=") + desktopEntryEscape(shortcut.description) + u'\n';
    text += QStringLiteral("Exec=") + desktopEntryEscape(exec.join(u' ')) + u'\n';
    text += QStringLiteral("Path=") + desktopEntryEscape(shortcut.workingFolder) + u'\n';
    text += QStringLiteral("Terminal=false\n");
    return text;
}

QString desktopEntryFileName(const QString& name)
{
    QString file = name;
    for (QChar& c : file)
        if (c == u'/' || c == u'\\' || c.unicode() < 0x20)
            c = u'_';
    if (file.isEmpty() || file == u'.' || file == QStringLiteral(".."))
        file = QStringLiteral("Glimmer FTP site");
    return file + QStringLiteral(".desktop");
}

QString makeDesktopShortcut(const DesktopShortcut& shortcut, const QString& folder)
{
    const QString target =
        folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) : folder;
    if (target.isEmpty() || !QFileInfo(target).isDir())
        return {};
    const QString path = QDir(target).filePath(desktopEntryFileName(shortcut.name));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(desktopEntryText(shortcut).toUtf8());
    if (!file.commit())
        return {};
    // Desktops start only launchers marked executable.
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner | QFile::ExeUser);
    return path;
}
