#pragma once

// Where the passwords of the data file live: in the desktop keyring when one
// answers, otherwise in the data file as before.
//
// A site record (and the quick-connect fields) names its keyring entry in
// SiteKeyringKey; its password field in the file is then empty. At start the
// vault asks the keyring for those passwords and puts them into the records
// in memory, so the rest of the session sees passwords as it always did. A
// password the file still holds is newer than any keyring copy: the window
// stores it in the keyring, and only when the keyring has confirmed that
// write does the next save leave it out of the file. Nothing is removed from
// the file on the strength of a request that failed or was never answered.
//
// The command line only reads: a read-only vault never writes, replaces or
// removes a keyring entry.

#include "keyring/password_keyring.h"
#include "store/site_object.h"

#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

class SiteTree;
struct ProgramData;

class PasswordVault : public QObject {
    Q_OBJECT
public:
    static inline const QString NoKeyringText =
        QStringLiteral("Passwords are stored in the settings file: no keyring is available");
    // How long the start-up waits for the keyring's answers (a locked keyring
    // may be asking the person to unlock it) before going on without them.
    static constexpr int ReadWaitSeconds = 30;
    // How long the exit waits for the keyring to confirm its writes.
    static constexpr int DefaultSaveWaitMs = 10000;

    enum class Availability { Unknown, Available, Unavailable };
    using KeyringState = tSiteObject::KeyringState;

    PasswordVault(PasswordKeyring& keyring, SiteTree& sites, ProgramData& settings, QObject* parent = nullptr);

    // The window stores passwords; the command line does not (the default).
    void setWritable(bool writable) { m_writable = writable; }
    bool writable() const { return m_writable; }
    void setSaveWaitMs(int ms) { m_saveWaitMs = ms; }

    // After the data file was loaded into the sites and the settings: asks
    // for every password the keyring holds and, when writable, stores the
    // passwords the file still holds. `now` (days) starts the read wait.
    void start(double now);
    // No read is waiting any more, or the wait is over.
    bool readsSettled(double now) const;

    Availability availability() const { return m_availability; }
    // Empty while the keyring is available or not yet known.
    QString availabilityNote() const { return m_availability == Availability::Unavailable ? NoKeyringText : QString(); }

    // Before the data file is written: stores every password the keyring
    // does not hold yet and waits (at most the save wait) for the answers.
    // The quick-connect password is taken from settings.quickConnectPassword.
    void storeBeforeSave();
    // The password field as the file keeps it: empty when the keyring holds
    // exactly this password, the password itself otherwise.
    static QByteArray storedPassword(const tSiteObject& site);
    QByteArray storedQuickConnectPassword() const;
    // After a successful save: removes the entries no record names any more
    // (deleted sites, cleared passwords); best effort, bounded by the save wait.
    void removeUnusedEntries();

signals:
    void availabilityChanged();
    // A status line for the log.
    void statusLine(const QString& text);
    // The keyring gave the quick-connect password (settings hold it now).
    void quickConnectPasswordRead(const QByteArray& password);
    // A write or a removal was answered (the exit waits on these).
    void changeAnswered();

private:
    // One password with its keyring entry: a site's, or the quick-connect one.
    struct Slot {
        QByteArray* password;
        QByteArray* key;
        KeyringState* state;
        QByteArray* copy;
        QString* problem;
        QString label;  // for the log: the site's tree path
        bool site;
    };
    QList<Slot> allSlots();
    Slot quickSlot();
    void read(const QByteArray& key);
    void write(Slot slot);
    void readAnswered(const QByteArray& key, const KeyringResult& result);
    void noteAnswer(const KeyringResult& result);
    void waitForAnswers(int ms);

    PasswordKeyring& m_keyring;
    SiteTree& m_sites;
    ProgramData& m_settings;
    bool m_writable = false;
    int m_saveWaitMs = DefaultSaveWaitMs;
    double m_readsStarted = 0;
    int m_pendingReads = 0;
    int m_pendingChanges = 0;  // writes and removals not answered yet
    bool m_started = false;
    bool m_said = false;
    Availability m_availability = Availability::Unknown;
    QSet<QByteArray> m_knownKeys;  // every entry this run has seen or made

    KeyringState m_quickState = KeyringState::None;
    QByteArray m_quickCopy;
    QString m_quickProblem;
};
