#include "ui/form_single_edit_box.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFormSingleEditBox::TFormSingleEditBox(const QString& title, const QString& label, const QString& text, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TFormSingleEditBox"));
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(label, this);
    Edit1 = new QLineEdit(text, this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->selectAll();
    Label1->setBuddy(Edit1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok = buttons->button(QDialogButtonBox::Ok);
    cancel = buttons->button(QDialogButtonBox::Cancel);
    ok->setText(QStringLiteral("&OK"));
    cancel->setText(QStringLiteral("&Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(Label1);
    layout->addWidget(Edit1);
    layout->addWidget(buttons);
    setMinimumWidth(320);
}

QString TFormSingleEditBox::text() const { return Edit1->text(); }

std::optional<QString> TFormSingleEditBox::ask(QWidget* parent, const QString& title, const QString& label,
                                               const QString& text)
{
    TFormSingleEditBox box(title, label, text, parent);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.text();
}
