#include "ui/form_xfer_action.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TFormXFerAction::TFormXFerAction(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFormXFerAction"));
    setWindowTitle(Caption);
    auto* layout = new QVBoxLayout(this);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    Label1->setMinimumHeight(48);
    layout->addWidget(Label1);

    auto* row = new QHBoxLayout;
    const auto makeButton = [&](const char* name, const QString& caption, int tag) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setProperty("tag", tag);
        button->setAutoDefault(true);
        connect(button, &QPushButton::clicked, this, [this, tag] { buttonClick(tag); });
        row->addWidget(button);
        return button;
    };
    overwrite = makeButton("overwrite", QStringLiteral("&Overwrite"), 0);
    resume = makeButton("resume", QStringLiteral("&Resume"), 1);
    skip = makeButton("skip", QStringLiteral("&Skip"), 2);
    // The designed default, kept when the preselection is not 0, 1 or 2.
    overwrite->setDefault(true);
    layout->addLayout(row);

    all = new QCheckBox(QStringLiteral("&Apply to entire queue"), this);
    all->setObjectName(QStringLiteral("all"));
    AutoClose = new QCheckBox(QStringLiteral("&Auto close window in 9 seconds"), this);
    AutoClose->setObjectName(QStringLiteral("AutoClose"));
    layout->addWidget(all);
    layout->addWidget(AutoClose);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(TimerInterval);
    connect(Timer1, &QTimer::timeout, this, &TFormXFerAction::Timer1Timer);
    setMinimumWidth(380);
}

QPushButton* TFormXFerAction::defaultButton() const
{
    for (QPushButton* button : {overwrite, resume, skip})
        if (button->isDefault())
            return button;
    return overwrite;
}

void TFormXFerAction::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Timer1Timer();
    QPushButton* preselected = Tag == 0 ? overwrite : Tag == 1 ? resume : Tag == 2 ? skip : nullptr;
    if (preselected) {
        for (QPushButton* button : {overwrite, resume, skip})
            button->setDefault(button == preselected);
        preselected->setFocus();
    }
    Timer1->start();
}

void TFormXFerAction::hideEvent(QHideEvent* event)
{
    Timer1->stop();
    QDialog::hideEvent(event);
}

void TFormXFerAction::Timer1Timer()
{
    if (!AutoClose->isChecked() || !isVisible())
        return;
    --AutoCloseTag;
    AutoClose->setText(QStringLiteral("Auto close windows in ") + QString::number(AutoCloseTag) +
                       QStringLiteral(" seconds"));
    // A countdown given as zero or less closes at once rather than counting
    // on into negative numbers for ever. The click waits for the event loop:
    // on show, exec() has not started its loop yet and would miss the close.
    if (AutoCloseTag <= 0)
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (isVisible())
                    defaultButton()->click();
            },
            Qt::QueuedConnection);
}

void TFormXFerAction::buttonClick(int tag)
{
    Tag = tag;
    Timer1->stop();
    accept();
}

UserInteraction::TransferActionAnswer TFormXFerAction::ask(QWidget* parent, const QString& text, int preselected,
                                                           bool autoClose, int countdownSeconds)
{
    TFormXFerAction form(parent);
    form.Label1->setText(text);
    form.Tag = preselected;
    form.AutoClose->setChecked(autoClose);
    form.AutoCloseTag = countdownSeconds + 1;
    form.exec();
    return {form.Tag, form.all->isChecked()};
}
