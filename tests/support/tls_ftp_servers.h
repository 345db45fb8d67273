#pragma once

// ProFTPD (mod_tls) and Pure-FTPd with TLS, for the FTP-over-TLS tests.
// Both conflict with vsftpd as installed Debian packages, so scripts/setup
// unpacks them into a folder of their own: $GLIMMER_TEST_SERVERS, by default
// /opt/glimmer-test-servers. They log in the shared test account
// (ensureFtpTestUser) into root().

#include "support/server_process.h"

namespace testsupport {

QString testServersDir();

class ProftpdServer : public ServerProcess {
public:
    // TLS required for log-ins and data, with ProFTPD's default of requiring
    // data connections to resume the control connection's TLS session.
    // tls12Only: TLS 1.2 at most (TLSProtocol TLSv1.2), else 1.2 and 1.3.
    ProftpdServer(QString certificate, QString key, bool tls12Only = false);

    QString root() const;
    QByteArray user() const;
    QByteArray password() const;
    bool handRootToUser() const;

protected:
    bool prepare(quint16 port, Launch& launch, QString& error) override;

private:
    QString m_certificate;
    QString m_key;
    bool m_tls12Only;
};

class PureFtpdServer : public ServerProcess {
public:
    // TLS required for the control connection and the data connections.
    PureFtpdServer(QString certificate, QString key);

    QString root() const;
    QByteArray user() const;
    QByteArray password() const;
    bool handRootToUser() const;

protected:
    bool prepare(quint16 port, Launch& launch, QString& error) override;

private:
    QString m_certificate;
    QString m_key;
};

}  // namespace testsupport
