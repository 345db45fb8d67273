#pragma once

// One of the two real servers the command tests run against, behind one
// face: where its files live on disk and how a URL names them.

#include "support/pyftp_server.h"
#include "support/vsftpd_server.h"

#include <memory>

struct Served {
    std::unique_ptr<testsupport::PyFtpServer> py;
    std::unique_ptr<testsupport::VsftpdServer> vs;

    explicit Served(const QString& kind, testsupport::PyFtpServer::Options options = {})
    {
        if (kind == QLatin1String("vsftpd"))
            vs = std::make_unique<testsupport::VsftpdServer>();
        else
            py = std::make_unique<testsupport::PyFtpServer>(options);
    }
    QString root() const { return py ? py->root() : vs->root(); }
    // vsftpd serves the whole file system from its log-in folder on,
    // pyftpdlib its root as "/".
    QString remote(const QString& relative) const { return (py ? QString() : vs->root()) + relative; }
    QString url(const QString& relative) const
    {
        const QByteArray user = py ? py->user() : vs->user();
        const QByteArray password = py ? py->password() : vs->password();
        const quint16 port = py ? py->port() : vs->port();
        return QStringLiteral("ftp://%1:%2@127.0.0.1:%3%4")
            .arg(QString::fromUtf8(user), QString::fromUtf8(password))
            .arg(port)
            .arg(remote(relative));
    }
    bool start() { return py ? py->start() : vs->start(); }
    QString why() const { return py ? py->errorString() : vs->errorString(); }
    // Files the test makes (as root) after the start are handed to vsftpd's user.
    void handOver() const
    {
        if (vs)
            vs->handRootToUser();
    }
};
