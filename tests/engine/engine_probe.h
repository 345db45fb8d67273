#pragma once

// Records what a TFtpClient reports, for the engine's tests.

#include "engine/ftp_client.h"

#include <QFile>
#include <QList>
#include <QPair>
#include <QTest>

#include <algorithm>

struct EngineProbe {
    TFtpClient ftp;
    QList<QByteArray> lines;  // OnDisplay
    QList<QPair<TFtpRequest, int>> done;
    QList<int> closed;
    int responses = 0;
    int connectedEvents = 0;

    EngineProbe()
    {
        QObject::connect(&ftp, &TFtpClient::OnDisplay, [this](QByteArray& m) { lines << m; });
        QObject::connect(&ftp, &TFtpClient::OnRequestDone, [this](TFtpRequest rq, int e) { done << qMakePair(rq, e); });
        QObject::connect(&ftp, &TFtpClient::OnSessionClosed, [this](int e) { closed << e; });
        QObject::connect(&ftp, &TFtpClient::OnResponse, [this] { ++responses; });
        QObject::connect(&ftp, &TFtpClient::OnSessionConnected, [this](int) { ++connectedEvents; });
    }

    void server(const QByteArray& user, const QByteArray& pass, quint16 port)
    {
        ftp.setHostName("127.0.0.1");
        ftp.setPort(QByteArray::number(port));
        ftp.setUserName(user);
        ftp.setPassWord(pass);
    }

    bool waitDone(int count = 1, int ms = 20000)
    {
        return QTest::qWaitFor([&] { return done.size() >= count; }, ms);
    }

    int sent(const QByteArray& command) const
    {
        int n = 0;
        for (const QByteArray& l : lines)
            if (l.startsWith("> " + command))
                ++n;
        return n;
    }

    int linesWith(const QByteArray& text) const
    {
        return int(std::count_if(lines.begin(), lines.end(), [&](const QByteArray& l) { return l.contains(text); }));
    }

    QByteArray dump() const { return lines.join('\n'); }

    // The message of the refusal a call raises, or empty when none.
    template <typename F>
    static QByteArray refusal(F&& call)
    {
        try {
            call();
        } catch (const FtpException& e) {
            return QByteArray(e.what());
        }
        return {};
    }
};

inline bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Runs one engine call and waits for its report; returns the error, -1 when
// none came.
template <typename F>
int run(EngineProbe& p, F&& call, int ms = 60000)
{
    const int before = int(p.done.size());
    call();
    if (!p.waitDone(before + 1, ms))
        return -1;
    return p.done.last().second;
}

// A typed transfer between a remote name and a local path.
inline FtpTransfer transferOf(const QByteArray& remote, const QString& local)
{
    FtpTransfer t;
    t.remote = remote;
    t.local = QFile::encodeName(local);
    return t;
}
