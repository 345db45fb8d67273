// The site record and the "Favorites" stream against hand-written bytes.

#include "store/site_object.h"

#include <QtTest>

namespace {

void str(QByteArray& b, int offset, QByteArray text)
{
    b[offset] = char(text.size());
    for (int i = 0; i < text.size(); ++i)
        b[offset + 1 + i] = text[i];
}

tSiteObject sample()
{
    tSiteObject s;
    s.SiteName = "/Work/Alpha";
    s.SiteUser = "ann";
    s.SitePassword = "pa ss";
    s.SiteHost = "alpha.example.org";
    s.SitePort = "32767";
    s.SiteLocalFolder = "/home/ann/alpha/";
    s.SiteRemoteFolder = "/pub/";
    s.SiteAutoReconnect = true;
    s.SiteKeyringKey = "site/5d0c";
    return s;
}

QByteArray sampleBytes()
{
    QByteArray b(4206, '\0');
    str(b, 0, "/Work/Alpha");
    str(b, 256, "ann");
    str(b, 512, "pa ss");
    str(b, 768, "alpha.example.org");
    str(b, 1024, "32767");
    str(b, 1031, "/home/ann/alpha/");
    str(b, 1287, "/pub/");
    str(b, 1543, "site/5d0c");
    b[4105] = 1;
    return b;
}

}  // namespace

class TestSiteObject : public QObject {
    Q_OBJECT
private slots:
    void encodesEveryFieldAtItsOffset() { QCOMPARE(sample().encode(), sampleBytes()); }

    void decodesAndKeepsReservedBytes()
    {
        QByteArray image = sampleBytes();
        image[1671] = 'r';  // reserved block (after the keyring and options keys)
        image[4104] = 'r';
        image[4106] = 1;    // reserved flag
        image[4205] = 'z';  // reserved tail
        auto decoded = tSiteObject::decode(image);
        QVERIFY(decoded);
        tSiteObject expected = sample();
        expected.heldBytes = image;
        QVERIFY(*decoded == expected);
        decoded->SiteHost = "beta";
        QByteArray changed = image;
        str(changed, 768, "beta");
        for (int i = 768 + 5; i < 1024; ++i)
            changed[i] = '\0';
        QCOMPARE(decoded->encode(), changed);
        QVERIFY(!tSiteObject::decode(image.left(4205)));
    }

    void newSiteDefaults()
    {
        QByteArray b(4206, '\0');
        str(b, 1024, "21");
        b[4105] = 1;
        QCOMPARE(tSiteObject::newSite().encode(), b);
    }

    void keyringKeyIsCutToItsField()
    {
        tSiteObject s;
        s.SiteKeyringKey = QByteArray(80, 'k');
        const QByteArray b = s.encode();
        QCOMPARE(int(quint8(b[1543])), 63);
        QCOMPARE(int(b[1607]), 0);  // the reserved range after it stays zero
        QCOMPARE(tSiteObject::decode(b)->SiteKeyringKey, QByteArray(63, 'k'));
    }

    void portIsCutToSixCharacters()
    {
        tSiteObject s;
        s.SitePort = "1234567890";
        const QByteArray b = s.encode();
        QCOMPARE(int(b[1024]), 6);
        QCOMPARE(b.mid(1025, 6), QByteArray("123456"));
        QCOMPARE(int(b[1031]), 0);  // the local folder's length byte is untouched
    }

    void twentySitesMakeTwentyRecords()
    {
        QList<tSiteObject> sites;
        for (int i = 0; i < 20; ++i) {
            tSiteObject s = tSiteObject::newSite();
            s.SiteName = "/Site " + QByteArray::number(i);
            sites.append(s);
        }
        const QByteArray stream = encodeFavorites(sites);
        QCOMPARE(stream.size(), 20 * 4206);
        const QList<tSiteObject> back = decodeFavorites(stream + QByteArray(100, 'x'));
        QCOMPARE(back.size(), 20);
        QCOMPARE(back[19].SiteName, QByteArray("/Site 19"));
        QCOMPARE(back[7].SitePort, QByteArray("21"));
    }
};

QTEST_GUILESS_MAIN(TestSiteObject)
#include "test_site_object.moc"
