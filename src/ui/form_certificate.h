#pragma once

// The question about a server certificate the system does not trust: what
// the certificate says (subject, issuer, validity, host, SHA-256 fingerprint)
// and why it is not trusted, with "Trust this certificate always", "Trust
// once" and "Cancel". A known server presenting another certificate than
// the one trusted before is warned about at the top, and Cancel is then the
// default button.

#include "person/user_interaction.h"

#include <QDialog>

class QLabel;
class QPushButton;

class TFormCertificate : public QDialog {
    Q_OBJECT
public:
    static inline const QString Caption = QStringLiteral("Server certificate - Glimmer FTP");

    TFormCertificate(const FtpCertificate& certificate, const QString& changedFrom, QWidget* parent = nullptr);

    QLabel* warning = nullptr;  // shown when the certificate changed
    QLabel* details = nullptr;
    QPushButton* trustAlways = nullptr;
    QPushButton* trustOnce = nullptr;
    QPushButton* cancel = nullptr;

    UserInteraction::CertificateAnswer answer() const { return m_answer; }

    static UserInteraction::CertificateAnswer ask(QWidget* parent, const FtpCertificate& certificate,
                                                  const QString& changedFrom);

private:
    UserInteraction::CertificateAnswer m_answer = UserInteraction::CertificateAnswer::Cancel;
};
