#include "test_dialog_support.h"
#include "ui/form_chmod.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

// The nine boxes as "rwxrwxrwx" with "-" for a clear box.
QString boxesOf(const TFormChMod& form)
{
    QString text;
    const char letters[] = "rwx";
    int i = 0;
    for (const QCheckBox* box : form.boxes())
        text += box->isChecked() ? QChar::fromLatin1(letters[i++ % 3]) : (++i, QChar(u'-'));
    return text;
}

}  // namespace

class TestFormChMod : public QObject {
    Q_OBJECT
private slots:
    void showingSets644()
    {
        TFormChMod form;
        form.show();
        QCOMPARE(form.windowTitle(), QStringLiteral("Change Permissions - Glimmer FTP"));
        QCOMPARE(form.permissioncode->text(), QStringLiteral("644"));
        QCOMPARE(boxesOf(form), QStringLiteral("rw-r--r--"));
        QVERIFY(form.ok->isEnabled());
    }

    void typedModeSetsTheBoxes_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("boxes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("755") << QStringLiteral("755") << QStringLiteral("rwxr-xr-x") << true;
        QTest::newRow("777") << QStringLiteral("777") << QStringLiteral("rwxrwxrwx") << true;
        QTest::newRow("0") << QStringLiteral("0") << QStringLiteral("---------") << true;
        QTest::newRow("1") << QStringLiteral("1") << QStringLiteral("--------x") << true;
        QTest::newRow("604") << QStringLiteral("604") << QStringLiteral("rw----r--") << true;
        QTest::newRow("800: digit 8") << QStringLiteral("800") << QStringLiteral("---------") << false;
        QTest::newRow("19: digit 9") << QStringLiteral("19") << QStringLiteral("-----x---") << false;
        QTest::newRow("1000") << QStringLiteral("1000") << QStringLiteral("---------") << false;
        QTest::newRow("letters") << QStringLiteral("abc") << QStringLiteral("---------") << false;
        QTest::newRow("negative") << QStringLiteral("-1") << QStringLiteral("---------") << false;
        QTest::newRow("empty") << QString() << QStringLiteral("---------") << false;
    }

    void typedModeSetsTheBoxes()
    {
        QFETCH(QString, typed);
        QFETCH(QString, boxes);
        QFETCH(bool, valid);
        TFormChMod form;
        form.show();
        form.permissioncode->selectAll();
        QTest::keyClick(form.permissioncode, Qt::Key_Delete);
        QTest::keyClicks(form.permissioncode, typed);
        QCOMPARE(boxesOf(form), boxes);
        QCOMPARE(form.ok->isEnabled(), valid);
        QCOMPARE(form.permissioncodeTag, 0);
    }

    void clickedBoxesWriteTheMode()
    {
        TFormChMod form;
        form.show();
        form.permissioncode->setText(QStringLiteral("abc"));
        QVERIFY(!form.ok->isEnabled());
        for (QCheckBox* box : {form.owner_read, form.owner_write, form.public_read})
            QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(form.permissioncode->text(), QStringLiteral("604"));
        QVERIFY(form.ok->isEnabled());
        // The written text does not run back into the boxes.
        QCOMPARE(boxesOf(form), QStringLiteral("rw----r--"));
        QTest::mouseClick(form.public_read, Qt::LeftButton);
        QCOMPARE(form.permissioncode->text(), QStringLiteral("600"));
    }

    void enterWithAnInvalidModeDoesNotAccept()
    {
        TFormChMod form;
        form.open();
        form.permissioncode->setText(QStringLiteral("888"));
        QTest::keyClick(form.permissioncode, Qt::Key_Return);
        QVERIFY(form.isVisible());
        form.permissioncode->setText(QStringLiteral(" 711"));
        QVERIFY(form.ok->isEnabled());
        QCOMPARE(form.mode(), QStringLiteral("711"));
        QTest::keyClick(form.permissioncode, Qt::Key_Return);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Accepted));
    }

    void noSelectionIsReported()
    {
        RecordingUi ui;
        QVERIFY(toChMod(nullptr, ui, {}).isEmpty());
        QCOMPARE(ui.messages, QStringList{QStringLiteral("No files or folders selected for permission change.")});
    }

    void oneCommandPerSelectedRowInOrder()
    {
        RecordingUi ui;
        onModal([](QWidget* modal) {
            auto* form = qobject_cast<TFormChMod*>(modal);
            QVERIFY(form);
            form->permissioncode->setText(QStringLiteral("755"));
            QTest::mouseClick(form->ok, Qt::LeftButton);
        });
        const QList<ChModChange> changes =
            toChMod(nullptr, ui, {QStringLiteral("zeta.sh"), QStringLiteral("alpha"), QStringLiteral("m n.txt")});
        QCOMPARE(changes, (QList<ChModChange>{{"zeta.sh", "755"}, {"alpha", "755"}, {"m n.txt", "755"}}));
        QVERIFY(ui.messages.isEmpty());
    }

    void opensWithTheSelectionsModes()
    {
        // One mode, or several equal ones: the window shows it.
        TFormChMod folder;
        folder.setCurrentModes({755, 755});
        folder.show();
        QCOMPARE(folder.permissioncode->text(), QStringLiteral("755"));
        QCOMPARE(boxesOf(folder), QStringLiteral("rwxr-xr-x"));
        QVERIFY(!folder.keepsSomeBits());

        // A mode the listing did not give: the designed 644.
        TFormChMod unknown;
        unknown.setCurrentModes({755, -1});
        unknown.show();
        QCOMPARE(unknown.permissioncode->text(), QStringLiteral("644"));
    }

    void mixedSelectionLeavesDifferingBitsAlone()
    {
        RecordingUi ui;
        QStringList shown;
        onModal([&](QWidget* modal) {
            auto* form = qobject_cast<TFormChMod*>(modal);
            QVERIFY(form);
            // 755 and 640 agree on owner read and write, group read, and
            // group and public write (clear); the rest differs.
            QString states;
            for (const QCheckBox* box : form->boxes())
                states += box->checkState() == Qt::PartiallyChecked ? u'?' : box->isChecked() ? u'+' : u'-';
            shown << states << form->permissioncode->text();
            QVERIFY(form->ok->isEnabled());
            // Group write set for both; the boxes in between stay so.
            QTest::mouseClick(form->group_write, Qt::LeftButton);
            shown << form->permissioncode->text();
            QTest::mouseClick(form->ok, Qt::LeftButton);
        });
        const QList<ChModChange> changes =
            toChMod(nullptr, ui, {QStringLiteral("bin"), QStringLiteral("notes")}, {755, 640});
        QCOMPARE(shown, (QStringList{"++?+-?"
                                     "?-?",
                                     "?"
                                     "?"
                                     "?",
                                     "?"
                                     "?"
                                     "?"}));
        QCOMPARE(changes, (QList<ChModChange>{{"bin", "775"}, {"notes", "660"}}));

        // A typed mode is one mode for all again.
        onModal([](QWidget* modal) {
            auto* form = qobject_cast<TFormChMod*>(modal);
            form->permissioncode->setText(QStringLiteral("700"));
            QVERIFY(!form->keepsSomeBits());
            QTest::mouseClick(form->ok, Qt::LeftButton);
        });
        QCOMPARE(toChMod(nullptr, ui, {QStringLiteral("bin"), QStringLiteral("notes")}, {755, 640}),
                 (QList<ChModChange>{{"bin", "700"}, {"notes", "700"}}));
    }

    void cancelQueuesNothing()
    {
        RecordingUi ui;
        onModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
        QVERIFY(toChMod(nullptr, ui, {QStringLiteral("a")}).isEmpty());
    }
};

QTEST_MAIN(TestFormChMod)
#include "test_form_chmod.moc"
