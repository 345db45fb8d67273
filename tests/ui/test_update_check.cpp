#include "person/log_model.h"
#include "support/ports.h"
#include "test_dialog_support.h"
#include "ui/update_check.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// An automatic check's failure as the session logs it: a status line.
UpdateCheck::StatusLog statusTo(LogModel& log)
{
    return [&log](const QString& text) { log.WriteLog(QByteArray(1, kStatusMarker) + text.toUtf8()); };
}

class TestUpdateCheck : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    QProcess m_server;
    quint16 m_port = 0;

    QUrl address(const QString& file) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/%2").arg(m_port).arg(file));
    }

    void publish(const QString& file, const QByteArray& body)
    {
        QFile f(m_root.filePath(file));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(body);
    }

    // One check to its end; the outcome as reported.
    UpdateCheck::Outcome run(UpdateCheck& check, bool automatic)
    {
        QSignalSpy finished(&check, &UpdateCheck::finished);
        check.start(automatic);
        if (!finished.wait(30000))
            return UpdateCheck::Outcome(-1);
        return finished.at(0).at(0).value<UpdateCheck::Outcome>();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        // A port found free may be taken before the server binds it: retry.
        for (int attempt = 0; attempt < 5 && m_server.state() != QProcess::Running; ++attempt) {
            m_port = testsupport::freePort();
            m_server.setProcessChannelMode(QProcess::MergedChannels);
            m_server.start(QStringLiteral("/usr/bin/python3"),
                           {QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("http.server"),
                            QString::number(m_port), QStringLiteral("--bind"), QStringLiteral("127.0.0.1"),
                            QStringLiteral("--directory"), m_root.path()});
            QVERIFY(m_server.waitForStarted(30000));
            QByteArray said;
            QVERIFY(QTest::qWaitFor(
                [&] {
                    said += m_server.readAll();
                    return said.contains("Serving HTTP") || m_server.state() != QProcess::Running;
                },
                30000));
        }
        QCOMPARE(m_server.state(), QProcess::Running);
    }

    void cleanupTestCase()
    {
        if (m_server.state() == QProcess::Running) {
            m_server.terminate();
            if (!m_server.waitForFinished(10000))
                m_server.kill();
        }
    }

    void aNewerVersionIsOfferedWithItsLink_data()
    {
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<bool>("accept");
        QTest::newRow("by hand, opened") << false << true;
        QTest::newRow("at start-up, declined") << true << false;
    }

    void aNewerVersionIsOfferedWithItsLink()
    {
        QFETCH(bool, automatic);
        QFETCH(bool, accept);
        const QByteArray link = "http://127.0.0.1/glimmer/download.html";
        publish(QStringLiteral("newer.txt"), "2.10.1\r\n" + link + "\r\n");
        RecordingUi ui;
        ui.yesNoAnswer = accept;
        LogModel log;
        UpdateCheck check(ui, statusTo(log));
        check.setUrl(address(QStringLiteral("newer.txt")));
        check.setCurrentVersion(QStringLiteral("2.9.7"));
        QList<QUrl> opened;
        check.setUrlOpener([&](const QUrl& url) {
            opened.append(url);
            return true;
        });
        QCOMPARE(run(check, automatic), UpdateCheck::Outcome::NewVersion);
        QCOMPARE(ui.questions.size(), 1);
        QVERIFY(ui.questions[0].contains(QStringLiteral("2.10.1")));
        QVERIFY(ui.questions[0].contains(QString::fromUtf8(link)));
        QCOMPARE(opened, accept ? QList<QUrl>{QUrl(QString::fromUtf8(link))} : QList<QUrl>{});
        QVERIFY(ui.messages.isEmpty());
    }

    void theSameVersionSaysSoOnlyWhenAsked_data()
    {
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<QString>("current");
        QTest::newRow("by hand") << false << QStringLiteral("3.1");
        QTest::newRow("at start-up") << true << QStringLiteral("3.1");
        QTest::newRow("running a later build, by hand") << false << QStringLiteral("3.2");
    }

    void theSameVersionSaysSoOnlyWhenAsked()
    {
        QFETCH(bool, automatic);
        QFETCH(QString, current);
        publish(QStringLiteral("same.txt"), "3.1\n");
        RecordingUi ui;
        LogModel log;
        UpdateCheck check(ui, statusTo(log));
        check.setUrl(address(QStringLiteral("same.txt")));
        check.setCurrentVersion(current);
        QCOMPARE(run(check, automatic), UpdateCheck::Outcome::UpToDate);
        QVERIFY(ui.questions.isEmpty());
        QCOMPARE(ui.messages,
                 automatic
                     ? QStringList{}
                     : QStringList{QStringLiteral("You have the latest version of Glimmer FTP (%1).").arg(current)});
        QCOMPARE(log.count(), 0);
    }

    void failuresGoToTheLogAtStartUp_data()
    {
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<QString>("file");
        QTest::newRow("missing, at start-up") << true << QStringLiteral("missing.txt");
        QTest::newRow("missing, by hand") << false << QStringLiteral("missing.txt");
        QTest::newRow("not a version, at start-up") << true << QStringLiteral("page.html");
    }

    void failuresGoToTheLogAtStartUp()
    {
        QFETCH(bool, automatic);
        QFETCH(QString, file);
        publish(QStringLiteral("page.html"), "<html><body>1.0</body></html>\n");
        RecordingUi ui;
        LogModel log;
        UpdateCheck check(ui, statusTo(log));
        check.setUrl(address(file));
        QCOMPARE(run(check, automatic), UpdateCheck::Outcome::Failed);
        QVERIFY(ui.questions.isEmpty());
        if (automatic) {
            QVERIFY(ui.messages.isEmpty());
            QCOMPARE(log.count(), 1);
            const LogLine& line = log.lines().front();
            QCOMPARE(line.prefix, QStringLiteral("Status\t:> "));
            QVERIFY2(line.text.startsWith(QStringLiteral("Could not check for a new version: ")),
                     qPrintable(line.text));
        } else {
            QCOMPARE(log.count(), 0);
            QCOMPARE(ui.messages.size(), 1);
            QVERIFY(ui.messages[0].startsWith(QStringLiteral("Could not check for a new version: ")));
        }
    }

    void aClosedPortFailsQuietlyAtStartUp()
    {
        RecordingUi ui;
        LogModel log;
        UpdateCheck check(ui, statusTo(log));
        check.setUrl(QUrl(QStringLiteral("http://127.0.0.1:%1/v.txt").arg(testsupport::freePort())));
        QCOMPARE(run(check, true), UpdateCheck::Outcome::Failed);
        QVERIFY(ui.messages.isEmpty());
        QCOMPARE(log.count(), 1);
    }

    // A build without an update address never asks the network.
    void noAddressNoRequest()
    {
        RecordingUi ui;
        LogModel log;
        UpdateCheck check(ui, statusTo(log));
        check.setUrl(QUrl());
        QCOMPARE(run(check, true), UpdateCheck::Outcome::Failed);
        QVERIFY(ui.messages.isEmpty());
        QCOMPARE(log.count(), 0);
        QVERIFY(!check.isRunning());
        QCOMPARE(run(check, false), UpdateCheck::Outcome::Failed);
        QCOMPARE(ui.messages, QStringList{"Could not check for a new version: this build has no update address."});
    }

    void versionDocuments_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("link");
        const QString page = DownloadPageUrl.toString();
        QTest::newRow("version and link") << QByteArray("1.4.2\nhttps://example.org/get\n") << "1.4.2"
                                          << "https://example.org/get";
        QTest::newRow("blank lines, CRLF") << QByteArray("\r\n  1.5 \r\n\r\nhttp://example.org/x\r\n") << "1.5"
                                           << "http://example.org/x";
        QTest::newRow("no link") << QByteArray("2") << "2" << page;
        QTest::newRow("script link") << QByteArray("2.0\njavascript:alert(1)\n") << "2.0" << page;
        QTest::newRow("file link") << QByteArray("2.0\nfile:///etc/passwd\n") << "2.0" << page;
        QTest::newRow("text after version") << QByteArray("1.2 beta\n") << QString() << QString();
        QTest::newRow("html") << QByteArray("<html>404</html>") << QString() << QString();
        QTest::newRow("empty") << QByteArray() << QString() << QString();
    }

    void versionDocuments()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, version);
        QFETCH(QString, link);
        const auto doc = parseVersionDocument(body);
        QCOMPARE(doc.has_value(), !version.isEmpty());
        if (doc) {
            QCOMPARE(doc->version.toString(), version);
            QCOMPARE(doc->link.toString(), link);
        }
    }
};

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "test_update_check.moc"
