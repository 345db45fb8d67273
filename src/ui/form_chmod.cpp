#include "ui/form_chmod.h"

#include "queue/user_interaction.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFormChMod::TFormChMod(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TFormChMod"));
    setWindowTitle(Caption);
    auto* layout = new QVBoxLayout(this);
    heading = new QLabel(QStringLiteral(" Change permission on selected files / folders ..."), this);
    layout->addWidget(heading);

    auto* grid = new QGridLayout;
    const QStringList rows{QStringLiteral("Owner"), QStringLiteral("Group"), QStringLiteral("Public")};
    const QStringList columns{QStringLiteral("&Read"), QStringLiteral("&Write"), QStringLiteral("E&xecute")};
    const char* names[9] = {"owner_read", "owner_write", "owner_execute", "group_read", "group_write",
                            "group_execute", "public_read", "public_write", "public_execute"};
    QCheckBox** fields[9] = {&owner_read, &owner_write, &owner_execute, &group_read, &group_write,
                             &group_execute, &public_read, &public_write, &public_execute};
    for (int r = 0; r < 3; ++r) {
        grid->addWidget(new QLabel(rows[r], this), r, 0);
        for (int c = 0; c < 3; ++c) {
            // Only the first row carries the keyboard accelerators.
            const QString caption = r == 0 ? columns[c] : QString(columns[c]).remove(u'&');
            auto* box = new QCheckBox(caption, this);
            box->setObjectName(QLatin1String(names[r * 3 + c]));
            connect(box, &QCheckBox::clicked, this, &TFormChMod::boxClick);
            grid->addWidget(box, r, c + 1);
            *fields[r * 3 + c] = box;
        }
    }
    layout->addLayout(grid);

    auto* codeLabel = new QLabel(QStringLiteral("&Permission code:"), this);
    permissioncode = new QLineEdit(this);
    permissioncode->setObjectName(QStringLiteral("permissioncode"));
    permissioncode->setMaxLength(4);
    codeLabel->setBuddy(permissioncode);
    connect(permissioncode, &QLineEdit::textChanged, this, &TFormChMod::permissioncodeChange);
    auto* codeRow = new QHBoxLayout;
    codeRow->addWidget(codeLabel);
    codeRow->addWidget(permissioncode);
    layout->addLayout(codeRow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setText(QStringLiteral("&OK"));
    cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setText(QStringLiteral("&Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (ok->isEnabled())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

std::array<QCheckBox*, 9> TFormChMod::boxes() const
{
    return {owner_read, owner_write, owner_execute, group_read, group_write,
            group_execute, public_read, public_write, public_execute};
}

QString TFormChMod::mode() const
{
    // The number as read, so a valid text such as " 644" or "+644" reaches
    // the server as plain digits rather than as a symbolic mode.
    bool isNumber = false;
    const int number = permissioncode->text().toInt(&isNumber);
    return isNumber ? QString::number(number) : permissioncode->text();
}

void TFormChMod::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    permissioncode->setText(QStringLiteral("644"));
    permissioncodeChange(); // also when the text was "644" already
}

void TFormChMod::boxClick()
{
    if (permissioncodeTag == 1)
        return;
    int number = 0;
    const auto all = boxes();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i]->isChecked())
            number += Weights[i];
    permissioncodeTag = 1;
    permissioncode->setText(QString::number(number));
    permissioncodeTag = 0;
    ok->setEnabled(true);
}

void TFormChMod::permissioncodeChange()
{
    if (permissioncodeTag == 1)
        return;
    permissioncodeTag = 1;
    bool isNumber = false;
    int rest = permissioncode->text().toInt(&isNumber);
    if (!isNumber)
        rest = -1;
    const auto all = boxes();
    for (size_t i = 0; i + 1 < all.size(); ++i) {
        const bool set = rest / Weights[i] == 1;
        all[i]->setChecked(set);
        if (set)
            rest -= Weights[i];
    }
    public_execute->setChecked(rest == 1);
    ok->setEnabled(rest == (public_execute->isChecked() ? 1 : 0));
    permissioncodeTag = 0;
}

QList<QByteArray> chmodCommands(const QString& mode, const QString& remoteFolder, const QStringList& names)
{
    QList<QByteArray> commands;
    commands.reserve(names.size());
    for (const QString& name : names)
        commands.append(makeCommand({"chmod", mode.toUtf8(), (remoteFolder + name).toUtf8()}));
    return commands;
}

int toChMod(QWidget* parent, UserInteraction& ui, CommandQueue& queue, const QString& remoteFolder,
            const QStringList& selectedNames)
{
    if (selectedNames.isEmpty()) {
        ui.showMessage(NoChModSelection);
        return 0;
    }
    TFormChMod form(parent);
    if (form.exec() != QDialog::Accepted)
        return 0;
    const QList<QByteArray> commands = chmodCommands(form.mode(), remoteFolder, selectedNames);
    for (const QByteArray& command : commands)
        queue.append(command);
    return int(commands.size());
}
