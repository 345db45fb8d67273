// The options added to sites after the record's layout was settled: the
// record keeps its size and names its entry in the "SiteOptions" stream in
// a reserved range; files without the stream give every site the default.

#include "store/site_object.h"

#include <QTest>

class TestSiteOptions : public QObject {
    Q_OBJECT
private slots:
    void optionsKeyLivesInTheReservedRange()
    {
        tSiteObject site = tSiteObject::newSite();
        site.SiteKeyringKey = "site/k";
        site.SiteOptionsKey = "0b6f";
        const QByteArray bytes = site.encode();
        QCOMPARE(bytes.size(), tSiteObject::RecordSize);
        QCOMPARE(bytes.mid(1607, 5), QByteArray("\x04"
                                                "0b6f"));
        QCOMPARE(bytes.mid(1543, 7), QByteArray("\x06site/k"));
        const tSiteObject back = *tSiteObject::decode(bytes);
        QCOMPARE(back.SiteOptionsKey, QByteArray("0b6f"));
        // An old record (zeros there) has no key and the default mode.
        const tSiteObject old = *tSiteObject::decode(QByteArray(tSiteObject::RecordSize, '\0'));
        QVERIFY(old.SiteOptionsKey.isEmpty());
        QCOMPARE(old.SiteTlsMode, quint8(1));
    }

    void streamRoundTrip()
    {
        tSiteObject plain = tSiteObject::newSite();
        tSiteObject implicit = tSiteObject::newSite();
        implicit.SiteTlsMode = 3;
        tSiteObject off = tSiteObject::newSite();
        off.SiteTlsMode = 0;
        const QByteArray stream = encodeSiteOptions({&plain, &implicit, &off});
        // Only sites with an option of their own get a key and an entry.
        QVERIFY(plain.SiteOptionsKey.isEmpty());
        QVERIFY(!implicit.SiteOptionsKey.isEmpty());
        QVERIFY(!off.SiteOptionsKey.isEmpty());
        QVERIFY(implicit.SiteOptionsKey != off.SiteOptionsKey);

        tSiteObject a = tSiteObject::newSite(), b = tSiteObject::newSite(), c = tSiteObject::newSite();
        a.SiteOptionsKey = off.SiteOptionsKey;
        b.SiteOptionsKey = implicit.SiteOptionsKey;
        c.SiteOptionsKey = "unknown";
        decodeSiteOptions(stream, {&a, &b, &c});
        QCOMPARE(a.SiteTlsMode, quint8(0));
        QCOMPARE(b.SiteTlsMode, quint8(3));
        QCOMPARE(c.SiteTlsMode, quint8(1));
        // A damaged stream changes nothing.
        tSiteObject d = tSiteObject::newSite();
        d.SiteOptionsKey = implicit.SiteOptionsKey;
        decodeSiteOptions(stream.left(stream.size() - 1), {&d});
        QCOMPARE(d.SiteTlsMode, quint8(1));
    }
};

QTEST_GUILESS_MAIN(TestSiteOptions)
#include "test_site_options.moc"
