// The certificate question and the status bar's padlock as the person sees
// them: what the dialog shows, which button gives which answer (Cancel by
// default), the warning for a changed certificate; the padlock's states and
// its text on hover.

#include "ui/form_certificate.h"
#include "ui/status_bar.h"

#include "test_dialog_support.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

FtpCertificate sample()
{
    FtpCertificate c;
    c.subject = "ftp.example.org";
    c.issuer = "Example Issuing CA";
    c.validFrom = QDateTime(QDate(2026, 1, 2), QTime(3, 4), Qt::UTC);
    c.validTo = QDateTime(QDate(2027, 1, 2), QTime(3, 4), Qt::UTC);
    c.host = "ftp.example.org";
    c.port = 21;
    c.sha256 = QByteArray(32, '\xab');
    c.problems << "The certificate is self-signed, and untrusted";
    return c;
}

}  // namespace

class TestFormCertificate : public QObject {
    Q_OBJECT
private slots:
    void showsWhatAPersonJudges()
    {
        TFormCertificate form(sample(), QString());
        QCOMPARE(form.windowTitle(), TFormCertificate::Caption);
        const QString text = form.details->text();
        for (const char* part : {"ftp.example.org:21", "Example Issuing CA", "2026-01-02 03:04 UTC",
                                 "2027-01-02 03:04 UTC", "SHA256:AB:AB:AB", "self-signed"})
            QVERIFY2(text.contains(part), part);
        QVERIFY(form.warning->isHidden());
        QCOMPARE(form.trustAlways->text(), QString("Trust this certificate always"));
        QCOMPARE(form.trustOnce->text(), QString("Trust once"));
        QCOMPARE(form.cancel->text(), QString("Cancel"));
        QVERIFY(form.cancel->isDefault());
    }

    void buttonsAnswer_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("answer");
        QTest::newRow("always") << "trustAlways" << int(UserInteraction::CertificateAnswer::TrustAlways);
        QTest::newRow("once") << "trustOnce" << int(UserInteraction::CertificateAnswer::TrustOnce);
        QTest::newRow("cancel") << "cancel" << int(UserInteraction::CertificateAnswer::Cancel);
        QTest::newRow("Enter") << "" << int(UserInteraction::CertificateAnswer::Cancel);
    }

    void buttonsAnswer()
    {
        QFETCH(QString, button);
        QFETCH(int, answer);
        onModal([button](QWidget* modal) {
            if (button.isEmpty())
                QTest::keyClick(modal, Qt::Key_Return);
            else
                modal->findChild<QPushButton*>(button)->click();
        });
        QCOMPARE(int(TFormCertificate::ask(nullptr, sample(), QString())), answer);
    }

    void changedCertificateIsWarnedAbout()
    {
        const QString before = fingerprintText(QByteArray(32, '\x01'));
        TFormCertificate form(sample(), before);
        form.show();
        QVERIFY(form.warning->isVisible());
        QVERIFY(form.warning->text().contains(before));
        QVERIFY(form.warning->text().contains("different certificate"));
    }

    void padlock()
    {
        StatusBar bar;
        bar.resize(800, bar.sizeHint().height());
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        auto* lock = bar.findChild<QLabel*>("securityLock");
        QVERIFY(lock);
        QVERIFY(lock->pixmap().isNull());
        bar.setSecurity(StatusBar::Security::Encrypted, "Encrypted: TLS 1.3, TLS_AES_256_GCM_SHA384");
        QVERIFY(!lock->pixmap().isNull());
        QCOMPARE(lock->toolTip(), QString("Encrypted: TLS 1.3, TLS_AES_256_GCM_SHA384"));
        const QImage closed = lock->pixmap().toImage();
        bar.setSecurity(StatusBar::Security::Plain, "Plain FTP");
        const QImage open = lock->pixmap().toImage();
        QVERIFY(closed != open);
        // Red for clear text, green for encrypted: the person tells them apart
        // without hovering.
        auto reddest = [](const QImage& img) {
            int best = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) {
                    const QColor c = img.pixelColor(x, y);
                    if (c.alpha() > 128)
                        best = qMax(best, c.red() - c.green());
                }
            return best;
        };
        QVERIFY(reddest(open) > 100);
        QVERIFY(reddest(closed) <= 0);
        bar.setSecurity(StatusBar::Security::None, QString());
        QVERIFY(lock->pixmap().isNull());
        QCOMPARE(lock->geometry().size(), QSize(bar.panelWidth(6), bar.height()));
    }
};

QTEST_MAIN(TestFormCertificate)
#include "test_form_certificate.moc"
