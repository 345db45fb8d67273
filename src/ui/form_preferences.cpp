#include "ui/form_preferences.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

template <typename W>
W* named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QComboBox* combo(QWidget* parent, const char* name, const QStringList& items)
{
    auto* box = named(new QComboBox(parent), name);
    box->addItems(items);
    return box;
}

// A row holding a layout gets no buddy by itself; the accelerator needs one.
QLabel* buddyLabel(const QString& text, QWidget* buddy)
{
    auto* label = new QLabel(text, buddy->parentWidget());
    label->setBuddy(buddy);
    return label;
}

QCheckBox* check(QWidget* parent, const char* name, const QString& caption)
{
    return named(new QCheckBox(caption, parent), name);
}

}  // namespace

TFormPreferences::TFormPreferences(ProgramData& settings, QWidget* parent) : QDialog(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("TFormPreferences"));
    setWindowTitle(Caption);
    pages = new QTabWidget(this);
    pages->addTab(generalPage(), QStringLiteral("General"));
    pages->addTab(connectionPage(), QStringLiteral("Connection"));
    pages->addTab(transfersPage(), QStringLiteral("Transfers"));
    pages->addTab(soundsPage(), QStringLiteral("Sounds"));
    pages->addTab(displayPage(), QStringLiteral("Display"));

    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(QStringLiteral("&OK"));
    cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setText(QStringLiteral("&Cancel"));
    applyButton = buttons->button(QDialogButtonBox::Apply);
    applyButton->setText(QStringLiteral("&Apply"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        apply();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(applyButton, &QPushButton::clicked, this, &TFormPreferences::apply);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages);
    layout->addWidget(buttons);
    load();
}

QWidget* TFormPreferences::generalPage()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    sStartUpAction = combo(page, "sStartUpAction",
                           {QStringLiteral("Do Nothing"), QStringLiteral("Open Site Manager"),
                            QStringLiteral("Connect to Last Used Site")});
    sDoubleClickAction =
        combo(page, "sDoubleClickAction", {QStringLiteral("Open File"), QStringLiteral("Transfer File")});
    sWarnLocalDelete = check(page, "sWarnLocalDelete", QStringLiteral("Ask before deleting &local files"));
    sWarnRemoteDelete = check(page, "sWarnRemoteDelete", QStringLiteral("Ask before deleting &remote files"));
    sShowLoginMessage =
        check(page, "sShowLoginMessage", QStringLiteral("Show the server's login &message after log-in"));
    sMonitorClipboard = check(page, "sMonitorClipboard", QStringLiteral("Watch the clip&board for ftp:// addresses"));
    sCheckForNewVersion = check(page, "sCheckForNewVersion", QStringLiteral("Check for a new &version at start-up"));
    form->addRow(QStringLiteral("At &start-up:"), sStartUpAction);
    form->addRow(QStringLiteral("&Double click on a file:"), sDoubleClickAction);
    for (QCheckBox* box :
         {sWarnLocalDelete, sWarnRemoteDelete, sShowLoginMessage, sMonitorClipboard, sCheckForNewVersion})
        form->addRow(box);
    return page;
}

QWidget* TFormPreferences::connectionPage()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    sFirewallType = combo(page, "sFirewallType",
                          {QStringLiteral("Direct"), QStringLiteral("Direct (Passive)"), QStringLiteral("Std. Proxy"),
                           QStringLiteral("Socks ")});
    sFirewallAddress = named(new QLineEdit(page), "sFirewallAddress");
    sFirewallAddress->setMaxLength(255);
    sFirewallPort = named(new QLineEdit(page), "sFirewallPort");
    sFirewallPort->setMaxLength(5);
    sRetries = named(new QSpinBox(page), "sRetries");
    sRetries->setRange(0, 9999);
    sRetryTillConnected = check(page, "sRetryTillConnected", QStringLiteral("&Unlimited"));
    sRetryDelay = named(new QSpinBox(page), "sRetryDelay");
    sRetryDelay->setRange(0, 86400);
    sRetryDelay->setSuffix(QStringLiteral(" s"));
    sTimeout = named(new QSpinBox(page), "sTimeout");
    sTimeout->setRange(0, 86400);
    sTimeout->setSuffix(QStringLiteral(" s"));
    sTimeout->setToolTip(QStringLiteral("A server silent this long is taken as gone; 0 waits for ever"));
    sAnonPassword = named(new QLineEdit(page), "sAnonPassword");
    sAnonPassword->setMaxLength(255);
    sAntiTimeout = check(page, "sAntiTimeout", QStringLiteral("&Keep idle sessions alive"));
    sListHiddenFiles =
        check(page, "sListHiddenFiles", QStringLiteral("List &hidden files (ask the server for \"-latr\")"));
    auto* retries = new QHBoxLayout;
    retries->addWidget(sRetries);
    retries->addWidget(sRetryTillConnected);
    retries->addStretch();
    form->addRow(QStringLiteral("Connection &type:"), sFirewallType);
    form->addRow(QStringLiteral("Proxy or SOCKS &server:"), sFirewallAddress);
    form->addRow(QStringLiteral("SOCKS &port:"), sFirewallPort);
    form->addRow(buddyLabel(QStringLiteral("&Reconnection attempts:"), sRetries), retries);
    form->addRow(QStringLiteral("&Delay between attempts:"), sRetryDelay);
    form->addRow(QStringLiteral("&Time-out after inactivity:"), sTimeout);
    form->addRow(QStringLiteral("A&nonymous password:"), sAnonPassword);
    form->addRow(sAntiTimeout);
    form->addRow(sListHiddenFiles);
    connect(sFirewallType, &QComboBox::currentIndexChanged, this, &TFormPreferences::updateEnabling);
    connect(sRetryTillConnected, &QCheckBox::toggled, this, &TFormPreferences::updateEnabling);
    return page;
}

QWidget* TFormPreferences::transfersPage()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    sXferAction = combo(page, "sXferAction",
                        {QStringLiteral("Overwrite file"), QStringLiteral("Resume file"), QStringLiteral("Skip file")});
    sXferPromptForAction =
        check(page, "sXferPromptForAction", QStringLiteral("&Prompt for the action when the target exists"));
    sXferClosePromptForAction =
        check(page, "sXferClosePromptForAction", QStringLiteral("Auto c&lose the prompt after"));
    sXferClosePromptForActionSecs = named(new QLineEdit(page), "sXferClosePromptForActionSecs");
    sXferClosePromptForActionSecs->setMaxLength(6);
    sKeepFileTimes = check(page, "sKeepFileTimes", QStringLiteral("Keep the modification time of transferred files"));
    sASCIIFiles = named(new QPlainTextEdit(page), "sASCIIFiles");
    sASCIIFiles->setToolTip(QStringLiteral("One mask per line, for example *.txt"));
    sFolderDepthLimit = named(new QSpinBox(page), "sFolderDepthLimit");
    sFolderDepthLimit->setRange(0, 9999);
    sFolderDepthLimit->setSuffix(QStringLiteral(" levels"));
    sFolderDepthLimit->setToolTip(
        QStringLiteral("How deep a folder download or delete descends below the folder it starts with"));
    sSimultaneousTransfers = named(new QSpinBox(page), "sSimultaneousTransfers");
    sSimultaneousTransfers->setRange(1, ProgramData::MaxSimultaneousTransfers);
    sSimultaneousTransfers->setToolTip(
        QStringLiteral("Files transferred at once, each on a connection of its own; 1 transfers on the browsing "
                       "connection"));
    auto* close = new QHBoxLayout;
    close->addWidget(sXferClosePromptForAction);
    close->addWidget(sXferClosePromptForActionSecs);
    close->addWidget(new QLabel(QStringLiteral("seconds"), page));
    close->addStretch();
    form->addRow(QStringLiteral("When the target &exists:"), sXferAction);
    form->addRow(sXferPromptForAction);
    form->addRow(close);
    form->addRow(sKeepFileTimes);
    form->addRow(QStringLiteral("ASCII &mode for:"), sASCIIFiles);
    form->addRow(QStringLiteral("Folder &depth limit:"), sFolderDepthLimit);
    form->addRow(QStringLiteral("Simultaneous &transfers:"), sSimultaneousTransfers);
    connect(sXferPromptForAction, &QCheckBox::toggled, this, &TFormPreferences::updateEnabling);
    connect(sXferClosePromptForAction, &QCheckBox::toggled, this, &TFormPreferences::updateEnabling);
    return page;
}

QWidget* TFormPreferences::soundsPage()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    const auto soundRow = [&](QLineEdit*& edit, const char* name, const QString& label) {
        edit = named(new QLineEdit(page), name);
        edit->setMaxLength(255);
        auto* browse = new QToolButton(page);
        browse->setText(QStringLiteral("..."));
        QLineEdit* target = edit;
        connect(browse, &QToolButton::clicked, this, [this, target] {
            const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Sound File"), target->text(),
                                                              QStringLiteral("Sounds (*.wav);;All files (*)"));
            if (!file.isEmpty())
                target->setText(QDir::toNativeSeparators(file));
        });
        auto* row = new QHBoxLayout;
        row->addWidget(edit);
        row->addWidget(browse);
        form->addRow(buddyLabel(label, edit), row);
    };
    soundRow(sSndConnect, "sSndConnect", QStringLiteral("After &log-in:"));
    soundRow(sSndDisconnect, "sSndDisconnect", QStringLiteral("When the session &ends:"));
    soundRow(sSndXferComplete, "sSndXferComplete", QStringLiteral("When the &queue is done:"));
    sSndDisable = check(page, "sSndDisable", QStringLiteral("&No sounds"));
    form->addRow(sSndDisable);
    connect(sSndDisable, &QCheckBox::toggled, this, &TFormPreferences::updateEnabling);
    return page;
}

QWidget* TFormPreferences::displayPage()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    sLvFullRowSelect = check(page, "sLvFullRowSelect", QStringLiteral("&Full-row selection in the lists"));
    sShowFTPAttrs = check(page, "sShowFTPAttrs", QStringLiteral("Show the \"Attr\" col&umn of the remote pane"));
    sHumanSizes = check(page, "sHumanSizes", QStringLiteral("Sizes in B, KB, MB, GB and TB (off: whole &kilobytes)"));
    winColorButton = named(new QPushButton(page), "winColorButton");
    fontColorButton = named(new QPushButton(page), "fontColorButton");
    fontButton = named(new QPushButton(page), "fontButton");
    form->addRow(sLvFullRowSelect);
    form->addRow(sShowFTPAttrs);
    form->addRow(sHumanSizes);
    form->addRow(QStringLiteral("&Background:"), winColorButton);
    form->addRow(QStringLiteral("&Text colour:"), fontColorButton);
    form->addRow(QStringLiteral("Fo&nt:"), fontButton);
    connect(winColorButton, &QPushButton::clicked, this, [this] {
        const QColor c = QColorDialog::getColor(colorFromStored(winColor, palette()), this);
        if (c.isValid())
            winColor = storedFromColor(c);
        showColours();
    });
    connect(fontColorButton, &QPushButton::clicked, this, [this] {
        const QColor c = QColorDialog::getColor(colorFromStored(fontColor, palette()), this);
        if (c.isValid())
            fontColor = storedFromColor(c);
        showColours();
    });
    connect(fontButton, &QPushButton::clicked, this, [this] {
        bool chosen = false;
        const QFont f = QFontDialog::getFont(&chosen, QFont(QString::fromUtf8(fontName), fontSize), this);
        if (chosen) {
            fontName = f.family().toUtf8();
            fontSize = f.pointSize() > 0 ? f.pointSize() : fontSize;
        }
        showColours();
    });
    return page;
}
