// SOCKS messages and the handshake machine, byte for byte.

#include "net/socket_errors.h"
#include "net/socks.h"
#include "net/socks_handshake.h"

#include <QTest>

using namespace net;
using socks::ParseResult;

Q_DECLARE_METATYPE(net::SocksLevel)
Q_DECLARE_METATYPE(net::socks::ParseResult)

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

enum class Parser { Socks4, Method, MethodOfferedAuth, Auth, Connect };

socks::Reply parse(Parser p, const QByteArray& data)
{
    switch (p) {
    case Parser::Socks4:
        return socks::parseSocks4Reply(data);
    case Parser::Method:
        return socks::parseSocks5MethodReply(data, false);
    case Parser::MethodOfferedAuth:
        return socks::parseSocks5MethodReply(data, true);
    case Parser::Auth:
        return socks::parseSocks5AuthReply(data);
    case Parser::Connect:
        return socks::parseSocks5ConnectReply(data);
    }
    return {};
}

}  // namespace

Q_DECLARE_METATYPE(Parser)

class TestSocksCodec : public QObject {
    Q_OBJECT
private slots:
    void requests_data();
    void requests();
    void replies_data();
    void replies();
    void handshake_data();
    void handshake();
};

void TestSocksCodec::requests_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("socks4 ip, user") << socks::buildSocks4Request(QHostAddress("127.0.0.1"), 21, "bob")
                                     << hex("04 01 0015 7f000001 626f62 00");
    QTest::newRow("socks4 no user") << socks::buildSocks4Request(QHostAddress("10.1.2.3"), 65535, "")
                                    << hex("04 01 ffff 0a010203 00");
    QTest::newRow("socks4 ipv6 refused") << socks::buildSocks4Request(QHostAddress("::1"), 21, "") << QByteArray();
    QTest::newRow("socks4 NUL in user") << socks::buildSocks4Request(QHostAddress("127.0.0.1"), 21,
                                                                     QByteArray("a\0b", 3))
                                        << QByteArray();
    QTest::newRow("socks4a name") << socks::buildSocks4aRequest("ftp.example.org", 2121, "u")
                                  << hex("04 01 0849 00000001 75 00") + "ftp.example.org" + '\0';
    QTest::newRow("socks4a empty name") << socks::buildSocks4aRequest("", 21, "") << QByteArray();
    QTest::newRow("greeting") << socks::buildSocks5Greeting(false) << hex("05 01 00");
    QTest::newRow("greeting auth") << socks::buildSocks5Greeting(true) << hex("05 02 00 02");
    QTest::newRow("auth") << socks::buildSocks5AuthRequest("u", "pw") << hex("01 01 75 02 7077");
    QTest::newRow("auth empty password") << socks::buildSocks5AuthRequest("u", "") << hex("01 01 75 00");
    QTest::newRow("auth user 255") << socks::buildSocks5AuthRequest(QByteArray(255, 'x'), "p").left(2) << hex("01 ff");
    QTest::newRow("auth user 256") << socks::buildSocks5AuthRequest(QByteArray(256, 'x'), "p") << QByteArray();
    QTest::newRow("auth password 256") << socks::buildSocks5AuthRequest("u", QByteArray(256, 'x')) << QByteArray();
    QTest::newRow("connect ipv4") << socks::buildSocks5ConnectRequest("127.0.0.1", 21)
                                  << hex("05 01 00 01 7f000001 0015");
    QTest::newRow("connect name") << socks::buildSocks5ConnectRequest("localhost", 80)
                                  << hex("05 01 00 03 09") + "localhost" + hex("0050");
    QTest::newRow("connect ipv6") << socks::buildSocks5ConnectRequest("::1", 21)
                                  << hex("05 01 00 04 00000000000000000000000000000001 0015");
    QTest::newRow("connect name 256") << socks::buildSocks5ConnectRequest(QByteArray(256, 'a'), 21) << QByteArray();
}

void TestSocksCodec::requests()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built.toHex(' '), expected.toHex(' '));
}

void TestSocksCodec::replies_data()
{
    QTest::addColumn<Parser>("parser");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<ParseResult>("result");
    QTest::addColumn<int>("consumed");
    QTest::addColumn<int>("code");

    const auto N = ParseResult::NeedMore;
    const auto O = ParseResult::Ok;
    const auto R = ParseResult::Rejected;
    const auto M = ParseResult::Malformed;

    QTest::newRow("4 empty") << Parser::Socks4 << QByteArray() << N << 0 << 0;
    QTest::newRow("4 version only") << Parser::Socks4 << hex("00") << N << 0 << 0;
    QTest::newRow("4 granted partial") << Parser::Socks4 << hex("00 5a 0015") << N << 0 << 90;
    QTest::newRow("4 granted") << Parser::Socks4 << hex("00 5a 0015 7f000001") << O << 8 << 90;
    QTest::newRow("4 granted + data") << Parser::Socks4 << hex("00 5a 0000 00000000 3232") << O << 8 << 90;
    QTest::newRow("4 version 4 taken") << Parser::Socks4 << hex("04 5a 0000 00000000") << O << 8 << 90;
    QTest::newRow("4 rejected early") << Parser::Socks4 << hex("00 5b") << R << 0 << 91;
    QTest::newRow("4 identd") << Parser::Socks4 << hex("00 5c 0000 00000000") << R << 0 << 92;
    QTest::newRow("4 bad version") << Parser::Socks4 << hex("05 00") << M << 0 << 5;
    QTest::newRow("4 bad code") << Parser::Socks4 << hex("00 01 0000 00000000") << M << 0 << 1;
    QTest::newRow("4 http text") << Parser::Socks4 << QByteArray("HTTP/1.0 400") << M << 0 << int('H');

    QTest::newRow("m partial") << Parser::Method << hex("05") << N << 0 << 0;
    QTest::newRow("m none") << Parser::Method << hex("05 00") << O << 2 << 0;
    QTest::newRow("m userpass offered") << Parser::MethodOfferedAuth << hex("05 02") << O << 2 << 2;
    QTest::newRow("m userpass not offered") << Parser::Method << hex("05 02") << M << 0 << 2;
    QTest::newRow("m gssapi") << Parser::MethodOfferedAuth << hex("05 01") << M << 0 << 1;
    QTest::newRow("m none acceptable") << Parser::MethodOfferedAuth << hex("05 ff") << R << 0 << 255;
    QTest::newRow("m socks4 server") << Parser::Method << hex("00 5b") << M << 0 << 0;

    QTest::newRow("a partial") << Parser::Auth << hex("01") << N << 0 << 0;
    QTest::newRow("a ok") << Parser::Auth << hex("01 00") << O << 2 << 0;
    QTest::newRow("a ok version 5") << Parser::Auth << hex("05 00") << O << 2 << 0;
    QTest::newRow("a refused") << Parser::Auth << hex("01 01") << R << 0 << 1;
    QTest::newRow("a bad version") << Parser::Auth << hex("02 00") << M << 0 << 2;

    QTest::newRow("c ipv4") << Parser::Connect << hex("05 00 00 01 7f000001 0015") << O << 10 << 0;
    QTest::newRow("c ipv4 + data") << Parser::Connect << hex("05 00 00 01 7f000001 0015 32") << O << 10 << 0;
    QTest::newRow("c ipv4 partial") << Parser::Connect << hex("05 00 00 01 7f00") << N << 0 << 0;
    QTest::newRow("c header partial") << Parser::Connect << hex("05 00 00") << N << 0 << 0;
    QTest::newRow("c name") << Parser::Connect << hex("05 00 00 03 09") + "localhost" + hex("0050") << O << 16 << 0;
    QTest::newRow("c name length only") << Parser::Connect << hex("05 00 00 03") << N << 0 << 0;
    QTest::newRow("c name partial") << Parser::Connect << hex("05 00 00 03 09 6c6f") << N << 0 << 0;
    QTest::newRow("c ipv6") << Parser::Connect << hex("05 00 00 04") + QByteArray(16, 0) + hex("0015") << O << 22 << 0;
    QTest::newRow("c refused") << Parser::Connect << hex("05 05") << R << 0 << 5;
    QTest::newRow("c not allowed") << Parser::Connect << hex("05 02 00 01 00000000 0000") << R << 0 << 2;
    QTest::newRow("c bad atyp") << Parser::Connect << hex("05 00 00 09 00000000 0000") << M << 0 << 0;
    QTest::newRow("c bad version") << Parser::Connect << hex("04 00") << M << 0 << 4;
}

void TestSocksCodec::replies()
{
    QFETCH(Parser, parser);
    QFETCH(QByteArray, input);
    QFETCH(ParseResult, result);
    QFETCH(int, consumed);
    QFETCH(int, code);
    const socks::Reply r = parse(parser, input);
    QCOMPARE(r.result, result);
    if (result == ParseResult::Ok)
        QCOMPARE(r.consumed, consumed);
    if (result != ParseResult::NeedMore)
        QCOMPARE(int(r.code), code);
}

// A server script: chunks the server sends, one feed() each; "close" ends the
// connection. The table checks everything the client sent and how it ended.
void TestSocksCodec::handshake_data()
{
    QTest::addColumn<SocksLevel>("level");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QList<QByteArray>>("server");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<int>("error");  // -1: still in progress
    QTest::addColumn<QByteArray>("leftover");

    const QByteArray grant4 = hex("00 5a 0000 00000000");
    const QByteArray ok5 = hex("05 00 00 01 7f000001 0015");
    const QByteArray req5 = hex("05 01 00 01 7f000001 0015");

    QTest::newRow("4 granted") << SocksLevel::Socks4 << QByteArray("127.0.0.1") << QByteArray("me") << QByteArray()
                               << QList<QByteArray>{grant4} << hex("04 01 0015 7f000001 6d65 00") << 0 << QByteArray();
    QTest::newRow("4 banner in reply segment")
        << SocksLevel::Socks4 << QByteArray("127.0.0.1") << QByteArray() << QByteArray()
        << QList<QByteArray>{grant4 + "220 hi\r\n"} << hex("04 01 0015 7f000001 00") << 0 << QByteArray("220 hi\r\n");
    QTest::newRow("4 reply byte by byte")
        << SocksLevel::Socks4 << QByteArray("127.0.0.1") << QByteArray() << QByteArray()
        << QList<QByteArray>{hex("00"), hex("5a"), hex("0000"), hex("000000"), hex("00")}
        << hex("04 01 0015 7f000001 00") << 0 << QByteArray();
    QTest::newRow("4 name needs lookup") << SocksLevel::Socks4 << QByteArray("localhost") << QByteArray()
                                         << QByteArray() << QList<QByteArray>{} << QByteArray()
                                         << int(ErrSocksHostUnresolvable) << QByteArray();
    QTest::newRow("4 refused") << SocksLevel::Socks4 << QByteArray("127.0.0.1") << QByteArray() << QByteArray()
                               << QList<QByteArray>{hex("00 5b 0000 00000000")} << hex("04 01 0015 7f000001 00")
                               << int(ErrSocksRejected) << QByteArray();
    QTest::newRow("4 closed mid reply") << SocksLevel::Socks4 << QByteArray("127.0.0.1") << QByteArray() << QByteArray()
                                        << QList<QByteArray>{hex("00 5a 00"), "close"} << hex("04 01 0015 7f000001 00")
                                        << int(ErrSocksClosed) << QByteArray();
    QTest::newRow("4 partial, waiting") << SocksLevel::Socks4 << QByteArray("127.0.0.1") << QByteArray() << QByteArray()
                                        << QList<QByteArray>{hex("00 5a 00")} << hex("04 01 0015 7f000001 00") << -1
                                        << QByteArray();
    QTest::newRow("4a name") << SocksLevel::Socks4A << QByteArray("ftp.test") << QByteArray("u") << QByteArray()
                             << QList<QByteArray>{grant4} << hex("04 01 0015 00000001 75 00") + "ftp.test" + '\0' << 0
                             << QByteArray();
    QTest::newRow("4a dotted address") << SocksLevel::Socks4A << QByteArray("127.0.0.1") << QByteArray() << QByteArray()
                                       << QList<QByteArray>{grant4} << hex("04 01 0015 7f000001 00") << 0
                                       << QByteArray();
    QTest::newRow("5 no auth") << SocksLevel::Socks5 << QByteArray("127.0.0.1") << QByteArray() << QByteArray()
                               << QList<QByteArray>{hex("05 00"), ok5} << hex("05 01 00") + req5 << 0 << QByteArray();
    QTest::newRow("5 split replies") << SocksLevel::Socks5 << QByteArray("127.0.0.1") << QByteArray() << QByteArray()
                                     << QList<QByteArray>{hex("05"), hex("00 05"), hex("00 00 01 7f"), hex("000001 00"),
                                                          hex("15 3232")}
                                     << hex("05 01 00") + req5 << 0 << QByteArray("22");
    QTest::newRow("5 user/password") << SocksLevel::Socks5 << QByteArray("127.0.0.1") << QByteArray("u")
                                     << QByteArray("pw") << QList<QByteArray>{hex("05 02"), hex("01 00"), ok5}
                                     << hex("05 02 00 02") + hex("01 01 75 02 7077") + req5 << 0 << QByteArray();
    QTest::newRow("5 user, server wants none")
        << SocksLevel::Socks5 << QByteArray("127.0.0.1") << QByteArray("u") << QByteArray("pw")
        << QList<QByteArray>{hex("05 00"), ok5} << hex("05 02 00 02") + req5 << 0 << QByteArray();
    QTest::newRow("5 wrong password") << SocksLevel::Socks5 << QByteArray("127.0.0.1") << QByteArray("u")
                                      << QByteArray("bad") << QList<QByteArray>{hex("05 02"), hex("01 01")}
                                      << hex("05 02 00 02") + hex("01 01 75 03 626164") << int(ErrSocksAuthFailed)
                                      << QByteArray();
    QTest::newRow("5 no acceptable method")
        << SocksLevel::Socks5 << QByteArray("127.0.0.1") << QByteArray() << QByteArray()
        << QList<QByteArray>{hex("05 ff")} << hex("05 01 00") << int(ErrSocksNoAcceptableMethod) << QByteArray();
    QTest::newRow("5 name, target refused")
        << SocksLevel::Socks5 << QByteArray("localhost") << QByteArray() << QByteArray()
        << QList<QByteArray>{hex("05 00"), hex("05 05 00 01 00000000 0000")}
        << hex("05 01 00") + hex("05 01 00 03 09") + "localhost" + hex("0015") << int(ErrConnectionRefused)
        << QByteArray();
    QTest::newRow("5 ruleset refusal") << SocksLevel::Socks5 << QByteArray("127.0.0.1") << QByteArray() << QByteArray()
                                       << QList<QByteArray>{hex("05 00"), hex("05 02")} << hex("05 01 00") + req5
                                       << int(ErrSocksRejected) << QByteArray();
    QTest::newRow("5 garbage") << SocksLevel::Socks5 << QByteArray("127.0.0.1") << QByteArray() << QByteArray()
                               << QList<QByteArray>{"HTTP/1.0 400 Bad Request\r\n"} << hex("05 01 00")
                               << int(ErrSocksProtocol) << QByteArray();
    QTest::newRow("5 closed after greeting")
        << SocksLevel::Socks5 << QByteArray("127.0.0.1") << QByteArray() << QByteArray()
        << QList<QByteArray>{hex("05 00"), "close"} << hex("05 01 00") + req5 << int(ErrSocksClosed) << QByteArray();
    QTest::newRow("5 name too long") << SocksLevel::Socks5 << QByteArray(300, 'a') << QByteArray() << QByteArray()
                                     << QList<QByteArray>{} << QByteArray() << int(ErrSocksBadRequest) << QByteArray();
}

void TestSocksCodec::handshake()
{
    QFETCH(SocksLevel, level);
    QFETCH(QByteArray, host);
    QFETCH(QByteArray, user);
    QFETCH(QByteArray, password);
    QFETCH(QList<QByteArray>, server);
    QFETCH(QByteArray, sent);
    QFETCH(int, error);
    QFETCH(QByteArray, leftover);

    SocksHandshake hs(level, host, 21, user, password);
    SocksHandshake::Step step = hs.start();
    QByteArray allSent = step.toSend;
    for (const QByteArray& chunk : server) {
        if (step.status != SocksHandshake::Status::InProgress)
            break;
        step = chunk == "close" ? hs.serverClosed() : hs.feed(chunk);
        allSent += step.toSend;
    }
    QCOMPARE(allSent.toHex(' '), sent.toHex(' '));
    if (error < 0) {
        QCOMPARE(step.status, SocksHandshake::Status::InProgress);
    } else if (error == 0) {
        QCOMPARE(step.status, SocksHandshake::Status::Done);
        QCOMPARE(step.leftover, leftover);
    } else {
        QCOMPARE(step.status, SocksHandshake::Status::Failed);
        QCOMPARE(step.error, error);
    }
}

QTEST_GUILESS_MAIN(TestSocksCodec)
#include "test_socks_codec.moc"
