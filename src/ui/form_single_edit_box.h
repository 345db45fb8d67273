#pragma once

// The one-line input box: a title, a label and a preset text; returns the
// entered text, or nothing when the person cancels.

#include <QDialog>
#include <QString>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

class TFormSingleEditBox : public QDialog {
    Q_OBJECT
public:
    TFormSingleEditBox(const QString& title, const QString& label, const QString& text, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;

    QString text() const;

    // Shows the box modally.
    static std::optional<QString> ask(QWidget* parent, const QString& title, const QString& label,
                                      const QString& text = QString());
};
