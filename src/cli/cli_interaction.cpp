#include "cli/cli_interaction.h"

namespace {

QString plainLines(QString text)
{
    text.replace(QStringLiteral("\r\r\n"), QStringLiteral("\n"));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Several breaks in a row space a message box; one is enough on a terminal.
    while (text.contains(QStringLiteral("\n\n")))
        text.replace(QStringLiteral("\n\n"), QStringLiteral("\n"));
    return text.trimmed();
}

}  // namespace

void CliInteraction::write(const QString& text)
{
    if (beforeWrite)
        beforeWrite();
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_err);
    std::fflush(m_err);
}

void CliInteraction::showMessage(const QString& text)
{
    reportFailure(plainLines(text));
}

void CliInteraction::reportFailure(const QString& text)
{
    ++m_failures;
    write(text);
}

bool CliInteraction::askYesNo(const QString& text, bool)
{
    write(plainLines(text) + QStringLiteral(" Yes"));
    return true;
}

UserInteraction::TransferActionAnswer CliInteraction::askTransferAction(const QString& text, int preselected,
                                                                         bool, int)
{
    static const char* const names[] = {"Overwrite", "Resume", "Skip"};
    const int action = preselected >= 0 && preselected <= 2 ? preselected : 0;
    write(plainLines(text) + QLatin1Char(' ') + QLatin1String(names[action]));
    return {action, false};
}

void CliInteraction::showBugReport(const QString& code, const QString& exceptionText)
{
    reportFailure(QStringLiteral("Unexpected error (") + code + QStringLiteral("): ") + exceptionText);
}

UserInteraction::CertificateAnswer CliInteraction::askCertificate(const FtpCertificate& certificate,
                                                                  const QString& changedFrom)
{
    reportFailure(certificateText(certificate, changedFrom)
                  + QStringLiteral("\nIf this is the server's certificate, run again with --trust=")
                  + certificate.fingerprint());
    return CertificateAnswer::Cancel;
}
