#pragma once

// One run of glimmerftp-cli: the session core started as the window starts
// it (data file, settings, sites, timer loop), connected to the URL or the
// stored site, the command handed to the same producers the panes use, and
// the event loop run until both queues have run empty or the session ended.

#include "cli/cli_interaction.h"
#include "cli/cli_options.h"
#include "session/session.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>

class CliRunner : public QObject {
    Q_OBJECT
public:
    static constexpr int ExitOk = 0;
    static constexpr int ExitFailed = 1;
    static constexpr int ExitUsage = 2;

    explicit CliRunner(CliOptions options, QObject* parent = nullptr);
    ~CliRunner() override;

    // Runs the command on the current thread's event loop; the exit status.
    int run();

private:
    enum class Phase { Starting, Connecting, Working, Done };

    void applyOverrides();
    void poll();
    void connectSession();
    // The URL's address with the password from standard input or the netrc
    // file put in when the URL names none; empty after a failure.
    QString addressWithStoredLogin();
    void startWork();
    void finish();
    void stop(int status);
    bool queuesDrained() const;
    const tFolderObject* currentListing() const;
    std::optional<FolderEntry> listedRow(const QString& name) const;
    void showProgress();
    void clearProgress();
    void onLogLine(const LogLine& line);

    CliOptions m_options;
    CliInteraction m_ui;
    HeadlessPlatform m_platform;
    std::unique_ptr<Session> m_session;
    QTimer m_poll;
    Phase m_phase = Phase::Starting;
    RemotePath m_remote;
    std::optional<QString> m_stdinPassword;
    QString m_engineNote;  // the engine's last own note: why a connection failed
    QString m_endNote;     // the status line that ended an established session, escaped
    int m_status = ExitOk;
    bool m_progressShown = false;
    bool m_progressWanted = false;
    QElapsedTimer m_progressClock;
};
