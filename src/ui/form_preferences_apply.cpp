// The preferences window's controls from and into the settings record.

#include "ui/form_preferences.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {

constexpr int StringCapacity = 255;
constexpr qint32 DefaultClosePromptSeconds = 30;
constexpr quint32 SystemColourFlag = 0x80000000;
constexpr quint32 SystemColourWindow = 5;
constexpr quint32 SystemColourWindowText = 8;

QString text(const QByteArray& stored) { return QString::fromUtf8(stored); }

QByteArray bytes(const QLineEdit* edit) { return edit->text().toUtf8(); }

// A stored choice outside the list shows the first entry rather than none.
void setChoice(QComboBox* box, int value) { box->setCurrentIndex(value >= 0 && value < box->count() ? value : 0); }

}  // namespace

QColor colorFromStored(quint32 stored, const QPalette& palette)
{
    if ((stored & 0xFF000000u) == SystemColourFlag) {
        switch (stored & 0xFFu) {
        case SystemColourWindow:
            return palette.color(QPalette::Base);
        case SystemColourWindowText:
            return palette.color(QPalette::Text);
        default:
            return palette.color(QPalette::Window);
        }
    }
    return QColor(int(stored & 0xFF), int((stored >> 8) & 0xFF), int((stored >> 16) & 0xFF));
}

quint32 storedFromColor(const QColor& color)
{
    return quint32(color.red()) | quint32(color.green()) << 8 | quint32(color.blue()) << 16;
}

qint32 closePromptSecondsFromText(const QString& text)
{
    bool isNumber = false;
    const qint32 seconds = text.trimmed().toInt(&isNumber);
    return isNumber ? seconds : DefaultClosePromptSeconds;
}

QByteArray asciiMasksFromText(const QString& text)
{
    QByteArray stored;
    for (const QString& line : text.split(u'\n')) {
        const QByteArray mask = line.trimmed().toUtf8();
        if (mask.isEmpty())
            continue;
        // A mask cut at the field's end would match other files than the
        // person wrote; it is left out whole instead.
        if (stored.size() + mask.size() + 1 > StringCapacity)
            break;
        stored += mask;
        stored += '\xFF';
    }
    return stored;
}

QString asciiMasksToText(const QByteArray& stored)
{
    QStringList lines;
    for (const QByteArray& mask : stored.split('\xFF'))
        if (!mask.isEmpty())
            lines.append(QString::fromUtf8(mask));
    return lines.join(u'\n');
}

void TFormPreferences::load()
{
    const ProgramData& s = m_settings;
    setChoice(sStartUpAction, s.sStartUpAction);
    setChoice(sDoubleClickAction, s.sDoubleClickAction);
    sWarnLocalDelete->setChecked(s.sWarnLocalDelete);
    sWarnRemoteDelete->setChecked(s.sWarnRemoteDelete);
    sShowLoginMessage->setChecked(s.sShowLoginMessage);
    sMonitorClipboard->setChecked(s.sMonitorClipboard);
    sCheckForNewVersion->setChecked(s.sCheckForNewVersion);

    setChoice(sFirewallType, s.sFirewallType);
    sFirewallAddress->setText(text(s.sFirewallAddress));
    sFirewallPort->setText(text(s.sFirewallPort));
    sRetries->setValue(s.sRetries);
    sRetryDelay->setValue(s.sRetryDelay);
    sTimeout->setValue(s.sTimeout);
    sKeepFileTimes->setChecked(s.sKeepFileTimes);
    sRetryTillConnected->setChecked(s.sRetryTillConnected);
    sAnonPassword->setText(text(s.sAnonPassword));
    sAntiTimeout->setChecked(s.sAntiTimeout);
    sListHiddenFiles->setChecked(s.sListHiddenFiles);

    setChoice(sXferAction, s.sXferAction);
    sXferPromptForAction->setChecked(s.sXferPromptForAction);
    sXferClosePromptForAction->setChecked(s.sXferClosePromptForAction);
    sXferClosePromptForActionSecs->setText(QString::number(s.sXferClosePromptForActionSecs));
    sASCIIFiles->setPlainText(asciiMasksToText(s.sASCIIFiles));
    sFolderDepthLimit->setValue(s.sFolderDepthLimit);
    sSimultaneousTransfers->setValue(s.sSimultaneousTransfers);

    sSndConnect->setText(text(s.sSndConnect));
    sSndDisconnect->setText(text(s.sSndDisconnect));
    sSndXferComplete->setText(text(s.sSndXferComplete));
    sSndDisable->setChecked(s.sSndDisable);

    sLvFullRowSelect->setChecked(s.sLvFullRowSelect);
    sShowFTPAttrs->setChecked(s.sShowFTPAttrs);
    sHumanSizes->setChecked(s.sHumanSizes);
    winColor = s.sWinColor;
    fontColor = s.fontColor;
    fontName = s.fontName;
    fontSize = s.fontSize;
    showColours();
    updateEnabling();
}

void TFormPreferences::apply()
{
    ProgramData& s = m_settings;
    s.sStartUpAction = quint8(sStartUpAction->currentIndex());
    s.sDoubleClickAction = quint8(sDoubleClickAction->currentIndex());
    s.sWarnLocalDelete = sWarnLocalDelete->isChecked();
    s.sWarnRemoteDelete = sWarnRemoteDelete->isChecked();
    s.sShowLoginMessage = sShowLoginMessage->isChecked();
    s.sMonitorClipboard = sMonitorClipboard->isChecked();
    s.sCheckForNewVersion = sCheckForNewVersion->isChecked();

    s.sFirewallType = quint8(sFirewallType->currentIndex());
    s.sFirewallAddress = bytes(sFirewallAddress);
    s.sFirewallPort = bytes(sFirewallPort);
    s.sRetries = sRetries->value();
    s.sRetryDelay = sRetryDelay->value();
    s.sTimeout = sTimeout->value();
    s.sKeepFileTimes = sKeepFileTimes->isChecked();
    s.sRetryTillConnected = sRetryTillConnected->isChecked();
    s.sAnonPassword = bytes(sAnonPassword);
    s.sAntiTimeout = sAntiTimeout->isChecked();
    s.sListHiddenFiles = sListHiddenFiles->isChecked();

    s.sXferAction = quint8(sXferAction->currentIndex());
    s.sXferPromptForAction = sXferPromptForAction->isChecked();
    s.sXferClosePromptForAction = sXferClosePromptForAction->isChecked();
    s.sXferClosePromptForActionSecs = closePromptSecondsFromText(sXferClosePromptForActionSecs->text());
    s.sASCIIFiles = asciiMasksFromText(sASCIIFiles->toPlainText());
    s.sFolderDepthLimit = sFolderDepthLimit->value();
    s.sSimultaneousTransfers = sSimultaneousTransfers->value();

    s.sSndConnect = bytes(sSndConnect);
    s.sSndDisconnect = bytes(sSndDisconnect);
    s.sSndXferComplete = bytes(sSndXferComplete);
    s.sSndDisable = sSndDisable->isChecked();

    s.sLvFullRowSelect = sLvFullRowSelect->isChecked();
    s.sShowFTPAttrs = sShowFTPAttrs->isChecked();
    s.sHumanSizes = sHumanSizes->isChecked();
    s.sWinColor = winColor;
    s.fontColor = fontColor;
    s.fontName = fontName;
    s.fontSize = fontSize;
    // What was stored is shown again, so the controls never disagree with
    // the record (a non-number of seconds reads 30 now).
    load();
    emit applied();
}

void TFormPreferences::updateEnabling()
{
    const int type = sFirewallType->currentIndex();
    sFirewallAddress->setEnabled(type >= 2);
    sFirewallPort->setEnabled(type == 3);
    sRetries->setEnabled(!sRetryTillConnected->isChecked());
    sXferClosePromptForAction->setEnabled(sXferPromptForAction->isChecked());
    sXferClosePromptForActionSecs->setEnabled(sXferPromptForAction->isChecked() &&
                                              sXferClosePromptForAction->isChecked());
    for (QLineEdit* edit : {sSndConnect, sSndDisconnect, sSndXferComplete})
        edit->setEnabled(!sSndDisable->isChecked());
}

void TFormPreferences::showColours()
{
    const auto swatch = [this](QPushButton* button, quint32 stored) {
        button->setText(colorFromStored(stored, palette()).name());
        button->setStyleSheet(QStringLiteral("background-color: %1").arg(colorFromStored(stored, palette()).name()));
    };
    swatch(winColorButton, winColor);
    swatch(fontColorButton, fontColor);
    fontButton->setText(QStringLiteral("%1, %2 pt").arg(QString::fromUtf8(fontName)).arg(fontSize));
}
