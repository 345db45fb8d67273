#include "keyring/password_keyring.h"

#include <QMetaObject>
#include <QPointer>

#include <memory>

#if GLIMMER_HAVE_QTKEYCHAIN
#include <qt6keychain/keychain.h>
#endif

void NoKeyring::refuse(QObject* context, Done done)
{
    QMetaObject::invokeMethod(
        context,
        [done = std::move(done)] {
            done({KeyringCode::Unavailable, {}, Reason});
        },
        Qt::QueuedConnection);
}

#if GLIMMER_HAVE_QTKEYCHAIN

namespace {

const QString ServiceName = QStringLiteral("Glimmer FTP");

KeyringResult resultOf(const QKeychain::Job& job)
{
    switch (job.error()) {
    case QKeychain::NoError:
        return {};
    case QKeychain::EntryNotFound:
        return {KeyringCode::NotFound, {}, job.errorString()};
    default:
        return {KeyringCode::Unavailable, {}, job.errorString()};
    }
}

// QtKeychain answers through the job's finished signal, which may come from
// a later turn of the event loop or (when the backend fails at once) from a
// queued call; either way never inside start().
void run(QKeychain::Job* job, QObject* context, PasswordKeyring::Done done,
         std::function<void(QKeychain::Job&, KeyringResult&)> fill = {})
{
    job->setAutoDelete(true);
    QObject::connect(job, &QKeychain::Job::finished, context,
                     [done = std::move(done), fill = std::move(fill)](QKeychain::Job* finished) {
                         KeyringResult result = resultOf(*finished);
                         if (result.ok() && fill)
                             fill(*finished, result);
                         done(result);
                     });
    job->start();
}

class SecretServiceKeyring : public PasswordKeyring {
public:
    void read(const QString& key, QObject* context, Done done) override
    {
        auto* job = new QKeychain::ReadPasswordJob(ServiceName);
        job->setKey(key);
        run(job, context, std::move(done), [](QKeychain::Job& j, KeyringResult& r) {
            r.password = static_cast<QKeychain::ReadPasswordJob&>(j).binaryData();
        });
    }

    void write(const QString& key, const QByteArray& password, QObject* context, Done done) override
    {
        auto* job = new QKeychain::WritePasswordJob(ServiceName);
        job->setKey(key);
        // Text is what a keyring manager shows readably; bytes that are not
        // UTF-8 (a password typed in another code page) go as binary so that
        // they come back exactly.
        const QString text = QString::fromUtf8(password);
        if (text.toUtf8() == password)
            job->setTextData(text);
        else
            job->setBinaryData(password);
        run(job, context, std::move(done));
    }

    void remove(const QString& key, QObject* context, Done done) override
    {
        auto* job = new QKeychain::DeletePasswordJob(ServiceName);
        job->setKey(key);
        run(job, context, std::move(done));
    }
};

}  // namespace

std::unique_ptr<PasswordKeyring> createDesktopKeyring() { return std::make_unique<SecretServiceKeyring>(); }

#else

std::unique_ptr<PasswordKeyring> createDesktopKeyring() { return std::make_unique<NoKeyring>(); }

#endif
