#pragma once

// Where the data file lives, and the command-line switches that can move it.

#include <QString>
#include <QStringList>
#include <QStringView>

inline const QString DataFileName = QStringLiteral("glimmerftp.dat");
inline const QString DataFileSwitch = QStringLiteral("-DataFile");

// A switch is present when an argument, lower-cased and cut before its first
// "=", equals the switch name lower-cased.
bool hasCommandLineSwitch(const QStringList& arguments, QStringView name);

// The text after the first "=" of the first argument naming the switch, at
// most 999 characters; empty when the switch is absent or has no value.
QString commandLineSwitchValue(const QStringList& arguments, QStringView name);

// "-DataFile=<path>" when given (made absolute against the current folder);
// otherwise glimmerftp.dat in `programFolder` when files can be created
// there, else in `userDataFolder`.
QString dataFilePath(const QStringList& arguments, const QString& programFolder, const QString& userDataFolder);

// The same with the running program's folder and the per-user application
// data folder (QStandardPaths::AppDataLocation). Needs a QCoreApplication.
QString dataFilePath(const QStringList& arguments);
