#pragma once

// A scripted keyring: entries in memory, answers on the next turn of the
// event loop, and switches for the situations a real keyring is hard to put
// in on cue (gone, refusing writes, never answering). Every request is
// recorded as "read key", "write key=password" or "remove key".

#include "keyring/password_keyring.h"

#include <QMap>
#include <QPointer>
#include <QRegularExpression>
#include <QStringList>
#include <QTimer>

struct ScriptedKeyring : PasswordKeyring {
    QMap<QString, QByteArray> entries;
    QStringList requests;
    bool available = true;      // false: every request answers Unavailable
    bool refuseWrites = false;  // a locked keyring the person does not unlock
    bool silent = false;        // requests are never answered
    QString reason = QStringLiteral("no session bus");

    void read(const QString& key, QObject* context, Done done) override
    {
        requests << QStringLiteral("read ") + key;
        answer(context, std::move(done), [this, key] {
            if (!available)
                return KeyringResult{KeyringCode::Unavailable, {}, reason};
            if (!entries.contains(key))
                return KeyringResult{KeyringCode::NotFound, {}, QStringLiteral("Entry not found")};
            return KeyringResult{KeyringCode::Ok, entries.value(key), {}};
        });
    }
    void write(const QString& key, const QByteArray& password, QObject* context, Done done) override
    {
        requests << QStringLiteral("write ") + key + u'=' + QString::fromUtf8(password);
        answer(context, std::move(done), [this, key, password] {
            if (!available || refuseWrites)
                return KeyringResult{KeyringCode::Unavailable, {}, reason};
            entries.insert(key, password);
            return KeyringResult{};
        });
    }
    void remove(const QString& key, QObject* context, Done done) override
    {
        requests << QStringLiteral("remove ") + key;
        answer(context, std::move(done), [this, key] {
            if (!available)
                return KeyringResult{KeyringCode::Unavailable, {}, reason};
            entries.remove(key);
            return KeyringResult{};
        });
    }

    // The requests of one kind ("read", "write", "remove").
    QStringList requestsOf(const QString& kind) const
    {
        return requests.filter(QRegularExpression(QStringLiteral("^") + kind + QStringLiteral(" ")));
    }

private:
    template <typename Outcome>
    void answer(QObject* context, Done done, Outcome outcome)
    {
        if (silent)
            return;
        QPointer<QObject> alive(context);
        QTimer::singleShot(0, context, [alive, done = std::move(done), outcome = std::move(outcome)] {
            if (alive)
                done(outcome());
        });
    }
};
