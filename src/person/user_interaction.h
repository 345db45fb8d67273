#pragma once

// The one way the headless core asks the person something or tells them about
// a problem. The window implements it with dialogs, the command line with
// text on standard error, tests with scripted answers that record what was
// asked.

#include "engine/ftp_tls.h"

#include <QString>

class UserInteraction {
public:
    virtual ~UserInteraction() = default;

    // A plain modal message box.
    virtual void showMessage(const QString& text) = 0;
    // A modal box with Yes and No; true for Yes. warning: the warning icon
    // instead of the question mark.
    virtual bool askYesNo(const QString& text, bool warning) = 0;
    // The overwrite / resume / skip prompt for an existing target. preselected
    // is 0 overwrite, 1 resume, 2 skip; with autoClose the prompt answers
    // preselected by itself after countdownSeconds.
    struct TransferActionAnswer {
        int action = 0;
        bool applyToEntireQueue = false;
    };
    virtual TransferActionAnswer askTransferAction(const QString& text, int preselected, bool autoClose,
                                                   int countdownSeconds) = 0;
    // The modal bug-report window for an unexpected exception caught by the
    // routine with the given location code. May throw; see ReportBug.
    virtual void showBugReport(const QString& code, const QString& exceptionText) = 0;

    // A server's certificate that the system does not trust: the person sees
    // its subject, issuer, validity, host, fingerprint and the problems, and
    // trusts it always (kept for this host and port), once, or not at all.
    // `changedFrom`: the fingerprint trusted for this host and port before,
    // when the server now presents another certificate (a clear warning);
    // empty otherwise. A front end that cannot ask answers Cancel.
    enum class CertificateAnswer { TrustAlways, TrustOnce, Cancel };
    virtual CertificateAnswer askCertificate(const FtpCertificate& certificate, const QString& changedFrom)
    {
        (void)certificate;
        (void)changedFrom;
        return CertificateAnswer::Cancel;
    }
};

// What a certificate question says, as plain text: the window, the command
// line and the log share it.
QString certificateText(const FtpCertificate& certificate, const QString& changedFrom);

// The error box: the failed operation and the server's reason.
QString errorBoxText(const QString& message, const QString& reason);
void ShowErrorBox(UserInteraction& ui, const QString& message, const QString& reason);

// Hands an unexpected exception to the bug-report window; when that fails in
// turn, a last plain message is shown instead.
void ReportBug(UserInteraction& ui, const QString& code, const QString& exceptionText);

// Runs body; an exception of the general kind is reported under code and the
// routine ends normally. Anything else passes on.
template <typename F>
void guardedRoutine(UserInteraction& ui, const char* code, F&& body)
{
    try {
        body();
    } catch (const std::exception& e) {
        ReportBug(ui, QString::fromLatin1(code), QString::fromLocal8Bit(e.what()));
    }
}
