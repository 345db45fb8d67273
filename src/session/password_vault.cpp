#include "session/password_vault.h"

#include "listing/entry_date.h"
#include "sites/site_tree.h"
#include "store/program_data.h"

#include <QEventLoop>
#include <QTimer>
#include <QUuid>

namespace {

// Reading an entry that cannot exist tells whether a keyring answers at all.
const QString ProbeKey = QStringLiteral("keyring-check");

QByteArray newKey(bool site)
{
    return (site ? QByteArrayLiteral("site/") : QByteArrayLiteral("quick-connect/")) +
           QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
}

}  // namespace

PasswordVault::PasswordVault(PasswordKeyring& keyring, SiteTree& sites, ProgramData& settings, QObject* parent)
    : QObject(parent), m_keyring(keyring), m_sites(sites), m_settings(settings)
{}

PasswordVault::Slot PasswordVault::quickSlot()
{
    return {&m_settings.quickConnectPassword,
            &m_settings.quickConnectKeyringKey,
            &m_quickState,
            &m_quickCopy,
            &m_quickProblem,
            QStringLiteral("the quick-connect fields"),
            false};
}

QList<PasswordVault::Slot> PasswordVault::allSlots()
{
    QList<Slot> out;
    for (SiteNode* node : m_sites.sitesInTreeOrder()) {
        tSiteObject* s = node->site();
        out.append({&s->SitePassword, &s->SiteKeyringKey, &s->keyringState, &s->keyringCopy, &s->keyringProblem,
                    SiteTree::treePath(node), true});
    }
    out.append(quickSlot());
    return out;
}

void PasswordVault::start(double now)
{
    m_started = true;
    m_readsStarted = now;
    QList<QByteArray> toRead;
    bool wrote = false;
    for (Slot slot : allSlots()) {
        if (!slot.key->isEmpty())
            m_knownKeys.insert(*slot.key);
        if (!slot.password->isEmpty()) {
            // The file's own password is the newest: a save keeps a password
            // in the file only when the keyring did not take it.
            *slot.state = KeyringState::None;
            if (m_writable) {
                write(slot);
                wrote = true;
            }
        } else if (!slot.key->isEmpty()) {
            *slot.state = KeyringState::Pending;
            if (!toRead.contains(*slot.key))
                toRead.append(*slot.key);
        }
    }
    for (const QByteArray& key : toRead)
        read(key);
    if (m_writable && toRead.isEmpty() && !wrote)
        m_keyring.read(ProbeKey, this, [this](const KeyringResult& r) { noteAnswer(r); });
}

bool PasswordVault::readsSettled(double now) const
{
    return m_pendingReads == 0 || qRound64((now - m_readsStarted) * kSecondsPerDay) >= ReadWaitSeconds;
}

void PasswordVault::read(const QByteArray& key)
{
    ++m_pendingReads;
    m_keyring.read(QString::fromUtf8(key), this, [this, key](const KeyringResult& r) { readAnswered(key, r); });
}

void PasswordVault::readAnswered(const QByteArray& key, const KeyringResult& result)
{
    --m_pendingReads;
    noteAnswer(result);
    for (Slot slot : allSlots()) {
        if (*slot.key != key || *slot.state != KeyringState::Pending)
            continue;
        if (!result.ok()) {
            *slot.state = KeyringState::Unread;
            *slot.problem = result.code == KeyringCode::NotFound
                                ? QStringLiteral("the keyring is locked or holds no such entry")
                                : result.message;
            emit statusLine(QStringLiteral("Could not read the password of %1 from the keyring: %2")
                                .arg(slot.label, *slot.problem));
        } else if (!slot.password->isEmpty()) {
            // Typed while the keyring was being asked: the person's is newer.
            *slot.state = KeyringState::None;
        } else {
            *slot.password = result.password;
            *slot.state = KeyringState::Stored;
            *slot.copy = result.password;
            if (!slot.site)
                emit quickConnectPasswordRead(result.password);
        }
    }
}

void PasswordVault::write(Slot slot)
{
    if (slot.key->isEmpty())
        *slot.key = newKey(slot.site);
    m_knownKeys.insert(*slot.key);
    const QByteArray key = *slot.key;
    const QByteArray password = *slot.password;
    ++m_pendingChanges;
    // The answer finds its records again by key: a site may have been
    // deleted, or its password changed, while the keyring worked.
    m_keyring.write(QString::fromUtf8(key), password, this, [this, key, password](const KeyringResult& r) {
        --m_pendingChanges;
        noteAnswer(r);
        if (r.ok()) {
            for (Slot s : allSlots())
                if (*s.key == key && *s.password == password) {
                    *s.state = KeyringState::Stored;
                    *s.copy = password;
                }
        }
        emit changeAnswered();
    });
}

void PasswordVault::noteAnswer(const KeyringResult& result)
{
    const Availability before = m_availability;
    if (result.code == KeyringCode::Unavailable)
        m_availability = Availability::Unavailable;
    else if (result.code == KeyringCode::Ok || m_availability == Availability::Unknown)
        m_availability = Availability::Available;  // a locked keyring reads as "not found" too
    if (m_availability != before)
        emit availabilityChanged();
    if (m_availability == Availability::Unavailable && m_writable && !m_said) {
        m_said = true;
        emit statusLine(NoKeyringText);
        if (!result.message.isEmpty())
            emit statusLine(QStringLiteral("The keyring said: ") + result.message);
    }
}

void PasswordVault::storeBeforeSave()
{
    for (Slot slot : allSlots()) {
        if (!slot.password->isEmpty()) {
            const bool held =
                *slot.state == KeyringState::Stored && *slot.copy == *slot.password && !slot.key->isEmpty();
            if (!held && m_writable)
                write(slot);
        } else if (*slot.state != KeyringState::Pending && *slot.state != KeyringState::Unread &&
                   !slot.key->isEmpty()) {
            // The password was cleared: the record no longer names the entry,
            // and removeUnusedEntries takes it away after the save.
            slot.key->clear();
            *slot.state = KeyringState::None;
        }
    }
    waitForAnswers(m_saveWaitMs);
}

QByteArray PasswordVault::storedPassword(const tSiteObject& site)
{
    const bool held = site.keyringState == KeyringState::Stored && site.keyringCopy == site.SitePassword &&
                      !site.SiteKeyringKey.isEmpty();
    return held ? QByteArray() : site.SitePassword;
}

QByteArray PasswordVault::storedQuickConnectPassword() const
{
    const bool held = m_quickState == KeyringState::Stored && m_quickCopy == m_settings.quickConnectPassword &&
                      !m_settings.quickConnectKeyringKey.isEmpty();
    return held ? QByteArray() : m_settings.quickConnectPassword;
}

void PasswordVault::removeUnusedEntries()
{
    if (!m_writable)
        return;
    QSet<QByteArray> used;
    for (Slot slot : allSlots())
        if (!slot.key->isEmpty())
            used.insert(*slot.key);
    for (const QByteArray& key : m_knownKeys - used) {
        ++m_pendingChanges;
        m_keyring.remove(QString::fromUtf8(key), this, [this](const KeyringResult& r) {
            --m_pendingChanges;
            // A removal that fails leaves an entry no record names: nothing
            // is lost, so it does not count against the keyring.
            if (r.code != KeyringCode::Unavailable)
                noteAnswer(r);
            emit changeAnswered();
        });
    }
    m_knownKeys = used;
    waitForAnswers(m_saveWaitMs);
}

void PasswordVault::waitForAnswers(int ms)
{
    if (m_pendingChanges == 0 || ms <= 0)
        return;
    // The exit's only wait: the window is closing, and the answers decide
    // what the file must keep. Unanswered writes keep their passwords there.
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    const QMetaObject::Connection answered = connect(this, &PasswordVault::changeAnswered, &loop, [&] {
        if (m_pendingChanges == 0)
            loop.quit();
    });
    deadline.start(ms);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    disconnect(answered);
}
