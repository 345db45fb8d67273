#include "ui/form_site_options.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

TFormSiteOptions::TFormSiteOptions(const SiteFields& fields, QWidget* parent) : QDialog(parent), m_fields(fields)
{
    setObjectName(QStringLiteral("TFormSiteOptions"));
    setWindowTitle(QStringLiteral("FTP Options - ") + fields.name);

    remoteFolder = new QLineEdit(fields.remoteFolder, this);
    remoteFolder->setObjectName(QStringLiteral("remoteFolder"));
    remoteFolder->setPlaceholderText(QStringLiteral("the server's start folder"));
    localFolder = new QLineEdit(fields.localFolder, this);
    localFolder->setObjectName(QStringLiteral("localFolder"));
    localFolder->setPlaceholderText(QStringLiteral("stay in the current folder"));
    localFolderBrowse = new QToolButton(this);
    localFolderBrowse->setText(QStringLiteral("..."));
    localFolderBrowse->setToolTip(QStringLiteral("Browse for the local folder"));
    autoReconnect = new QCheckBox(QStringLiteral("A&uto reconnect if disconnected"), this);
    autoReconnect->setObjectName(QStringLiteral("autoReconnect"));
    autoReconnect->setChecked(fields.autoReconnect);

    auto* localRow = new QHBoxLayout;
    localRow->addWidget(localFolder);
    localRow->addWidget(localFolderBrowse);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Remote folder:"), remoteFolder);
    auto* localLabel = new QLabel(QStringLiteral("Local f&older:"), this);
    localLabel->setBuddy(localFolder);
    form->addRow(localLabel, localRow);
    form->addRow(QString(), autoReconnect);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("&Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(localFolderBrowse, &QToolButton::clicked, this, [this] {
        const QString folder =
            QFileDialog::getExistingDirectory(this, QStringLiteral("Local Folder"), localFolder->text());
        if (!folder.isEmpty())
            localFolder->setText(QDir::toNativeSeparators(folder) + QDir::separator());
    });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

SiteFields TFormSiteOptions::fields() const
{
    SiteFields f = m_fields;
    f.remoteFolder = remoteFolder->text();
    f.localFolder = localFolder->text();
    f.autoReconnect = autoReconnect->isChecked();
    return f;
}

std::optional<SiteFields> TFormSiteOptions::ask(QWidget* parent, const SiteFields& fields)
{
    TFormSiteOptions form(fields, parent);
    if (form.exec() != QDialog::Accepted)
        return std::nullopt;
    return form.fields();
}
