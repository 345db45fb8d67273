#pragma once

// Server certificates made at test time with the openssl command, in a
// temporary folder of their own: one per case the client must judge.

#include <QString>
#include <QTemporaryDir>

namespace testsupport {

class TestCertificates {
public:
    enum class Kind {
        SelfSigned,  // for "localhost" and 127.0.0.1, valid now
        WrongHost,   // valid now, but for "wrong.example.org" only
        Expired,     // for localhost and 127.0.0.1, valid in January 2020
    };

    struct Pair {
        QString certificate;  // PEM
        QString key;          // PEM, unencrypted
        bool ok() const { return !certificate.isEmpty(); }
    };

    // Makes a new certificate and key (a new key every call, so two calls of
    // the same kind give two different certificates). On failure the pair is
    // empty and errorString() says why.
    Pair make(Kind kind);
    QString errorString() const { return m_error; }

private:
    bool run(const QStringList& arguments, const QString& workDir);

    QTemporaryDir m_dir;
    int m_count = 0;
    QString m_error;
};

}  // namespace testsupport
