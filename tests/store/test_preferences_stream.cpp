// Settings added after the fixed settings record: the keyed "Preferences"
// stream, files written before it existed, and keys from a newer version.

#include "store/data_file.h"
#include "store/keyed_record.h"

#include <QtTest>

class TestPreferencesStream : public QObject {
    Q_OBJECT
private slots:
    void keyedRecordRoundTripsAndRejectsWhatItDidNotWrite()
    {
        KeyedRecord r;
        r.setInteger("Timeout", -7);
        r.setInteger("Big", qint64(1) << 40);
        r.setFlag("On", true);
        r.setText("Name", QByteArray("a\0b\xFF", 4));
        const QByteArray bytes = r.encode();
        const auto back = KeyedRecord::decode(bytes);
        QVERIFY(back);
        QVERIFY(*back == r);
        QCOMPARE(back->integer("Timeout"), std::optional<qint64>(-7));
        QCOMPARE(back->integer("Big"), std::optional<qint64>(qint64(1) << 40));
        QCOMPARE(back->integer("On"), std::optional<qint64>(1));
        QCOMPARE(back->text("Name"), std::optional<QByteArray>(QByteArray("a\0b\xFF", 4)));
        QVERIFY(!back->integer("Missing"));
        QVERIFY(!back->integer("Name"));  // text is not a number

        QVERIFY(KeyedRecord::decode(QByteArray("GKR1")));  // empty is fine
        QVERIFY(!KeyedRecord::decode(QByteArray("GKR")));  // no magic
        QVERIFY(!KeyedRecord::decode(bytes + "x"));        // trailing byte
        // A cut inside an entry is refused; a cut between entries is a
        // shorter record (the container's checksums catch real truncation).
        for (int cut = 5; cut < bytes.size(); ++cut) {
            const auto part = KeyedRecord::decode(bytes.left(cut));
            QVERIFY2(!part || part->encode() == bytes.left(cut), qPrintable(QString::number(cut)));
        }
        QByteArray hugeValue = QByteArray("GKR1") + char(1) + "k" + QByteArray("\xFF\xFF\xFF\x7F", 4);
        QVERIFY(!KeyedRecord::decode(hugeValue));
        // Keys out of order or repeated: not ours.
        KeyedRecord a, b;
        a.setFlag("a", true);
        b.setFlag("b", true);
        const QByteArray ea = a.encode(), eb = b.encode();
        QVERIFY(!KeyedRecord::decode(eb + ea.mid(4)));
        QVERIFY(!KeyedRecord::decode(ea + ea.mid(4)));
    }

    void settingsRoundTripAndOldFilesGetDefaults()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("glimmerftp.dat");
        StreamContainer strm;
        ProgramData settings;
        QCOMPARE(settings.sTimeout, 30);
        QVERIFY(settings.sKeepFileTimes);
        QCOMPARE(settings.sFolderDepthLimit, 64);
        QVERIFY(settings.sHumanSizes);
        settings.sTimeout = 0;
        settings.sKeepFileTimes = false;
        settings.sFolderDepthLimit = 5;
        QVERIFY(saveDataFile(strm, path, settings, {}).ok());
        DataFileLoad load = loadDataFile(strm, path);
        QVERIFY(load.status.ok());
        QCOMPARE(load.settings.sTimeout, 0);
        QVERIFY(!load.settings.sKeepFileTimes);
        QCOMPARE(load.settings.sFolderDepthLimit, 5);
        QVERIFY(load.settings.sHumanSizes);

        // A file written before the stream existed: the record alone.
        StreamContainer old;
        old.putStream(ProgramDataStreamName, settings.encode());
        old.putStream(FavoritesStreamName, {});
        QVERIFY(old.saveToFile(path).ok());
        load = loadDataFile(strm, path);
        QVERIFY(load.status.ok());
        QCOMPARE(load.settings.sTimeout, 30);
        QVERIFY(load.settings.sKeepFileTimes);
        QCOMPARE(load.settings.sFolderDepthLimit, 64);
        // Its owner goes on seeing the KB column.
        QVERIFY(!load.settings.sHumanSizes);

        // An unreadable stream costs only its own settings.
        old.putStream(PreferencesStreamName, "garbage");
        settings.sRetries = 4;
        old.putStream(ProgramDataStreamName, settings.encode());
        QVERIFY(old.saveToFile(path).ok());
        load = loadDataFile(strm, path);
        QVERIFY(load.status.ok());
        QCOMPARE(load.settings.sRetries, 4);
        QCOMPARE(load.settings.sTimeout, 30);
    }

    void keysOfANewerVersionSurviveASave()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("glimmerftp.dat");
        KeyedRecord newer;
        newer.setInteger("Timeout", 90);
        newer.setText("SomethingNew", "kept");
        StreamContainer strm;
        strm.putStream(ProgramDataStreamName, ProgramData().encode());
        strm.putStream(PreferencesStreamName, newer.encode());
        QVERIFY(strm.saveToFile(path).ok());

        DataFileLoad load = loadDataFile(strm, path);
        QCOMPARE(load.settings.sTimeout, 90);
        load.settings.sTimeout = 45;
        QVERIFY(saveDataFile(strm, path, load.settings, {}).ok());
        QVERIFY(strm.loadFromFile(path).ok());
        QByteArray bytes;
        QVERIFY(strm.getStream(PreferencesStreamName, bytes).ok());
        const auto back = KeyedRecord::decode(bytes);
        QVERIFY(back);
        QCOMPARE(back->text("SomethingNew"), std::optional<QByteArray>("kept"));
        QCOMPARE(back->integer("Timeout"), std::optional<qint64>(45));
    }
};

QTEST_GUILESS_MAIN(TestPreferencesStream)
#include "test_preferences_stream.moc"
