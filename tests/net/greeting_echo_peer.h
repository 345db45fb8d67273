#pragma once

// The target of the SOCKS tests: a QTcpServer on 127.0.0.1 whose connections
// are greeted at once (as an FTP server greets) and then echo what they get.

#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>

class GreetingEchoPeer : public QObject {
public:
    GreetingEchoPeer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                ++connections;
                s->write("220 ready\r\n");
                connect(s, &QTcpSocket::readyRead, s, [s] { s->write(s->readAll()); });
            }
        });
    }
    QTcpServer server;
    int connections = 0;
};
