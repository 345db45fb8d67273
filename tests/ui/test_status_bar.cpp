// stat: panel 0 takes what the six fixed panels leave on every resize, the
// panels keep their texts, and the gauge shows percent or unknown length.

#include "ui/status_bar.h"

#include <QProgressBar>
#include <QTest>

class TestStatusBar : public QObject {
    Q_OBJECT
private slots:
    void panelWidthsOnResize_data();
    void panelWidthsOnResize();
    void textsAndGauge();
};

void TestStatusBar::panelWidthsOnResize_data()
{
    QTest::addColumn<QList<int>>("widths");  // the bar resized to each in turn
    // 100 + 52 + 85 + 46 + 131 + 25 = 439 for panels 1 to 6.
    QTest::newRow("wide") << QList<int>{1000};
    QTest::newRow("grows and shrinks") << QList<int>{800, 1200, 600};
    QTest::newRow("exactly the fixed panels") << QList<int>{439};
    QTest::newRow("narrower than the fixed panels") << QList<int>{300, 700};
}

void TestStatusBar::panelWidthsOnResize()
{
    QFETCH(QList<int>, widths);
    StatusBar bar;
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    for (int width : widths) {
        bar.resize(width, bar.sizeHint().height());
        QCOMPARE(bar.width(), width);
        QCOMPARE(bar.panelWidth(0), qMax(0, width - 439));
        const QList<int> fixed{100, 52, 85, 46, 131, 25};
        for (int i = 1; i < 7; ++i)
            QCOMPARE(bar.panelWidth(i), fixed[i - 1]);
    }
}

void TestStatusBar::textsAndGauge()
{
    StatusBar bar;
    auto* gauge = bar.findChild<QProgressBar*>();
    QVERIFY(gauge);
    bar.setPanelText(0, QStringLiteral("Connected to a very long host name that will not fit into the panel"));
    bar.setPanelText(2, QStringLiteral("70.00%"));
    bar.setPanelText(5, QStringLiteral("100.0 of 1000.0 KB"));
    bar.setPanelText(1, QStringLiteral("ignored"));  // the gauge has no text
    bar.setPanelText(7, QStringLiteral("ignored"));  // no such panel
    QCOMPARE(bar.panelText(0), QStringLiteral("Connected to a very long host name that will not fit into the panel"));
    QCOMPARE(bar.panelText(2), QStringLiteral("70.00%"));
    QCOMPARE(bar.panelText(1), QString());

    bar.setGauge(70);
    QCOMPARE(gauge->value(), 70);
    bar.setGauge(250);  // a resumed file can report more than it expected
    QCOMPARE(bar.gauge(), 100);

    bar.setGaugeStyle(StatusBar::GaugeStyle::Indeterminate);
    QCOMPARE(gauge->maximum(), 0);
    bar.setGaugeStyle(StatusBar::GaugeStyle::Percent);
    QCOMPARE(gauge->maximum(), 100);
    QCOMPARE(gauge->value(), 100);

    bar.setGaugeStyle(StatusBar::GaugeStyle::Indeterminate);
    bar.resetTransferPanels();
    QCOMPARE(bar.gaugeStyle(), StatusBar::GaugeStyle::Percent);
    QCOMPARE(gauge->value(), 0);
    for (int i = 2; i <= 5; ++i)
        QCOMPARE(bar.panelText(i), QString());
    QVERIFY(!bar.panelText(0).isEmpty());  // the general status stays
}

QTEST_MAIN(TestStatusBar)
#include "test_status_bar.moc"
