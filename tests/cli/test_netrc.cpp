// The netrc file as ftp(1), curl and lftp read it: which entry a host and
// user get, quoting, comments, macros and damaged files.

#include "cli/netrc.h"

#include <QTest>

class TestNetrc : public QObject {
    Q_OBJECT

private slots:
    void lookup_data()
    {
        QTest::addColumn<QByteArray>("netrc");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("expected");  // "login|password", "login|-" without one, "none"

        const QByteArray two = "machine a.example login ann password pa\n"
                               "machine b.example login bob password pb\n"
                               "machine b.example login cid password pc\n"
                               "default login anonymous password me@example.org\n";
        QTest::newRow("host") << two << "b.example"
                              << ""
                              << "bob|pb";
        QTest::newRow("host in another case") << two << "B.Example"
                                              << ""
                                              << "bob|pb";
        QTest::newRow("host and user") << two << "b.example"
                                       << "cid"
                                       << "cid|pc";
        QTest::newRow("user fits no machine: default") << two << "b.example"
                                                       << "dan"
                                                       << "none";
        QTest::newRow("unknown host: default") << two << "c.example"
                                               << ""
                                               << "anonymous|me@example.org";
        QTest::newRow("default before machines still last")
            << QByteArray("default login x password y machine a login ann password pa") << "a"
            << ""
            << "ann|pa";
        QTest::newRow("one line, tabs and CRLF") << QByteArray("machine h\tlogin u\r\npassword p\r\n") << "h"
                                                 << ""
                                                 << "u|p";
        QTest::newRow("quoted with escapes") << QByteArray("machine h login u password \"a b\\\"c\\\\d\"") << "h"
                                             << ""
                                             << "u|a b\"c\\d";
        QTest::newRow("no password") << QByteArray("machine h login u") << "h"
                                     << ""
                                     << "u|-";
        QTest::newRow("no login fits any user") << QByteArray("machine h password p") << "h"
                                                << "zoe"
                                                << "|p";
        QTest::newRow("account skipped") << QByteArray("machine h login u account acc password p") << "h"
                                         << ""
                                         << "u|p";
        QTest::newRow("comment line") << QByteArray("# machine h login x password y\nmachine h login u password p")
                                      << "h"
                                      << ""
                                      << "u|p";
        QTest::newRow("hash inside a password") << QByteArray("machine h login u password #p") << "h"
                                                << ""
                                                << "u|#p";
        QTest::newRow("macro body skipped")
            << QByteArray("macdef init\nmachine h login x password y\n\nmachine h login u password p") << "h"
            << ""
            << "u|p";
        QTest::newRow("cut short") << QByteArray("machine h login u password") << "h"
                                   << ""
                                   << "u|-";
        QTest::newRow("values before any machine")
            << QByteArray("login x password y\nmachine h login u password p") << "h"
            << ""
            << "u|p";
        QTest::newRow("empty") << QByteArray() << "h"
                               << ""
                               << "none";
    }
    void lookup()
    {
        QFETCH(QByteArray, netrc);
        QFETCH(QString, host);
        QFETCH(QString, user);
        QFETCH(QString, expected);
        const std::optional<NetrcEntry> e = netrcLookup(netrc, host, user);
        const QString actual =
            !e ? QStringLiteral("none") : e->login + u'|' + (e->hasPassword ? e->password : QStringLiteral("-"));
        QCOMPARE(actual, expected);
    }
};

QTEST_GUILESS_MAIN(TestNetrc)
#include "test_netrc.moc"
