#include "ui/update_check.h"

#include "person/user_interaction.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

std::optional<VersionDocument> parseVersionDocument(const QByteArray& body)
{
    QList<QByteArray> lines;
    for (const QByteArray& line : body.split('\n'))
        if (const QByteArray trimmed = line.trimmed(); !trimmed.isEmpty())
            lines.append(trimmed);
    if (lines.isEmpty())
        return std::nullopt;
    // The whole line must be the number: "1.2 beta" or an HTML error page
    // would otherwise read as a version.
    qsizetype used = 0;
    const QString first = QString::fromUtf8(lines.first());
    VersionDocument doc;
    doc.version = QVersionNumber::fromString(first, &used);
    if (doc.version.isNull() || used != first.size())
        return std::nullopt;
    doc.link = DownloadPageUrl;
    if (lines.size() > 1) {
        // Whatever the server sends is opened by the desktop: web pages only.
        const QUrl link(QString::fromUtf8(lines.at(1)), QUrl::StrictMode);
        const QString scheme = link.scheme().toLower();
        if (link.isValid() && !link.host().isEmpty() && (scheme == u"http" || scheme == u"https"))
            doc.link = link;
    }
    return doc;
}

UpdateCheck::UpdateCheck(UserInteraction& ui, StatusLog logStatus, QObject* parent)
    : QObject(parent), m_ui(ui), m_log(std::move(logStatus)), m_network(new QNetworkAccessManager(this)),
      m_current(QVersionNumber::fromString(QCoreApplication::applicationVersion())),
      m_open([](const QUrl& url) { return QDesktopServices::openUrl(url); })
{}

void UpdateCheck::start(bool automatic)
{
    if (m_reply)
        return;
    m_automatic = automatic;
    if (m_url.isEmpty()) {
        // Reported from the event loop, as a request's outcome would be.
        QMetaObject::invokeMethod(
            this,
            [this, automatic] {
                if (automatic)
                    emit finished(Outcome::Failed, QStringLiteral("no update address"));
                else
                    finish(Outcome::Failed, QStringLiteral("this build has no update address."));
            },
            Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(m_url);
    request.setTransferTimeout(TimeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Glimmer FTP/%1").arg(m_current.toString()));
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::finished, this, &UpdateCheck::replyFinished);
    // A misdirected address could stream anything; the document is tiny.
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
        if (received > MaxDocumentBytes && m_reply)
            m_reply->abort();
    });
}

void UpdateCheck::replyFinished()
{
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    if (!reply)
        return;
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        finish(Outcome::Failed, reply->errorString());
        return;
    }
    const std::optional<VersionDocument> doc = parseVersionDocument(reply->read(MaxDocumentBytes));
    if (!doc) {
        finish(Outcome::Failed, QStringLiteral("the version information could not be read"));
        return;
    }
    if (doc->version > m_current) {
        const QString text = QStringLiteral("A new version of Glimmer FTP (%1) is available at\r\n%2\r\n\r\n"
                                            "Would you like to open the download page now?")
                                 .arg(doc->version.toString(), doc->link.toString());
        finish(Outcome::NewVersion, doc->version.toString());
        if (m_ui.askYesNo(text, false))
            m_open(doc->link);
        return;
    }
    finish(Outcome::UpToDate, doc->version.toString());
    if (!m_automatic)
        m_ui.showMessage(QStringLiteral("You have the latest version of Glimmer FTP (%1).").arg(m_current.toString()));
}

void UpdateCheck::finish(Outcome outcome, const QString& detail)
{
    if (outcome == Outcome::Failed) {
        const QString text = QStringLiteral("Could not check for a new version: ") + detail;
        if (m_automatic) {
            if (m_log)
                m_log(text);
        } else {
            m_ui.showMessage(text);
        }
    }
    emit finished(outcome, detail);
}
