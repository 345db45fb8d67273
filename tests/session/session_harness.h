#pragma once

// A session with scripted answers and an injected clock, for the session
// tests. Every question the core asks is recorded; answers come from the
// script (or the defaults below when the script has run out).

#include "person/user_interaction.h"
#include "session/session.h"
#include "support/random_bytes.h"
#include "support/scripted_keyring.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <memory>

struct ScriptedInteraction : UserInteraction {
    QStringList messages;
    QStringList questions;
    QList<bool> yesNo;  // answers in order; No when empty
    QStringList prompts;
    QList<TransferActionAnswer> actions;  // answers in order; the preselected one when empty
    QStringList bugReports;
    // Runs while a Yes/No question is open, as events do under a modal box.
    std::function<void(const QString&)> whileAsking;

    void showMessage(const QString& text) override { messages << text; }
    bool askYesNo(const QString& text, bool) override
    {
        questions << text;
        if (whileAsking)
            whileAsking(text);
        return yesNo.isEmpty() ? false : yesNo.takeFirst();
    }
    // Runs while an overwrite / resume / skip question is open.
    std::function<void(const QString&)> whileAskingAction;
    TransferActionAnswer askTransferAction(const QString& text, int preselected, bool, int) override
    {
        prompts << text;
        if (whileAskingAction)
            whileAskingAction(text);
        if (actions.isEmpty())
            return {preselected, false};
        return actions.takeFirst();
    }
    void showBugReport(const QString& code, const QString& text) override { bugReports << code + ": " + text; }

    QList<CertificateAnswer> certificateAnswers;  // in order; Cancel when empty
    QList<FtpCertificate> certificates;           // what was asked
    QStringList certificateChanges;               // the changedFrom of each question
    CertificateAnswer askCertificate(const FtpCertificate& certificate, const QString& changedFrom) override
    {
        certificates << certificate;
        certificateChanges << changedFrom;
        return certificateAnswers.isEmpty() ? CertificateAnswer::Cancel : certificateAnswers.takeFirst();
    }
};

struct ScriptedPlatform : SessionPlatform {
    double clock = 46000.5;  // an arbitrary day; only differences matter
    QStringList sounds;
    QString clipboard;
    QStringList opened;
    QStringList viewed;
    int updateChecks = 0;
    ScriptedKeyring secrets;
    PasswordKeyring* realKeyring = nullptr;  // when set, used instead of `secrets`

    void advance(double seconds) { clock += seconds / 86400.0; }
    double now() override { return clock; }
    void playSound(const QString& file) override { sounds << file; }
    void stopSounds() override {}
    QString clipboardText() override { return clipboard; }
    void clearClipboard() override { clipboard.clear(); }
    void openWithAssociatedProgram(const QString& path) override { opened << path; }
    void openInTextViewer(const QString& path) override { viewed << path; }
    void startUpdateCheck(bool) override { ++updateChecks; }
    PasswordKeyring& keyring() override { return realKeyring ? *realKeyring : secrets; }
};

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

using testsupport::randomBytes;

// A listed remote row, as a pane's selection hands it to receive(); size
// -1 is a folder.
inline FolderEntry listedRow(const QString& name, qint64 size)
{
    FolderEntry e;
    e.name = name;
    e.entry.kind = size < 0 ? kEntryFolder : kEntryFile;
    e.entry.size = size;
    return e;
}

// The session's own state, for the tests that check what the session did
// with its engine and its command queue.
class SessionInspector {
public:
    static TFtpClient& engine(Session& s) { return s.ftp; }
    static CommandQueue& commands(Session& s) { return s.CommandQueue; }
    static QString& currentRemoteFolder(Session& s) { return s.CurrentRemoteFolder; }
    // Rows put into the queue, or changed, as no front end can.
    static TransferQueue& transfers(Session& s) { return s.qLv; }
    static LogModel& log(Session& s) { return s.logwin; }
};

struct Harness {
    ScriptedInteraction ui;
    ScriptedPlatform platform;
    QTemporaryDir dir;  // the data file and the local side of transfers
    std::unique_ptr<Session> s;
    QStringList log;  // every log line as shown, never trimmed to 500

    explicit Harness(const QStringList& arguments = {}, bool start = true, PasswordKeyring* keyring = nullptr)
    {
        platform.realKeyring = keyring;
        s = std::make_unique<Session>(ui, platform);
        QObject::connect(&s->logModel(), &LogModel::lineAdded, [this](const LogLine& l) { log << l.shown(); });
        if (start)
            startUp(arguments);
    }

    QString dataFile() const { return dir.filePath(QStringLiteral("glimmerftp.dat")); }
    QString local(const QString& name = QString()) const { return dir.filePath(QStringLiteral("local/")) + name; }

    // FormCreate and the two start-up ticks; the local folder is ours.
    void startUp(const QStringList& arguments = {})
    {
        QDir().mkpath(local());
        s->FormCreate(arguments, dataFile());
        if (!QTest::qWaitFor([&] { return s->timerTag() >= 2; }, 5000))
            qWarning("the start-up ticks did not run");
        if (s->currentLocalFolder() == QString::fromUtf8(s->settings().lastLocalFolder))
            s->setCurrentLocalFolder(local());  // unless a site's local folder came first
    }

    // A log line without its connection's tag ("[2] ").
    static QString untagged(const QString& line)
    {
        static const QRegularExpression tag(QStringLiteral("^\\[\\d+\\] "));
        return QString(line).remove(tag);
    }
    // The commands sent to the server on every connection, in order.
    QStringList sent() const
    {
        QStringList out;
        for (const QString& line : log)
            if (const QString l = untagged(line); l.startsWith(QStringLiteral("FTP Cmd\t:> ")))
                out << l.mid(11);
        return out;
    }
    // The commands sent on one connection (0 the browsing one), in order.
    QStringList sentOn(int connection) const
    {
        const QString tag = LogLine::connectionTag(connection) + QStringLiteral("FTP Cmd\t:> ");
        QStringList out;
        for (const QString& l : log)
            if (l.startsWith(tag))
                out << l.mid(tag.size());
        return out;
    }
    QStringList status() const
    {
        QStringList out;
        for (const QString& line : log)
            if (const QString l = untagged(line); l.startsWith(QStringLiteral("Status\t:> ")))
                out << l.mid(10);
        return out;
    }
    // The names cached for a remote folder, "<not cached>" when it is not.
    QStringList cached(const QString& path) const
    {
        const tFolderObject* folder = s->folderCache().find(path);
        if (!folder)
            return {QStringLiteral("<not cached>")};
        QStringList names;
        for (const FolderEntry& e : folder->entries)
            names << e.name;
        return names;
    }
    QString dump() const { return log.join(QLatin1Char('\n')) + "\nmessages: " + ui.messages.join(" | "); }

    bool idle() const
    {
        return !s->isConnectIdle() && s->engineReady() && !s->hasQueuedCommands() &&
               !s->currentRemoteFolder().isEmpty() &&
               (!s->transferQueue().hasPending() || !s->transferQueue().isActive());
    }
    bool waitIdle(int ms = 30000)
    {
        return QTest::qWaitFor([&] { return idle(); }, ms);
    }

    // Connects through the quick-connect fields (or an address) and waits
    // until the log-in commands have run.
    bool connect(quint16 port, const QByteArray& user, const QByteArray& password)
    {
        s->setQuickConnectAddress(QStringLiteral("127.0.0.1"));
        s->setQuickConnectPort(QString::number(port));
        s->setQuickConnectUser(QString::fromUtf8(user));
        s->setQuickConnectPassword(QString::fromUtf8(password));
        s->acConnectExecute(true);
        return waitIdle();
    }
};
