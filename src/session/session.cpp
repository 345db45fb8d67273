#include "session/session.h"

#include "listing/entry_date.h"
#include "person/user_interaction.h"
#include "queue/queue_expansion.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

double HeadlessPlatform::now() { return entryDateFromDateTime(QDateTime::currentDateTime()); }

Session::Session(UserInteraction& ui, SessionPlatform& platform, IconCache* icons, QObject* parent)
    : QObject(parent), qLv(&ui, icons), logwin(&ui), m_passwords(platform.keyring(), m_sites, m_settings), m_ui(ui),
      m_platform(platform)
{
    m_passwords.setWritable(true);
    connect(&m_passwords, &PasswordVault::statusLine, this, &Session::log);
    connect(&m_passwords, &PasswordVault::quickConnectPasswordRead, this, [this](const QByteArray& password) {
        // Normally before the first tick, which fills the fields; a late
        // answer goes into an empty password field only.
        if (m_timerTag >= 1 && m_quickConnectPassword.isEmpty()) {
            m_quickConnectPassword = QString::fromUtf8(password);
            emit menusUpdateRequested();
        }
    });
    m_windowCaption = BaseTitle;
    m_applicationTitle = BaseTitle;
    CurrentLocalFolder = QString::fromUtf8(m_settings.lastLocalFolder);

    // The listing file: a fresh name with the prefix "cls" in the temporary
    // folder, created now so that no other program can take the name.
    QTemporaryFile list(QDir::tempPath() + QStringLiteral("/clsXXXXXX"));
    list.setAutoRemove(false);
    if (list.open())
        ListFileName = list.fileName();

    connect(&ftp, &TFtpClient::OnDisplay, this, &Session::ftpDisplay);
    connect(&ftp, &TFtpClient::OnSessionClosed, this, &Session::ftpSessionClosed);
    connect(&ftp, &TFtpClient::OnRequestDone, this, &Session::ftpRequestDone);
    connect(&ftp, &TFtpClient::OnCertificate, this, &Session::ftpCertificate);
    connect(&ftp, &TFtpClient::OnTlsChanged, this, &Session::ftpTlsChanged);
    connect(&ftp, &TFtpClient::OnStateChange, this, [this] {
        const TFtpState state = ftp.State();
        if (state == TFtpState::ftpStWaitingReply || state == TFtpState::ftpStDnsLookup ||
            state == TFtpState::ftpStWaitingBanner)
            m_awaitingDone = true;
    });

    m_timer.setInterval(1);
    connect(&m_timer, &QTimer::timeout, this, &Session::timerTimer);
}

Session::~Session()
{
    m_timer.stop();
    if (!ListFileName.isEmpty())
        QFile::remove(ListFileName);
}

void Session::applyEngineSettings()
{
    ftp.setInactivityTimeout(qMax(0, m_settings.sTimeout));
    ftp.setKeepFileTimes(m_settings.sKeepFileTimes);
}

bool Session::engineReady() const
{
    return ftp.ControlSocketOpen() && ftp.State() == TFtpState::ftpStReady && !m_awaitingDone;
}

void Session::log(const QString& statusText) { logwin.WriteLog(statusLogLine(statusText)); }

void Session::setTitles(const QString& applicationTitle, const QString& windowCaption)
{
    if (m_applicationTitle == applicationTitle && m_windowCaption == windowCaption)
        return;
    m_applicationTitle = applicationTitle;
    m_windowCaption = windowCaption;
    emit titlesChanged();
}

void Session::setPanel(int index, const QString& text)
{
    if (m_panels[size_t(index)] == text)
        return;
    m_panels[size_t(index)] = text;
    emit panelsChanged();
}

void Session::setGauge(int value, GaugeStyle style)
{
    if (m_gauge == value && m_gaugeStyle == style)
        return;
    m_gauge = value;
    m_gaugeStyle = style;
    emit panelsChanged();
}

void Session::setGaugeText(const QString& text)
{
    if (m_gaugeText == text)
        return;
    m_gaugeText = text;
    emit panelsChanged();
}

void Session::resetTransferPanels()
{
    setGauge(0, GaugeStyle::Percent);
    setGaugeText(QString());
    for (int i = 2; i <= 5; ++i)
        setPanel(i, QString());
}

QStringList Session::sessionInformation() const
{
    return {QStringLiteral("Host: ") + serverHost(),
            QStringLiteral("Port: ") + QString::fromUtf8(ftp.Port()),
            QStringLiteral("State: ") + QString::number(int(ftp.State())),
            QStringLiteral("Connected: ") + QString::number(isConnected()),
            QStringLiteral("Current remote folder: ") + CurrentRemoteFolder,
            QStringLiteral("Current local folder: ") + CurrentLocalFolder,
            QStringLiteral("Retry count: ") + QString::number(RetryCount),
            QStringLiteral("Commands queued: ") + QString::number(CommandQueue.count()),
            QStringLiteral("Transfers queued: ") + QString::number(qLv.count()),
            QStringLiteral("Listing file: ") + ListFileName,
            QStringLiteral("Data file: ") + dataFile()};
}
