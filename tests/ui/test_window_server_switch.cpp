// Two real servers, one window: a download from server B whose target exists
// locally is answered with overwrite, resume or skip, then the person
// disconnects and quick-connects to server A. Every folder of A must show
// exactly what A sent for it, also after Refresh.

#include "test_window_support.h"

#include "support/pyftp_server.h"

#include <QLineEdit>
#include <QTest>

using testsupport::PyFtpServer;

class TestWindowServerSwitch : public QObject {
    Q_OBJECT

private:
    static QByteArray bytes(int size, char seed)
    {
        QByteArray data(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i)
            data[i] = char(seed + i % 89);
        return data;
    }

    static void typeQuickConnect(WindowHarness& h, quint16 port)
    {
        for (QLineEdit* edit : {h.w->tbAddress, h.w->tbusername, h.w->tbPassword, h.w->tbPort})
            edit->clear();
        QTest::keyClicks(h.w->tbAddress, QStringLiteral("127.0.0.1"));
        QTest::keyClicks(h.w->tbusername, QStringLiteral("test"));
        QTest::keyClicks(h.w->tbPassword, QStringLiteral("secret"));
        QTest::keyClicks(h.w->tbPort, QString::number(port));
        QTest::keyClick(h.w->tbPort, Qt::Key_Return);
    }

private slots:
    void listingsAfterSwitchingServers_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("overwrite") << 0;
        QTest::newRow("resume") << 1;
        QTest::newRow("skip") << 2;
    }

    void listingsAfterSwitchingServers()
    {
        QFETCH(int, answer);
        PyFtpServer a;
        PyFtpServer b;
        QVERIFY(writeFile(a.root() + "/big.bin", bytes(3000, 'b')));
        QVERIFY(writeFile(a.root() + "/readme.txt", "hello"));
        QVERIFY(writeFile(a.root() + "/docs/archive/old.txt", "old"));
        QVERIFY(writeFile(a.root() + "/docs/guide.txt", "guide"));
        const QByteArray remote = bytes(60000, 's');
        QVERIFY(writeFile(b.root() + "/slow60.bin", remote));
        QVERIFY2(a.start(), qPrintable(a.errorString()));
        QVERIFY2(b.start(), qPrintable(b.errorString()));

        WindowHarness h;
        h.showLocal(h.local());
        QVERIFY(writeFile(h.local("slow60.bin"), remote.left(25000)));
        h.s->settings().sXferPromptForAction = true;
        h.ui.actions << UserInteraction::TransferActionAnswer{answer, false};

        typeQuickConnect(h, b.port());
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        QCOMPARE(WindowHarness::names(h.w->rlv), QStringList{"slow60.bin"});
        h.select(h.w->rlv, {QStringLiteral("slow60.bin")});
        h.w->acReceive->trigger();
        h.w->acQueueTransfer->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(h.s->transferQueue().isEmpty() && h.connected(), 30000);
        QCOMPARE(h.ui.prompts.size(), 1);
        QCOMPARE(readFile(h.local("slow60.bin")), answer == 2 ? remote.left(25000) : remote);

        h.w->acConnect->trigger();
        QTRY_COMPARE(h.w->acConnect->text(), QStringLiteral("Connect"));
        typeQuickConnect(h, a.port());
        QVERIFY2(h.waitIdle(), qPrintable(h.dump()));
        QCOMPARE(WindowHarness::names(h.w->rlv), (QStringList{"docs", "big.bin", "readme.txt"}));

        h.doubleClick(h.w->rlv, QStringLiteral("docs"));
        QTRY_COMPARE(h.w->rCombo->currentText(), QStringLiteral("/docs/"));
        QVERIFY(h.waitIdle());
        QCOMPARE(WindowHarness::names(h.w->rlv), (QStringList{"archive", "guide.txt"}));

        h.w->rlv->setFocus();
        h.w->acRefresh->trigger();
        QVERIFY(h.waitIdle());
        QCOMPARE(WindowHarness::names(h.w->rlv), (QStringList{"archive", "guide.txt"}));
        // The listing file holds A's listing and nothing else.
        QVERIFY2(!readFile(h.s->listingFile()).contains("slow60"), readFile(h.s->listingFile()).constData());
    }
};

QTEST_MAIN(TestWindowServerSwitch)
#include "test_window_server_switch.moc"
