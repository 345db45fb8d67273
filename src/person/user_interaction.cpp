#include "person/user_interaction.h"

#include <exception>

QString errorBoxText(const QString& message, const QString& reason)
{
    return QStringLiteral("Error:\r\n  -  ") + message + QStringLiteral("\r\r\n") + QStringLiteral("Reason:") +
           QStringLiteral("\r\n") + QStringLiteral("  -  ") + reason;
}

void ShowErrorBox(UserInteraction& ui, const QString& message, const QString& reason)
{
    ui.showMessage(errorBoxText(message, reason));
}

void ReportBug(UserInteraction& ui, const QString& code, const QString& exceptionText)
{
    try {
        ui.showBugReport(code, exceptionText);
    } catch (...) {
        ui.showMessage(QStringLiteral("BugBug-123. Please Report to Author."));
    }
}

QString certificateText(const FtpCertificate& c, const QString& changedFrom)
{
    QString text;
    if (!changedFrom.isEmpty())
        text += QStringLiteral("WARNING: the server presents a different certificate than the one you trusted "
                               "for %1:%2 before (%3). Someone may be intercepting the connection.\n\n")
                    .arg(c.host)
                    .arg(c.port)
                    .arg(changedFrom);
    const auto when = [](const QDateTime& t) { return t.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'")); };
    text += QStringLiteral("The certificate of %1:%2 is not trusted:\n").arg(c.host).arg(c.port);
    for (const QString& problem : c.problems)
        text += QStringLiteral("  - ") + problem + QLatin1Char('\n');
    text += QStringLiteral("\nSubject: ") + c.subject + QStringLiteral("\nIssuer: ") + c.issuer +
            QStringLiteral("\nValid: from ") + when(c.validFrom) + QStringLiteral(" to ") + when(c.validTo) +
            QStringLiteral("\nFingerprint: ") + c.fingerprint();
    return text;
}
