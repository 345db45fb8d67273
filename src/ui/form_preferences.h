#pragma once

// The preferences window: every setting of the "ProgramData" record that a
// person sets, on five pages. The controls are named after their settings.
// Apply (and OK) writes the controls into the record; Cancel leaves it.

#include "store/program_data.h"

#include <QColor>
#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

// Stored colours are 0x00BBGGRR, or a system colour (top byte 0x80, its
// index in the low byte), shown here with the palette's matching role.
QColor colorFromStored(quint32 stored, const QPalette& palette);
quint32 storedFromColor(const QColor& color);

// The prompt's seconds as typed: a non-number is stored as 30.
qint32 closePromptSecondsFromText(const QString& text);
// One mask per line of the editor; each stored mask is followed by 0xFF.
// Masks that no longer fit the field's 255 bytes are left out whole.
QByteArray asciiMasksFromText(const QString& text);
QString asciiMasksToText(const QByteArray& stored);

class TFormPreferences : public QDialog {
    Q_OBJECT
public:
    static inline const QString Caption = QStringLiteral("Preferences - Glimmer FTP");

    explicit TFormPreferences(ProgramData& settings, QWidget* parent = nullptr);

    QTabWidget* pages = nullptr;
    // General
    QComboBox* sStartUpAction = nullptr;
    QComboBox* sDoubleClickAction = nullptr;
    QCheckBox* sWarnLocalDelete = nullptr;
    QCheckBox* sWarnRemoteDelete = nullptr;
    QCheckBox* sShowLoginMessage = nullptr;
    QCheckBox* sMonitorClipboard = nullptr;
    QCheckBox* sCheckForNewVersion = nullptr;
    // Connection
    QComboBox* sFirewallType = nullptr;
    QLineEdit* sFirewallAddress = nullptr;
    QLineEdit* sFirewallPort = nullptr;
    QSpinBox* sRetries = nullptr;
    QSpinBox* sRetryDelay = nullptr;
    QSpinBox* sTimeout = nullptr;
    QCheckBox* sKeepFileTimes = nullptr;
    QCheckBox* sRetryTillConnected = nullptr;
    QLineEdit* sAnonPassword = nullptr;
    QCheckBox* sAntiTimeout = nullptr;
    QCheckBox* sListHiddenFiles = nullptr;
    // Transfers
    QComboBox* sXferAction = nullptr;
    QCheckBox* sXferPromptForAction = nullptr;
    QCheckBox* sXferClosePromptForAction = nullptr;
    QLineEdit* sXferClosePromptForActionSecs = nullptr;
    QPlainTextEdit* sASCIIFiles = nullptr;
    QSpinBox* sFolderDepthLimit = nullptr;
    QSpinBox* sSimultaneousTransfers = nullptr;
    // Sounds
    QLineEdit* sSndConnect = nullptr;
    QLineEdit* sSndDisconnect = nullptr;
    QLineEdit* sSndXferComplete = nullptr;
    QCheckBox* sSndDisable = nullptr;
    // Display
    QCheckBox* sLvFullRowSelect = nullptr;
    QCheckBox* sShowFTPAttrs = nullptr;
    QCheckBox* sHumanSizes = nullptr;
    QPushButton* winColorButton = nullptr;
    QPushButton* fontColorButton = nullptr;
    QPushButton* fontButton = nullptr;

    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* applyButton = nullptr;

    // What the colour and font buttons chose, written on Apply.
    quint32 winColor = ColorWindow;
    quint32 fontColor = ColorBlack;
    QByteArray fontName;
    qint32 fontSize = 10;

    // Controls from the record, and back.
    void load();
    void apply();

signals:
    void applied();

private:
    QWidget* generalPage();
    QWidget* connectionPage();
    QWidget* transfersPage();
    QWidget* soundsPage();
    QWidget* displayPage();
    void updateEnabling();
    void showColours();

    ProgramData& m_settings;
};
