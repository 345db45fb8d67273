#include "store/data_file_location.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

constexpr qsizetype MaxSwitchValue = 999;

QStringView switchName(const QString& argument)
{
    const qsizetype eq = argument.indexOf(u'=');
    return eq < 0 ? QStringView(argument) : QStringView(argument).first(eq);
}

// Permission bits do not tell (an administrator may write anywhere, a
// read-only mount has writable bits): only creating a file does.
bool canCreateFilesIn(const QString& folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".glimmer-probe-XXXXXX")));
    return probe.open();
}

}  // namespace

bool hasCommandLineSwitch(const QStringList& arguments, QStringView name)
{
    for (const QString& argument : arguments)
        if (switchName(argument).compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString commandLineSwitchValue(const QStringList& arguments, QStringView name)
{
    for (const QString& argument : arguments) {
        if (switchName(argument).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        const qsizetype eq = argument.indexOf(u'=');
        return eq < 0 ? QString() : argument.mid(eq + 1, MaxSwitchValue);
    }
    return {};
}

QString dataFilePath(const QStringList& arguments, const QString& programFolder, const QString& userDataFolder)
{
    const QString named = commandLineSwitchValue(arguments, DataFileSwitch);
    if (!named.isEmpty())
        return QFileInfo(named).absoluteFilePath();
    if (canCreateFilesIn(programFolder))
        return QDir(programFolder).filePath(DataFileName);
    return QDir(userDataFolder).filePath(DataFileName);
}

QString dataFilePath(const QStringList& arguments)
{
    return dataFilePath(arguments, QCoreApplication::applicationDirPath(),
                        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}
