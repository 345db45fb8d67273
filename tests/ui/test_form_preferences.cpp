#include "store/data_file.h"
#include "ui/form_preferences.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

class TestFormPreferences : public QObject {
    Q_OBJECT

    // Every control of the window set away from its default, as a person
    // would on each page.
    static void changeEverything(TFormPreferences& p)
    {
        p.sStartUpAction->setCurrentIndex(2);
        p.sDoubleClickAction->setCurrentIndex(1);
        p.sFirewallType->setCurrentIndex(3);
        p.sXferAction->setCurrentIndex(1);
        for (QCheckBox* box : p.findChildren<QCheckBox*>())
            box->setChecked(!box->isChecked());
        p.sFirewallAddress->setText(QStringLiteral("socks.example"));
        p.sFirewallPort->setText(QStringLiteral("1080"));
        p.sRetries->setValue(7);
        p.sRetryDelay->setValue(45);
        p.sFolderDepthLimit->setValue(12);
        p.sTimeout->setValue(0);
        p.sAnonPassword->setText(QStringLiteral("me@example.net"));
        p.sXferClosePromptForActionSecs->setText(QStringLiteral("12"));
        p.sASCIIFiles->setPlainText(QStringLiteral("*.txt\n\n  *.c \n*.ÄÖ"));
        p.sSndConnect->setText(QStringLiteral("/snd/connect.wav"));
        p.sSndDisconnect->setText(QStringLiteral("/snd/bye.wav"));
        p.sSndXferComplete->setText(QStringLiteral("/snd/done.wav"));
        p.winColor = 0x00FFEEDD;
        p.fontColor = 0x00112233;
        p.fontName = "DejaVu Sans";
        p.fontSize = 12;
    }

private slots:
    void applyRoundTripsThroughTheDataFile()
    {
        ProgramData settings = ProgramData::defaults();
        TFormPreferences first(settings);
        QSignalSpy applied(&first, &TFormPreferences::applied);
        changeEverything(first);
        QTest::mouseClick(first.applyButton, Qt::LeftButton);
        QCOMPARE(applied.count(), 1);

        QCOMPARE(settings.sStartUpAction, quint8(2));
        QCOMPARE(settings.sDoubleClickAction, quint8(1));
        QCOMPARE(settings.sFirewallType, quint8(3));
        QCOMPARE(settings.sXferAction, quint8(1));
        QVERIFY(!settings.sCheckForNewVersion);
        QVERIFY(settings.sAntiTimeout && settings.sListHiddenFiles && settings.sShowFTPAttrs);
        QVERIFY(settings.sSndDisable && settings.sLvFullRowSelect && settings.sMonitorClipboard);
        QCOMPARE(settings.sRetries, 7);
        QCOMPARE(settings.sRetryDelay, 45);
        QCOMPARE(settings.sFolderDepthLimit, 12);
        QCOMPARE(settings.sTimeout, 0);
        QVERIFY(!settings.sKeepFileTimes);
        QCOMPARE(settings.sXferClosePromptForActionSecs, 12);
        QCOMPARE(settings.sASCIIFiles, QByteArray("*.txt\xFF*.c\xFF") + QStringLiteral("*.ÄÖ").toUtf8() + '\xFF');
        QCOMPARE(settings.sWinColor, 0x00FFEEDDu);
        QCOMPARE(settings.fontName, QByteArray("DejaVu Sans"));

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("glimmerftp.dat"));
        StreamContainer strm;
        QVERIFY(saveDataFile(strm, path, settings, QByteArray()).ok());
        StreamContainer again;
        DataFileLoad loaded = loadDataFile(again, path);
        QVERIFY(loaded.status.ok());
        // What was read besides the settings (the record image, the keyed
        // stream as stored) is not what the window edits.
        loaded.settings.heldBytes.clear();
        settings.heldBytes.clear();
        loaded.settings.extension = settings.extension;
        QCOMPARE(loaded.settings, settings);

        // A window over the reloaded record shows what the first one held.
        TFormPreferences second(loaded.settings);
        for (QCheckBox* box : second.findChildren<QCheckBox*>())
            QCOMPARE(box->isChecked(), first.findChild<QCheckBox*>(box->objectName())->isChecked());
        for (QLineEdit* edit : second.findChildren<QLineEdit*>())
            if (!qobject_cast<QAbstractSpinBox*>(edit->parent()))  // not a spin box's own edit
                QCOMPARE(edit->text(), first.findChild<QLineEdit*>(edit->objectName())->text());
        for (QComboBox* box : second.findChildren<QComboBox*>())
            QCOMPARE(box->currentIndex(), first.findChild<QComboBox*>(box->objectName())->currentIndex());
        QCOMPARE(second.sASCIIFiles->toPlainText(), QStringLiteral("*.txt\n*.c\n*.ÄÖ"));
        QCOMPARE(second.sRetries->value(), 7);
        QCOMPARE(second.sFolderDepthLimit->value(), 12);
        QCOMPARE(second.fontSize, 12);
    }

    void cancelLeavesTheRecord()
    {
        ProgramData settings = ProgramData::defaults();
        const ProgramData before = settings;
        TFormPreferences p(settings);
        changeEverything(p);
        QTest::mouseClick(p.cancel, Qt::LeftButton);
        QCOMPARE(settings, before);
    }

    void defaultsShowAsStored()
    {
        ProgramData settings = ProgramData::defaults();
        TFormPreferences p(settings);
        QCOMPARE(p.sASCIIFiles->toPlainText(), QStringLiteral("*.txt\n*.*htm*"));
        QVERIFY(p.sCheckForNewVersion->isChecked());
        QCOMPARE(p.sFirewallType->currentText(), QStringLiteral("Direct"));
        // Applying untouched controls changes nothing, system colours
        // included, but for the separator the window writes after each mask.
        ProgramData expected = settings;
        expected.sASCIIFiles = "*.txt\xFF*.*htm*\xFF";
        p.apply();
        QCOMPARE(settings, expected);
    }

    void closePromptSeconds_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");
        QTest::newRow("number") << QStringLiteral("15") << 15;
        QTest::newRow("blanks") << QStringLiteral(" 8 ") << 8;
        QTest::newRow("letters") << QStringLiteral("ten") << 30;
        QTest::newRow("empty") << QString() << 30;
        QTest::newRow("mixed") << QStringLiteral("5s") << 30;
    }

    void closePromptSeconds()
    {
        QFETCH(QString, typed);
        QFETCH(int, stored);
        ProgramData settings = ProgramData::defaults();
        TFormPreferences p(settings);
        p.sXferClosePromptForActionSecs->setText(typed);
        p.apply();
        QCOMPARE(settings.sXferClosePromptForActionSecs, stored);
        QCOMPARE(p.sXferClosePromptForActionSecs->text(), QString::number(stored));
    }

    void asciiMasksKeepWholeMasks()
    {
        // 50 masks of 8 bytes (with the separator) would need 400 bytes: only
        // whole masks that fit the field's 255 bytes are kept.
        QStringList masks;
        for (int i = 0; i < 50; ++i)
            masks.append(QStringLiteral("*.ext%1").arg(i, 2, 10, QLatin1Char('0')));
        const QByteArray stored = asciiMasksFromText(masks.join(u'\n'));
        QVERIFY(stored.size() <= 255);
        QVERIFY(stored.endsWith('\xFF'));
        QCOMPARE(stored.count('\xFF'), 255 / 8);
        // What is kept is exactly what the data file keeps.
        ProgramData settings;
        settings.sASCIIFiles = stored;
        QCOMPARE(ProgramData::decode(settings.encode())->sASCIIFiles, stored);
    }

    void storedColours_data()
    {
        QTest::addColumn<quint32>("stored");
        QTest::addColumn<QColor>("shown");
        QTest::newRow("red") << 0x000000FFu << QColor(255, 0, 0);
        QTest::newRow("blue") << 0x00FF0000u << QColor(0, 0, 255);
        QTest::newRow("mixed") << 0x00336699u << QColor(0x99, 0x66, 0x33);
    }

    void storedColours()
    {
        QFETCH(quint32, stored);
        QFETCH(QColor, shown);
        QPalette palette;
        QCOMPARE(colorFromStored(stored, palette), shown);
        QCOMPARE(storedFromColor(shown), stored);
        palette.setColor(QPalette::Base, QColor(1, 2, 3));
        QCOMPARE(colorFromStored(ColorWindow, palette), QColor(1, 2, 3));
    }
};

QTEST_MAIN(TestFormPreferences)
#include "test_form_preferences.moc"
