#pragma once

// The questions of the core answered with the desktop's dialogs: message
// boxes, yes/no boxes, the transfer-action prompt and the bug-report window.
// The main window installs one of these in the session.

#include "person/user_interaction.h"

#include <QPointer>
#include <QWidget>

class DialogUserInteraction : public UserInteraction {
public:
    static inline const QString BoxTitle = QStringLiteral("Glimmer FTP");

    // The dialogs are centred on `parent` (may be null).
    explicit DialogUserInteraction(QWidget* parent = nullptr);
    void setParentWidget(QWidget* parent) { m_parent = parent; }

    void showMessage(const QString& text) override;
    bool askYesNo(const QString& text, bool warning) override;
    TransferActionAnswer askTransferAction(const QString& text, int preselected, bool autoClose,
                                           int countdownSeconds) override;
    void showBugReport(const QString& code, const QString& exceptionText) override;
    CertificateAnswer askCertificate(const FtpCertificate& certificate, const QString& changedFrom) override;

private:
    QPointer<QWidget> m_parent;
};
