#include "test_dialog_support.h"
#include "ui/dialog_user_interaction.h"
#include "ui/form_bug_report.h"
#include "ui/form_memo.h"
#include "ui/form_single_edit_box.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QUrlQuery>

class TestDialogWindows : public QObject {
    Q_OBJECT
private slots:
    void inputBoxReturnsTheTextOrNothing()
    {
        onModal([](QWidget* modal) {
            auto* box = qobject_cast<TFormSingleEditBox*>(modal);
            QVERIFY(box);
            QCOMPARE(box->windowTitle(), QStringLiteral("Rename"));
            QCOMPARE(box->Label1->text(), QStringLiteral("New name"));
            // The preset text is selected, so typing replaces it.
            QCOMPARE(box->Edit1->selectedText(), QStringLiteral("old.txt"));
            QTest::keyClicks(box->Edit1, QStringLiteral("new.txt"));
            QTest::keyClick(box->Edit1, Qt::Key_Return);
        });
        QCOMPARE(TFormSingleEditBox::ask(nullptr, QStringLiteral("Rename"), QStringLiteral("New name"),
                                         QStringLiteral("old.txt")),
                 std::optional<QString>(QStringLiteral("new.txt")));

        onModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
        QCOMPARE(TFormSingleEditBox::ask(nullptr, QStringLiteral("Rename"), QStringLiteral("New name"),
                                         QStringLiteral("old.txt")),
                 std::nullopt);

        // An emptied box is an answer too: the caller decides what empty means.
        onModal([](QWidget* modal) {
            auto* box = qobject_cast<TFormSingleEditBox*>(modal);
            box->Edit1->clear();
            QTest::mouseClick(box->ok, Qt::LeftButton);
        });
        QCOMPARE(TFormSingleEditBox::ask(nullptr, QStringLiteral("T"), QStringLiteral("L"), QStringLiteral("x")),
                 std::optional<QString>(QString()));
    }

    void memoHoldsItsLines()
    {
        TFormMemo memo(QStringLiteral("Login Message"));
        QCOMPARE(memo.lines(), QStringList());
        memo.setLines({QStringLiteral("230-Welcome"), QString(), QStringLiteral("230 Ready")});
        memo.appendLine(QStringLiteral("bye"));
        QCOMPARE(memo.lines(), (QStringList{QStringLiteral("230-Welcome"), QString(), QStringLiteral("230 Ready"),
                                            QStringLiteral("bye")}));
        QVERIFY(memo.Memo1->isReadOnly());
    }

    void bugReportMailKeepsTheWholeText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QStringLiteral("std::bad_alloc");
        QTest::newRow("query characters") << QStringLiteral("a&b=c+d?e#f%20g");
        QTest::newRow("lines and unicode") << QStringLiteral("line 1\r\nline 2 – ünïcødé");
    }

    void bugReportMailKeepsTheWholeText()
    {
        QFETCH(QString, text);
        const QUrl url = bugReportMailUrl(QStringLiteral("QP02"), text, QStringLiteral("1.0"));
        QCOMPARE(url.scheme(), QStringLiteral("mailto"));
        QCOMPARE(url.path(), BugReportAddress);
        const QUrlQuery query(url);
        QCOMPARE(query.queryItems().size(), 2);
        QCOMPARE(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
                 QStringLiteral("Glimmer FTP bug report QP02"));
        const QString body = query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded);
        QVERIFY2(body.contains(QStringLiteral("Location: QP02\n")), qPrintable(body));
        QVERIFY2(body.contains(QStringLiteral("Error: ") + text + u'\n'), qPrintable(body));
    }

    void bugReportWindowSendsThePreparedMail()
    {
        TFormBugReport form(QStringLiteral("TQ01"), QStringLiteral("out of range"));
        QVERIFY(form.details->toPlainText().contains(QStringLiteral("TQ01")));
        QList<QUrl> opened;
        form.setUrlOpener([&](const QUrl& url) {
            opened.append(url);
            return true;
        });
        form.open();
        QTest::mouseClick(form.send, Qt::LeftButton);
        QCOMPARE(opened, QList<QUrl>{form.mailUrl()});
        QVERIFY(!form.isVisible());
    }

    void messageAndQuestionBoxes()
    {
        QWidget window;
        DialogUserInteraction ui(&window);
        onModal([](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            // One line break where the core writes "\r\r\n".
            QCOMPARE(box->text(), QStringLiteral("Could not connect to /x\nSite could not be found"));
            QCOMPARE(box->windowTitle(), QStringLiteral("Glimmer FTP"));
            QTest::keyClick(box, Qt::Key_Return);
        });
        ui.showMessage(QStringLiteral("Could not connect to /x\r\r\nSite could not be found"));

        for (const bool yes : {true, false}) {
            onModal([yes](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                QVERIFY(box);
                QCOMPARE(box->icon(), QMessageBox::Warning);
                box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
            });
            QCOMPARE(ui.askYesNo(QStringLiteral("Delete?"), true), yes);
        }
    }
};

QTEST_MAIN(TestDialogWindows)
#include "test_dialog_windows.moc"
