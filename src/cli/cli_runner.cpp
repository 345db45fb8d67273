#include "cli/cli_runner.h"

#include "cli/cli_credentials.h"
#include "cli/cli_output.h"
#include "person/log_model.h"
#include "person/user_interaction.h"
#include "queue/queue_expansion.h"
#include "session/address.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>

#include <cstdio>
#include <unistd.h>

namespace {

QString withSeparator(const QString& folder)
{
    const QString native = QDir::toNativeSeparators(QDir(folder).absolutePath());
    return native.endsWith(QDir::separator()) ? native : native + QDir::separator();
}

}  // namespace

CliRunner::CliRunner(CliOptions options, QObject* parent) : QObject(parent), m_options(std::move(options))
{
    m_session = std::make_unique<Session>(m_ui, m_platform);
    m_progressWanted = m_options.progress && isatty(fileno(stderr));
    m_ui.beforeWrite = [this] { clearProgress(); };
    connect(&m_session->logModel(), &LogModel::lineAdded, this, &CliRunner::onLogLine);
    connect(m_session.get(), &Session::engineNote, this, [this](const QString& text) { m_engineNote = text; });
    // The window shows a listing the server refused as an empty pane; here
    // it would be an empty "ls", or a tree fetched without that folder.
    connect(m_session.get(), &Session::listingRefused, this, [this](const QString& folder, const QString& reason) {
        m_ui.reportFailure(
            errorBoxText(QStringLiteral("Could not list FTP folder. (") + folder + QStringLiteral(")"), reason));
    });
    if (m_progressWanted)
        connect(m_session.get(), &Session::panelsChanged, this, &CliRunner::showProgress);
    m_session->setQueueTotalsShown(m_progressWanted);
    m_poll.setInterval(2);
    connect(&m_poll, &QTimer::timeout, this, &CliRunner::poll);
}

CliRunner::~CliRunner() = default;

int CliRunner::run()
{
    if (m_options.passwordStdin) {
        m_stdinPassword = readPasswordFromStdin();
        if (!m_stdinPassword) {
            m_ui.reportFailure(QStringLiteral("--password-stdin: no password on standard input"));
            return ExitUsage;
        }
    }
    // The run never writes the keyring, and never writes, moves or renames
    // the data file: a script must not change what the person keeps in the
    // window (quick-connect fields, folders, passwords), nor shift away
    // whatever file it was pointed at.
    m_session->passwords().setWritable(false);
    m_session->FormCreate({}, m_options.dataFile, UnusableDataFile::LeaveInPlace);
    const StoreStatus& data = m_session->dataFileStatus();
    if (data.code == StoreCode::Foreign) {
        m_ui.write(QStringLiteral("glimmerftp-cli: not a Glimmer FTP data file: ") + m_session->dataFile());
        m_session->timer().stop();
        return ExitUsage;
    }
    if (data.code == StoreCode::Damaged || data.code == StoreCode::Unreadable)
        m_ui.write(QStringLiteral("glimmerftp-cli: ") + CliInteraction::terminalLines(data.message) +
                   QStringLiteral("; going on with the default settings, the file is left as it is"));
    applyOverrides();
    QEventLoop loop;
    // The window waits one 200 ms tick between the two start-up steps while
    // it shows itself; a script has nothing to show, so both run as soon as
    // the keyring has given the stored passwords.
    while (m_session->timerTag() < 2) {
        if (m_session->passwordsSettled())
            m_session->timerTimer();
        else
            loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    m_poll.start();
    while (m_phase != Phase::Done)
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    m_poll.stop();
    m_session->timer().stop();
    return m_status;
}

void CliRunner::applyOverrides()
{
    ProgramData& s = m_session->settings();
    // Nothing starts by itself: the command says where to connect.
    s.sStartUpAction = 0;
    s.sMonitorClipboard = false;
    s.sCheckForNewVersion = false;
    s.sShowLoginMessage = false;
    s.sRetries = 0;
    s.sRetryTillConnected = false;
    m_session->setQueueAlwaysActive(false);
    m_session->setListsAfterUploads(false);
    if (m_options.firewallType)
        s.sFirewallType = quint8(*m_options.firewallType);
    if (m_options.firewallGiven) {
        s.sFirewallAddress = m_options.firewallHost.toUtf8();
        s.sFirewallPort = m_options.firewallPort.toUtf8();
    }
    if (m_options.timeout)
        s.sTimeout = *m_options.timeout;
    s.sKeepFileTimes = m_options.keepTimes;
    s.sSimultaneousTransfers = m_options.parallel;
    m_session->setTrustForRun(m_options.trust);
    // --tls, else the URL's scheme (with --site the site's mode stays).
    bool schemeKnown = false;
    const FtpTlsMode schemeMode = tlsModeOfScheme(splitAddress(m_options.address).protocol, &schemeKnown);
    if (m_options.tls)
        m_session->setTlsModeOverride(*m_options.tls);
    else if (m_options.site.isEmpty() && schemeKnown)
        m_session->setTlsModeOverride(schemeMode);
    if (m_options.existsAction) {
        s.sXferPromptForAction = false;
        s.sXferAction = quint8(*m_options.existsAction);
    }
}

void CliRunner::onLogLine(const LogLine& line)
{
    // Replies, names and the server's own texts reach the terminal escaped.
    const QString text = escapeControls(line.text);
    if (m_options.log)
        m_ui.write(LogLine::connectionTag(line.connection) + line.prefix + text);
    if (!line.prefix.startsWith(QStringLiteral("Status")))
        return;
    if (line.text.startsWith(QStringLiteral("Disconnected by Server.")) ||
        (line.text.startsWith(QStringLiteral("Connection to ")) && line.text.contains(QStringLiteral(" lost: "))))
        m_endNote = text;
    if (line.text.startsWith(QStringLiteral("Download failed: ")) ||
        line.text.startsWith(QStringLiteral("Skipped unsafe remote name: "))) {
        // Already on standard error with --log; counted either way.
        if (m_options.log)
            m_ui.reportFailure(QStringLiteral("Failed: ") + text);
        else
            m_ui.reportFailure(text);
    }
}

bool CliRunner::queuesDrained() const
{
    const Session& s = *m_session;
    return !s.isConnectIdle() && s.engineReady() && !s.hasQueuedCommands() && !s.currentRemoteFolder().isEmpty() &&
           (!s.transferQueue().hasPending() || !s.transferQueue().isActive());
}

void CliRunner::poll()
{
    Session& s = *m_session;
    switch (m_phase) {
    case Phase::Starting:
        // The two start-up ticks load the quick-connect fields; connect after.
        if (s.timerTag() >= 2)
            connectSession();
        break;
    case Phase::Connecting:
        if (s.isConnectIdle()) {
            QString reason = s.lastServerReply();
            if (reason.isEmpty())
                reason = m_engineNote.isEmpty() ? QStringLiteral("No reply from the server.") : m_engineNote;
            m_ui.reportFailure(errorBoxText(QStringLiteral("Could not connect to ") + s.quickConnectAddress() +
                                                QStringLiteral(":") + s.quickConnectPort() + QStringLiteral("."),
                                            reason));
            stop(ExitFailed);
        } else if (queuesDrained()) {
            if (m_ui.failures() > 0)
                stop(ExitFailed);  // the remote folder could not be entered
            else
                startWork();
        }
        break;
    case Phase::Working:
        if (s.isConnectIdle()) {
            // The status line that ended the session says how (a server that
            // hung up, one that went silent, a connection lost) and names the
            // transfer it cut, if one was running.
            const QString reason = s.lastServerReply();
            if (!m_endNote.isEmpty())
                m_ui.reportFailure(m_endNote);
            else if (reason.startsWith(QLatin1String("Connection timed out")))
                m_ui.reportFailure(reason);
            else
                m_ui.reportFailure(QStringLiteral("Disconnected by Server."));
            stop(ExitFailed);
        } else if (queuesDrained()) {
            finish();
        }
        break;
    case Phase::Done:
        break;
    }
}

void CliRunner::connectSession()
{
    Session& s = *m_session;
    m_phase = Phase::Connecting;
    if (!m_options.site.isEmpty()) {
        SiteNode* node = s.sites().findSiteByPath(m_options.site);
        if (!node || !node->site()) {
            m_ui.showMessage(QStringLiteral("Could not connect to ") + m_options.site + QStringLiteral("\r\r\n") +
                             QStringLiteral("Site could not be found in the site manager"));
            stop(ExitFailed);
            return;
        }
        tSiteObject site = *node->site();
        if (m_stdinPassword) {
            site.SitePassword = m_stdinPassword->toUtf8();
        } else if (site.SitePassword.isEmpty() && !site.SiteKeyringKey.isEmpty() &&
                   site.keyringState != tSiteObject::KeyringState::Stored) {
            // Logging in without it would only earn a "530" from the server.
            m_ui.reportFailure(QStringLiteral("Could not read the password of ") + m_options.site +
                               QStringLiteral(" from the keyring: ") +
                               (site.keyringProblem.isEmpty() ? QStringLiteral("no answer") : site.keyringProblem));
            stop(ExitFailed);
            return;
        }
        m_remote = resolveRemotePath(m_options, QString::fromUtf8(site.SiteRemoteFolder));
        // The log-in changes to the folder the command works in, as it does
        // to a site's remote folder, and lists it.
        site.SiteRemoteFolder = m_remote.folder.toUtf8();
        s.connectToSite(site);
        return;
    }
    m_remote = resolveRemotePath(m_options);
    const QString address = addressWithStoredLogin();
    if (address.isEmpty()) {
        stop(ExitUsage);
        return;
    }
    // Implicit TLS has a port of its own.
    const bool implicitPort =
        splitAddress(m_options.address).port.isEmpty() && s.tlsModeOverride() == FtpTlsMode::Implicit;
    s.connectToAddress(address, implicitPort ? QStringLiteral("990") : QString(), m_remote.folder);
}

QString CliRunner::addressWithStoredLogin()
{
    const ParsedAddress url = splitAddress(m_options.address);
    if (url.hasPassword)
        return m_options.address;
    if (m_stdinPassword)
        return addressWithLogin(url.host, url.port, url.hasUser ? url.user : QStringLiteral("anonymous"),
                                *m_stdinPassword);
    const NetrcFileLookup netrc = lookupNetrcFile(m_options.netrcFile, url.host, url.user);
    if (!netrc.error.isEmpty()) {
        m_ui.reportFailure(netrc.error);
        return {};
    }
    if (!netrc.warning.isEmpty())
        m_ui.write(QStringLiteral("warning: ") + netrc.warning);
    if (!netrc.entry || !netrc.entry->hasPassword)
        return m_options.address;
    const QString user = url.hasUser                    ? url.user
                         : netrc.entry->login.isEmpty() ? QStringLiteral("anonymous")
                                                        : netrc.entry->login;
    return addressWithLogin(url.host, url.port, user, netrc.entry->password);
}

const tFolderObject* CliRunner::currentListing() const
{
    return m_session->folderCache().find(m_session->currentRemoteFolder());
}

std::optional<FolderEntry> CliRunner::listedRow(const QString& name) const
{
    if (const tFolderObject* folder = currentListing())
        for (const FolderEntry& row : folder->entries)
            if (row.name == name)
                return row;
    return std::nullopt;
}

void CliRunner::startWork()
{
    Session& s = *m_session;
    m_phase = Phase::Working;
    FolderEntry row;
    row.name = m_remote.name;
    if (m_remote.isFolder) {
        row.entry.kind = kEntryFolder;
        row.entry.size = -1;
    }

    switch (m_options.command) {
    case CliCommand::Ls:
        break;
    case CliCommand::Get: {
        if (const QString why = createLocalFolder(m_options.localPath); !why.isEmpty()) {
            m_ui.reportFailure(
                errorBoxText(QStringLiteral("Could not create local folder: ") + m_options.localPath, why));
            stop(ExitFailed);
            return;
        }
        s.setCurrentLocalFolder(withSeparator(m_options.localPath));
        QList<FolderEntry> rows;
        if (m_remote.name.isEmpty()) {
            if (const tFolderObject* folder = currentListing())
                rows = folder->entries;
        } else if (std::optional<FolderEntry> listed = listedRow(m_remote.name)) {
            // The listing knows the size (for the progress) and whether a
            // name given without "/" is a folder.
            rows << *listed;
        } else {
            // Not listed (hidden, or missing): asked for anyway, so that the
            // server's own reply says why it fails.
            rows << row;
        }
        s.receive(rows);
        s.acQueueTransfer();
        break;
    }
    case CliCommand::Put: {
        // "./site/" names the folder "site": the trailing separator goes.
        const QFileInfo local(QDir::cleanPath(m_options.localPath));
        if (!local.exists()) {
            m_ui.reportFailure(
                errorBoxText(QStringLiteral("Could not send file. (") + m_options.localPath + QStringLiteral(")"),
                             QStringLiteral("No such local file or folder.")));
            stop(ExitFailed);
            return;
        }
        s.setCurrentLocalFolder(withSeparator(local.absolutePath()));
        FolderEntry up;
        up.name = local.fileName();
        up.entry.kind = local.isDir() ? kEntryFolder : kEntryFile;
        up.entry.size = local.isDir() ? -1 : local.size();
        s.send({up});
        s.acQueueTransfer();
        break;
    }
    case CliCommand::Rm:
        // Only a URL ending in "/" deletes a tree; a plain name is a file,
        // and the server refuses it when it is a folder.
        s.deleteRemote({row});
        break;
    case CliCommand::Mkdir:
        s.newRemoteFolder(m_remote.name);
        break;
    case CliCommand::Mv:
        s.renameRemote(m_remote.name, m_options.newName);
        break;
    case CliCommand::Chmod:
        s.chmodRemote(m_options.mode, {m_remote.name});
        break;
    }
    // Nothing queued (ls, an empty folder): done at the next poll.
}

void CliRunner::finish()
{
    Session& s = *m_session;
    if ((m_options.command == CliCommand::Get || m_options.command == CliCommand::Put) &&
        s.transferQueue().hasPending()) {
        // The queue stopped with entries left: they were not transferred.
        // (Failed entries were reported as they failed.)
        m_ui.reportFailure(QString::number(s.transferQueue().count() - s.transferQueue().failedCount()) +
                           QStringLiteral(" transfer(s) not done."));
    }
    if (m_options.command == CliCommand::Ls && m_ui.failures() == 0) {
        const tFolderObject* folder = currentListing();
        const QByteArray text = listingText(folder ? folder->entries : FolderEntries{});
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        std::fflush(stdout);
    }
    stop(m_ui.failures() > 0 ? ExitFailed : ExitOk);
}

void CliRunner::stop(int status)
{
    m_status = status;
    m_phase = Phase::Done;
    clearProgress();
    Session& s = *m_session;
    if (!s.isConnectIdle())
        s.acConnectExecute(true);  // log off
}

void CliRunner::showProgress()
{
    const Session& s = *m_session;
    TransferPanels p;
    p.gauge = s.gaugeValue();
    p.percent = s.panel(2);
    p.rate = s.panel(3);
    p.timeLeft = s.panel(4);
    if (p.percent.isEmpty()) {
        clearProgress();
        return;
    }
    if (m_progressShown && m_progressClock.isValid() && m_progressClock.elapsed() < 100)
        return;
    m_progressClock.start();
    const QByteArray line = "\r" + progressLine(p).toUtf8() + "\x1b[K";
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
    m_progressShown = true;
}

void CliRunner::clearProgress()
{
    if (!m_progressShown)
        return;
    m_progressShown = false;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
}
