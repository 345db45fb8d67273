#include "cli/cli_interaction.h"

#include "cli/cli_output.h"

#include <QRegularExpression>

QString CliInteraction::terminalLines(const QString& text)
{
    // The core breaks its message boxes with "\r\r\n", "\r\n" or "\n"; those
    // become line ends. Everything else that could steer a terminal (a CR
    // inside a file name, an escape sequence in a reply) is shown escaped.
    static const QRegularExpression breaks(QStringLiteral("\r*\n"));
    QStringList lines;
    for (const QString& line : text.split(breaks)) {
        QString shown = escapeControls(line);
        while (!shown.isEmpty() && shown.back().isSpace())
            shown.chop(1);
        // Several breaks in a row space a message box; one is enough here.
        if (!shown.trimmed().isEmpty())
            lines << shown;
    }
    return lines.join(QLatin1Char('\n'));
}

void CliInteraction::write(const QString& text)
{
    if (beforeWrite)
        beforeWrite();
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_err);
    std::fflush(m_err);
}

void CliInteraction::showMessage(const QString& text) { reportFailure(text); }

void CliInteraction::reportFailure(const QString& text)
{
    ++m_failures;
    write(terminalLines(text));
}

bool CliInteraction::askYesNo(const QString& text, bool)
{
    write(terminalLines(text) + QStringLiteral(" Yes"));
    return true;
}

UserInteraction::TransferActionAnswer CliInteraction::askTransferAction(const QString& text, int preselected, bool, int)
{
    static const char* const names[] = {"Overwrite", "Resume", "Skip"};
    const int action = preselected >= 0 && preselected <= 2 ? preselected : 0;
    write(terminalLines(text) + QLatin1Char(' ') + QLatin1String(names[action]));
    return {action, false};
}

void CliInteraction::showBugReport(const QString& code, const QString& exceptionText)
{
    reportFailure(QStringLiteral("Unexpected error (") + code + QStringLiteral("): ") + exceptionText);
}

UserInteraction::CertificateAnswer CliInteraction::askCertificate(const FtpCertificate& certificate,
                                                                  const QString& changedFrom)
{
    reportFailure(certificateText(certificate, changedFrom) +
                  QStringLiteral("\nIf this is the server's certificate, run again with --trust=") +
                  certificate.fingerprint());
    return CertificateAnswer::Cancel;
}
