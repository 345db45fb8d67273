#include "queue/user_interaction.h"

#include <exception>

QString errorBoxText(const QString& message, const QString& reason)
{
    return QStringLiteral("Error:\r\n  -  ") + message + QStringLiteral("\r\r\n") + QStringLiteral("Reason:")
           + QStringLiteral("\r\n") + QStringLiteral("  -  ") + reason;
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
