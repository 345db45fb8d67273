#include "test_dialog_support.h"
#include "ui/dialog_user_interaction.h"
#include "ui/form_xfer_action.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class TestFormXFerAction : public QObject {
    Q_OBJECT

    // A prompt as the queue sets it up, shown without blocking the test.
    std::unique_ptr<TFormXFerAction> prompt(int preselected, bool autoClose, int seconds)
    {
        auto form = std::make_unique<TFormXFerAction>();
        form->Label1->setText(QStringLiteral("/pub/a.txt exists"));
        form->Tag = preselected;
        form->AutoClose->setChecked(autoClose);
        form->AutoCloseTag = seconds + 1;
        form->open();
        return form;
    }

private slots:
    void countdownShowsAtOnceAndClosesWithThePreselection()
    {
        auto form = prompt(1, true, 10);
        QCOMPARE(form->windowTitle(), QStringLiteral("Overwrite / Resume / Skip ? ..."));
        QCOMPARE(form->AutoClose->text(), QStringLiteral("Auto close windows in 10 seconds"));
        QVERIFY(form->Timer1->isActive());
        QCOMPARE(form->Timer1->interval(), 1000);
        QVERIFY(form->resume->isDefault());
        for (int tick = 1; tick < 10; ++tick)
            form->Timer1Timer();
        QVERIFY(form->isVisible());
        QCOMPARE(form->AutoClose->text(), QStringLiteral("Auto close windows in 1 seconds"));
        form->Timer1Timer();
        QTRY_VERIFY(!form->isVisible());
        QCOMPARE(form->result(), int(QDialog::Accepted));
        QCOMPARE(form->Tag, 1);
        QVERIFY(!form->Timer1->isActive());
    }

    void withoutAutoCloseItWaits()
    {
        auto form = prompt(2, false, 10);
        for (int tick = 0; tick < 50; ++tick)
            form->Timer1Timer();
        QVERIFY(form->isVisible());
        QCOMPARE(form->AutoClose->text(), QStringLiteral("&Auto close window in 9 seconds"));
        QTest::mouseClick(form->overwrite, Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QCOMPARE(form->Tag, 0);
    }

    void uncheckingPausesAndCheckingContinues()
    {
        auto form = prompt(2, true, 5);
        form->Timer1Timer();
        form->Timer1Timer();
        QCOMPARE(form->AutoCloseTag, 3);
        QTest::mouseClick(form->AutoClose, Qt::LeftButton);
        for (int tick = 0; tick < 10; ++tick)
            form->Timer1Timer();
        QCOMPARE(form->AutoCloseTag, 3);
        QTest::mouseClick(form->AutoClose, Qt::LeftButton);
        form->Timer1Timer();
        QCOMPARE(form->AutoClose->text(), QStringLiteral("Auto close windows in 2 seconds"));
        form->Timer1Timer();
        form->Timer1Timer();
        QTRY_VERIFY(!form->isVisible());
        QCOMPARE(form->Tag, 2);
    }

    void enterChoosesThePreselection_data()
    {
        QTest::addColumn<int>("preselected");
        QTest::addColumn<int>("chosen");
        QTest::newRow("overwrite") << 0 << 0;
        QTest::newRow("resume") << 1 << 1;
        QTest::newRow("skip") << 2 << 2;
        // Not an action: the designed default, overwrite, stays.
        QTest::newRow("out of range") << 7 << 0;
    }

    void enterChoosesThePreselection()
    {
        QFETCH(int, preselected);
        QFETCH(int, chosen);
        auto form = prompt(preselected, false, 0);
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : form.get(), Qt::Key_Return);
        QVERIFY(!form->isVisible());
        QCOMPARE(form->Tag, chosen);
    }

    void theAnswerCarriesApplyToAll()
    {
        DialogUserInteraction ui;
        onModal([](QWidget* modal) {
            auto* form = qobject_cast<TFormXFerAction*>(modal);
            QVERIFY(form);
            QCOMPARE(form->Label1->text(), QStringLiteral("b.bin exists"));
            form->all->click();
            QTest::mouseClick(form->skip, Qt::LeftButton);
        });
        const auto answer = ui.askTransferAction(QStringLiteral("b.bin exists"), 0, false, 10);
        QCOMPARE(answer.action, 2);
        QVERIFY(answer.applyToEntireQueue);
    }

    void aCountdownOfZeroClosesAtOnce()
    {
        // Given as 0 seconds, the countdown starts at 1 and ends on show; a
        // negative one must end there too rather than count down for ever.
        for (int seconds : {0, -3}) {
            DialogUserInteraction ui;
            const auto answer = ui.askTransferAction(QStringLiteral("c exists"), 1, true, seconds);
            QCOMPARE(answer.action, 1);
            QVERIFY(!answer.applyToEntireQueue);
        }
    }
};

QTEST_MAIN(TestFormXFerAction)
#include "test_form_xfer_action.moc"
