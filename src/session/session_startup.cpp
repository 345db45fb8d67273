// Start-up and shutdown without the window: the command line, the data file
// read at start and written at exit, the timer started.

#include "session/session.h"

#include "person/user_interaction.h"
#include "store/data_file.h"
#include "store/data_file_location.h"

#include <QFileInfo>

void Session::FormCreate(const QStringList& arguments, const QString& dataFile, UnusableDataFile unusable)
{
    Arguments = arguments;
    setTitles(BaseTitle, BaseTitle);
    resetTransferPanels();
    m_debugMenu = hasCommandLineSwitch(arguments, QStringLiteral("-debug"));

    m_dataFile = dataFile.isEmpty() ? dataFilePath(arguments) : dataFile;
    const DataFileLoad loaded = loadDataFile(strm, m_dataFile, unusable);
    m_dataFileStatus = loaded.status;
    m_settings = loaded.settings;  // the defaults when the record could not be read
    if (unusable == UnusableDataFile::KeepAside)
        tellUnusableDataFile(loaded);
    logwin.setAutoScroll(m_settings.logAutoScroll);
    setQueueAlwaysActive(m_settings.queueAlwaysActive);
    CurrentLocalFolder = QString::fromUtf8(m_settings.lastLocalFolder);
    for (int i = 0; i < ProgramData::HistoryCount; ++i)
        m_localFolderHistory[size_t(i)] = QString::fromUtf8(m_settings.localFolderHistory[size_t(i)]);
    m_sites.load(favoritesStream(strm));
    m_sites.loadOptions(siteOptionsStream(strm));
    m_passwords.start(m_platform.now());
    loadSavedQueue();

    m_timer.setInterval(1);
    m_timer.start();
}

void Session::tellUnusableDataFile(const DataFileLoad& loaded)
{
    const StoreCode code = loaded.status.code;
    if (code != StoreCode::Damaged && code != StoreCode::Unreadable && code != StoreCode::Foreign)
        return;
    QString outcome;
    if (QFileInfo(m_dataFile).isDir())
        outcome = QStringLiteral("Glimmer FTP starts with the default settings and cannot save them there.");
    else if (!loaded.damagedCopy.isEmpty())
        outcome = QStringLiteral("Glimmer FTP starts with the default m_settings.");
    else if (strm.streamNames().isEmpty())
        outcome = QStringLiteral("Glimmer FTP starts with the default settings and saves them over it at exit.");
    else
        outcome = QStringLiteral("Glimmer FTP starts with the default m_settings; the sites are kept.");
    m_ui.showMessage(QStringLiteral("Could not use the data file.\r\r\n") + loaded.status.message +
                     QStringLiteral("\r\r\n") + outcome);
}

void Session::FormClose() { m_platform.stopSounds(); }

bool Session::FormDestroy()
{
    m_timer.stop();
    m_ended = true;
    saveQueueForNextRun();
    return saveDataFile(true);
}

bool Session::saveDataFile(bool atExit)
{
    if (m_dataFile.isEmpty())
        return false;  // FormCreate has not run: nothing was read to write back
    m_settings.logAutoScroll = logwin.autoScroll();
    m_settings.quickConnectAddress = m_quickConnectAddress.toUtf8();
    m_settings.quickConnectUser = m_quickConnectUser.toUtf8();
    m_settings.quickConnectPassword = m_quickConnectPassword.toUtf8();
    m_settings.quickConnectPort = m_quickConnectPort.left(9).toUtf8();
    m_settings.lastLocalFolder = CurrentLocalFolder.toUtf8();
    for (int i = 0; i < ProgramData::HistoryCount; ++i)
        m_settings.localFolderHistory[size_t(i)] = m_localFolderHistory[size_t(i)].toUtf8();
    m_settings.queueAlwaysActive = qLv.alwaysActive();
    // A folder named as the data file was reported at start; it cannot be
    // saved over.
    if (QFileInfo(m_dataFile).isDir())
        return false;
    // The keyring first: what it confirms leaves the file.
    m_passwords.storeBeforeSave();
    const QByteArray quickPassword = m_settings.quickConnectPassword;
    m_settings.quickConnectPassword = m_passwords.storedQuickConnectPassword();
    StreamContainer during = strm;
    const QByteArray siteOptions = m_sites.saveOptions();  // first: it may give sites their keys
    const StoreStatus status = ::saveDataFile(atExit ? strm : during, m_dataFile, m_settings,
                                              m_sites.save(&PasswordVault::storedPassword), siteOptions);
    m_settings.quickConnectPassword = quickPassword;
    if (!status.ok()) {
        if (atExit)
            ReportBug(m_ui, QStringLiteral("FDS1"), status.message);
        else
            log(QStringLiteral("Could not save the settings: ") + status.message);
    } else {
        m_passwords.removeUnusedEntries();
    }
    return status.ok();
}
