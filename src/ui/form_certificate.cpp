#include "ui/form_certificate.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QString rowsOf(const FtpCertificate& c)
{
    const auto when = [](const QDateTime& t) { return t.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'")); };
    const auto row = [](const QString& name, const QString& value) {
        return QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>").arg(name, value.toHtmlEscaped());
    };
    QString problems;
    for (const QString& p : c.problems)
        problems += QStringLiteral("<li>") + p.toHtmlEscaped() + QStringLiteral("</li>");
    return QStringLiteral("<p>The certificate of <b>%1:%2</b> is not trusted:</p><ul>%3</ul><table>")
               .arg(c.host.toHtmlEscaped())
               .arg(c.port)
               .arg(problems) +
           row(QStringLiteral("Host"), QStringLiteral("%1:%2").arg(c.host).arg(c.port)) +
           row(QStringLiteral("Subject"), c.subject) + row(QStringLiteral("Issuer"), c.issuer) +
           row(QStringLiteral("Valid from"), when(c.validFrom)) + row(QStringLiteral("Valid to"), when(c.validTo)) +
           row(QStringLiteral("SHA-256"), c.fingerprint()) + QStringLiteral("</table>") +
           QStringLiteral("<p>Trust it only when you know this is the server's certificate, for instance "
                          "because its fingerprint matches the one its administrator gave you.</p>");
}

}  // namespace

TFormCertificate::TFormCertificate(const FtpCertificate& certificate, const QString& changedFrom, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TFormCertificate"));
    setWindowTitle(Caption);

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);
    warning = new QLabel(this);
    warning->setObjectName(QStringLiteral("warning"));
    warning->setWordWrap(true);
    warning->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold"));
    warning->setText(QStringLiteral("Warning: this server presents a different certificate than the one you trusted "
                                    "before (%1). Someone may be intercepting the connection.")
                         .arg(changedFrom));
    warning->setVisible(!changedFrom.isEmpty());
    details = new QLabel(rowsOf(certificate), this);
    details->setObjectName(QStringLiteral("details"));
    details->setTextFormat(Qt::RichText);
    details->setWordWrap(true);
    details->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(this);
    trustAlways = buttons->addButton(QStringLiteral("Trust this certificate always"), QDialogButtonBox::AcceptRole);
    trustOnce = buttons->addButton(QStringLiteral("Trust once"), QDialogButtonBox::AcceptRole);
    cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    trustAlways->setObjectName(QStringLiteral("trustAlways"));
    trustOnce->setObjectName(QStringLiteral("trustOnce"));
    cancel->setObjectName(QStringLiteral("cancel"));
    // Nothing is trusted by a stray Enter: Cancel is the default.
    for (QPushButton* b : {trustAlways, trustOnce})
        b->setAutoDefault(false);
    cancel->setDefault(true);
    connect(trustAlways, &QPushButton::clicked, this, [this] {
        m_answer = UserInteraction::CertificateAnswer::TrustAlways;
        accept();
    });
    connect(trustOnce, &QPushButton::clicked, this, [this] {
        m_answer = UserInteraction::CertificateAnswer::TrustOnce;
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* text = new QVBoxLayout;
    text->addWidget(warning);
    text->addWidget(details);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    setMinimumWidth(520);
}

UserInteraction::CertificateAnswer TFormCertificate::ask(QWidget* parent, const FtpCertificate& certificate,
                                                         const QString& changedFrom)
{
    TFormCertificate form(certificate, changedFrom, parent);
    form.exec();
    return form.answer();
}
