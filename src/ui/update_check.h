#pragma once

// The new-version check: one HTTP request for a small version document. The
// document is plain text: the latest version on its first non-empty line
// (such as "1.4.2") and, on the next, the address of its download page.
// A newer version is offered with its link; the same or an older one is
// reported only when the person asked; a failure goes to the log when the
// check ran by itself at start-up, and to a message box otherwise.

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVersionNumber>

#include <functional>
#include <optional>

class QNetworkAccessManager;

class UserInteraction;

// Where the version document lives is set when the program is built
// (cmake -DGLIMMER_UPDATE_URL=https://...); a build without one never asks
// the network: the automatic check does nothing and a check asked for by
// hand says that none is configured.
#ifndef GLIMMER_UPDATE_URL
#define GLIMMER_UPDATE_URL ""
#endif
inline const QUrl VersionDocumentUrl = QUrl(QStringLiteral(GLIMMER_UPDATE_URL));
inline const QUrl DownloadPageUrl = QUrl(QStringLiteral("https://www.glimmerftp.example/download"));

struct VersionDocument {
    QVersionNumber version;
    QUrl link;  // http or https only; the download page when absent
};

// nullopt when the first line is not a version number.
std::optional<VersionDocument> parseVersionDocument(const QByteArray& body);

class UpdateCheck : public QObject {
    Q_OBJECT
public:
    enum class Outcome { NewVersion, UpToDate, Failed };
    Q_ENUM(Outcome)

    static constexpr int TimeoutMs = 20000;
    static constexpr qint64 MaxDocumentBytes = 64 * 1024;

    // logStatus: where a failure of an automatic check is told (a status
    // line of the session's log); nothing is told without it.
    using StatusLog = std::function<void(const QString& text)>;
    UpdateCheck(UserInteraction& ui, StatusLog logStatus, QObject* parent = nullptr);

    void setUrl(const QUrl& url) { m_url = url; }
    QUrl url() const { return m_url; }
    // The running version; QCoreApplication::applicationVersion by default.
    void setCurrentVersion(const QString& version) { m_current = QVersionNumber::fromString(version); }
    // How a link is opened; QDesktopServices::openUrl unless replaced.
    void setUrlOpener(std::function<bool(const QUrl&)> opener) { m_open = std::move(opener); }

    // One check at a time: a second start while one runs is ignored.
    void start(bool automatic);
    bool isRunning() const { return m_reply != nullptr; }

signals:
    void finished(UpdateCheck::Outcome outcome, const QString& detail);

private:
    void replyFinished();
    void finish(Outcome outcome, const QString& detail);

    UserInteraction& m_ui;
    StatusLog m_log;
    QNetworkAccessManager* m_network;
    QPointer<QNetworkReply> m_reply;
    QUrl m_url = VersionDocumentUrl;
    QVersionNumber m_current;
    bool m_automatic = false;
    std::function<bool(const QUrl&)> m_open;
};
