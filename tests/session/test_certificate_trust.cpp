// Fingerprints as people write them and the certificates trusted per host
// and port, as the settings keep them.

#include "engine/ftp_tls.h"
#include "session/certificate_trust.h"

#include <QTest>

class TestCertificateTrust : public QObject {
    Q_OBJECT
private slots:
    void fingerprintNotation()
    {
        const QByteArray digest = QByteArray::fromHex("3a7f00ff" + QByteArray(56, 'e'));
        const QString text = fingerprintText(digest);
        QVERIFY(text.startsWith("SHA256:3A:7F:00:FF:EE"));
        QCOMPARE(parseFingerprint(text), digest);
        // Colons, case and the prefix are optional.
        QCOMPARE(parseFingerprint("sha256:" + QString::fromLatin1(digest.toHex())), digest);
        QCOMPARE(parseFingerprint(QString::fromLatin1(digest.toHex().toUpper())), digest);
        QVERIFY(parseFingerprint("SHA256:3A:7F").isEmpty());
        QVERIFY(parseFingerprint("SHA256:" + QString(64, 'g')).isEmpty());
        QVERIFY(parseFingerprint(QString::fromLatin1(digest.toHex()) + "00").isEmpty());
    }

    void perHostAndPort()
    {
        const QByteArray one(32, '\x01'), two(32, '\x02');
        QCOMPARE(certificateHostKey("Example.ORG", 21), QString("example.org:21"));
        QCOMPARE(certificateHostKey("::1", 990), QString("[::1]:990"));
        QByteArray store = withTrustedCertificate({}, "a.example:21", one);
        store = withTrustedCertificate(store, "a.example:990", two);
        QCOMPARE(trustedCertificate(store, "a.example:21"), one);
        QCOMPARE(trustedCertificate(store, "a.example:990"), two);
        QVERIFY(trustedCertificate(store, "b.example:21").isEmpty());
        // Trusting another certificate replaces the host's old one.
        store = withTrustedCertificate(store, "a.example:21", two);
        QCOMPARE(trustedCertificate(store, "a.example:21"), two);
        QCOMPARE(store.count('\n'), 2);
        // A damaged line is ignored.
        QVERIFY(trustedCertificate("a.example:21 zz\n", "a.example:21").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCertificateTrust)
#include "test_certificate_trust.moc"
