#include "ui/dialog_user_interaction.h"

#include "ui/form_certificate.h"

#include "ui/form_bug_report.h"
#include "ui/form_xfer_action.h"

#include <QMessageBox>

namespace {

// The core's texts break lines the way the old message boxes did ("\r\n",
// and "\r\r\n" for one break); a label would show the stray "\r".
QString boxText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.remove(u'\r');
    return shown;
}

}  // namespace

DialogUserInteraction::DialogUserInteraction(QWidget* parent) : m_parent(parent) {}

void DialogUserInteraction::showMessage(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, BoxTitle, boxText(text), QMessageBox::Ok, m_parent);
    box.setObjectName(QStringLiteral("messageBox"));
    box.exec();
}

bool DialogUserInteraction::askYesNo(const QString& text, bool warning)
{
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Question, BoxTitle, boxText(text),
                    QMessageBox::Yes | QMessageBox::No, m_parent);
    box.setObjectName(QStringLiteral("yesNoBox"));
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

UserInteraction::TransferActionAnswer DialogUserInteraction::askTransferAction(const QString& text, int preselected,
                                                                               bool autoClose, int countdownSeconds)
{
    return TFormXFerAction::ask(m_parent, text, preselected, autoClose, countdownSeconds);
}

UserInteraction::CertificateAnswer DialogUserInteraction::askCertificate(const FtpCertificate& certificate,
                                                                         const QString& changedFrom)
{
    return TFormCertificate::ask(m_parent, certificate, changedFrom);
}

void DialogUserInteraction::showBugReport(const QString& code, const QString& exceptionText)
{
    TFormBugReport form(code, exceptionText, m_parent);
    form.exec();
}
