#pragma once

// The bug-report window: shows where an unexpected exception was caught (the
// routine's location code) and its text, and offers a prepared e-mail to the
// maker through a mailto: address.

#include <QDialog>
#include <QString>
#include <QUrl>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

inline const QString BugReportAddress = QStringLiteral("bugs@glimmerftp.example");

// The prepared e-mail: the address, a subject naming the location code and a
// body with the code, the exception text and the program's version. Every
// part is percent-encoded, so any exception text survives the mail client.
QUrl bugReportMailUrl(const QString& code, const QString& exceptionText, const QString& version);

class TFormBugReport : public QDialog {
    Q_OBJECT
public:
    TFormBugReport(const QString& code, const QString& exceptionText, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QPlainTextEdit* details = nullptr;
    QPushButton* send = nullptr;
    QPushButton* closeButton = nullptr;

    QUrl mailUrl() const;
    // Opens the prepared mail; QDesktopServices::openUrl unless replaced.
    void setUrlOpener(std::function<bool(const QUrl&)> opener) { m_open = std::move(opener); }

private:
    void sendClick();

    QString m_code;
    QString m_text;
    std::function<bool(const QUrl&)> m_open;
};
