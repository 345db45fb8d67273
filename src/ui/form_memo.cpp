#include "ui/form_memo.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFormMemo::TFormMemo(const QString& title, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFormMemo"));
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    // Login messages are often drawn with spaces into tables and banners.
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("C&lose"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(Memo1);
    layout->addWidget(buttons);
    resize(560, 360);
}

void TFormMemo::setLines(const QStringList& lines) { Memo1->setPlainText(lines.join(u'\n')); }

void TFormMemo::appendLine(const QString& line) { Memo1->appendPlainText(line); }

QStringList TFormMemo::lines() const
{
    const QString text = Memo1->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}
