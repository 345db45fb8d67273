#pragma once

// A read-only text window with a Close button: the server's login message and
// other longer texts.

#include <QDialog>
#include <QStringList>

class QPlainTextEdit;

class TFormMemo : public QDialog {
    Q_OBJECT
public:
    explicit TFormMemo(const QString& title, QWidget* parent = nullptr);

    QPlainTextEdit* Memo1 = nullptr;

    void setLines(const QStringList& lines);
    void appendLine(const QString& line);
    QStringList lines() const;
};
