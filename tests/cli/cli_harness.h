#pragma once

// Runs the built glimmerftp-cli as a child process and keeps what it said,
// plus small file helpers for comparing trees byte for byte.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

struct CliResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QString dump(const QStringList& args) const
    {
        return QStringLiteral("glimmerftp-cli %1\nexit %2\n--- stdout\n%3--- stderr\n%4")
            .arg(args.join(QLatin1Char(' ')))
            .arg(exitCode)
            .arg(QString::fromUtf8(out), QString::fromUtf8(err));
    }
};

// A fresh, empty data file per run unless the arguments name one, and a
// home folder of its own (`home`, or an empty one): the person's own settings
// and ~/.netrc never leak into a test. `input` is all of standard input.
inline CliResult runCli(QStringList args, const QString& workDir = QString(), const QByteArray& input = QByteArray(),
                        const QString& home = QString())
{
    static QTemporaryDir scratch;
    if (!std::any_of(args.begin(), args.end(), [](const QString& a) { return a.startsWith("--data-file="); }))
        args.prepend(QStringLiteral("--data-file=") + scratch.filePath(QStringLiteral("none.dat")));
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString ownHome = scratch.filePath(QStringLiteral("home"));
    QDir().mkpath(ownHome);
    env.insert(QStringLiteral("HOME"), home.isEmpty() ? ownHome : home);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(GLIMMER_CLI_PATH), args);
    p.write(input);
    p.closeWriteChannel();
    CliResult r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.err = "<timed out>";
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

inline bool writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline QByteArray pattern(int size, char seed)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char(seed + (i * 7 + i / 251) % 113);
    return data;
}

// Every file under root, by relative path, with its contents.
inline QMap<QString, QByteArray> treeContents(const QString& root)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        out.insert(QDir(root).relativeFilePath(path), readFile(path));
    }
    return out;
}

// A small tree: two levels, binary files of several sizes (one empty).
inline void makeTree(const QString& root)
{
    writeFile(root + "/top.bin", pattern(70000, 'a'));
    writeFile(root + "/empty.bin", QByteArray());
    writeFile(root + "/inner/one.bin", pattern(1234, 'b'));
    writeFile(root + "/inner/deeper/two.bin", pattern(300000, 'c'));
}
