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
    settings = loaded.settings;  // the defaults when the record could not be read
    if (unusable == UnusableDataFile::KeepAside)
        tellUnusableDataFile(loaded);
    logwin.setAutoScroll(settings.logAutoScroll);
    setQueueAlwaysActive(settings.queueAlwaysActive);
    CurrentLocalFolder = QString::fromUtf8(settings.lastLocalFolder);
    for (int i = 0; i < ProgramData::HistoryCount; ++i)
        localFolderHistory[size_t(i)] = QString::fromUtf8(settings.localFolderHistory[size_t(i)]);
    sites.load(favoritesStream(strm));
    sites.loadOptions(siteOptionsStream(strm));
    passwords.start(m_platform.now());
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
        outcome = QStringLiteral("Glimmer FTP starts with the default settings.");
    else if (strm.streamNames().isEmpty())
        outcome = QStringLiteral("Glimmer FTP starts with the default settings and saves them over it at exit.");
    else
        outcome = QStringLiteral("Glimmer FTP starts with the default settings; the sites are kept.");
    m_ui.showMessage(QStringLiteral("Could not use the data file.\r\r\n") + loaded.status.message
                     + QStringLiteral("\r\r\n") + outcome);
}

void Session::FormClose()
{
    m_platform.stopSounds();
}

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
    settings.logAutoScroll = logwin.autoScroll();
    settings.quickConnectAddress = tbAddress.toUtf8();
    settings.quickConnectUser = tbusername.toUtf8();
    settings.quickConnectPassword = tbPassword.toUtf8();
    settings.quickConnectPort = tbPort.left(9).toUtf8();
    settings.lastLocalFolder = CurrentLocalFolder.toUtf8();
    for (int i = 0; i < ProgramData::HistoryCount; ++i)
        settings.localFolderHistory[size_t(i)] = localFolderHistory[size_t(i)].toUtf8();
    settings.queueAlwaysActive = qLv.alwaysActive();
    // A folder named as the data file was reported at start; it cannot be
    // saved over.
    if (QFileInfo(m_dataFile).isDir())
        return false;
    // The keyring first: what it confirms leaves the file.
    passwords.storeBeforeSave();
    const QByteArray quickPassword = settings.quickConnectPassword;
    settings.quickConnectPassword = passwords.storedQuickConnectPassword();
    StreamContainer during = strm;
    const QByteArray siteOptions = sites.saveOptions();  // first: it may give sites their keys
    const StoreStatus status = ::saveDataFile(atExit ? strm : during, m_dataFile, settings,
                                              sites.save(&PasswordVault::storedPassword), siteOptions);
    settings.quickConnectPassword = quickPassword;
    if (!status.ok()) {
        if (atExit)
            ReportBug(m_ui, QStringLiteral("FDS1"), status.message);
        else
            log(QStringLiteral("Could not save the settings: ") + status.message);
    } else {
        passwords.removeUnusedEntries();
    }
    return status.ok();
}
