#include "ui/form_bug_report.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrlQuery>
#include <QVBoxLayout>

namespace {

QString reportText(const QString& code, const QString& exceptionText, const QString& version)
{
    return QStringLiteral("Location: %1\nError: %2\nVersion: %3\n\nWhat I was doing:\n")
        .arg(code, exceptionText, version);
}

}  // namespace

QUrl bugReportMailUrl(const QString& code, const QString& exceptionText, const QString& version)
{
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(BugReportAddress);
    QUrlQuery query;
    // QUrlQuery leaves "&", "=" and "+" alone by default; in a mail body they
    // would cut the text short or turn into spaces.
    const auto encode = [](const QString& text) { return QString::fromLatin1(QUrl::toPercentEncoding(text)); };
    query.setQueryItems({{QStringLiteral("subject"), encode(QStringLiteral("Glimmer FTP bug report ") + code)},
                         {QStringLiteral("body"), encode(reportText(code, exceptionText, version))}});
    url.setQuery(query.query(QUrl::FullyEncoded), QUrl::StrictMode);
    return url;
}

TFormBugReport::TFormBugReport(const QString& code, const QString& exceptionText, QWidget* parent)
    : QDialog(parent), m_code(code), m_text(exceptionText),
      m_open([](const QUrl& url) { return QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("TFormBugReport"));
    setWindowTitle(QStringLiteral("Bug Report - Glimmer FTP"));
    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(QStringLiteral("Glimmer FTP ran into an unexpected error and carried on. "
                                       "Please send the report below so it can be fixed."),
                        this);
    Label1->setWordWrap(true);
    details = new QPlainTextEdit(this);
    details->setObjectName(QStringLiteral("details"));
    details->setReadOnly(true);
    details->setPlainText(reportText(code, exceptionText, QCoreApplication::applicationVersion()));
    send = new QPushButton(QStringLiteral("&Send Report..."), this);
    send->setObjectName(QStringLiteral("send"));
    closeButton = new QPushButton(QStringLiteral("C&lose"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setDefault(true);
    connect(send, &QPushButton::clicked, this, &TFormBugReport::sendClick);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(send);
    row->addWidget(closeButton);
    layout->addWidget(Label1);
    layout->addWidget(details);
    layout->addLayout(row);
    resize(480, 300);
}

QUrl TFormBugReport::mailUrl() const
{
    return bugReportMailUrl(m_code, m_text, QCoreApplication::applicationVersion());
}

void TFormBugReport::sendClick()
{
    if (!m_open(mailUrl())) {
        QMessageBox::information(this, windowTitle(),
                                 QStringLiteral("No mail program could be started. Please send the "
                                                "report to %1.")
                                     .arg(BugReportAddress));
        return;
    }
    accept();
}
