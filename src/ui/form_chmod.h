#pragma once

// The change-permissions window: nine boxes and the three-digit mode typed in
// `permissioncode`, kept in step with each other; `ok` is enabled only for a
// valid mode. `toChMod` turns the chosen mode into one "chmod" command per
// selected remote row.

#include "queue/command_queue.h"

#include <QDialog>
#include <QStringList>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class UserInteraction;

inline const QString NoChModSelection = QStringLiteral("No files or folders selected for permission change.");

class TFormChMod : public QDialog {
    Q_OBJECT
public:
    static inline const QString Caption = QStringLiteral("Change Permissions - Glimmer FTP");

    explicit TFormChMod(QWidget* parent = nullptr);

    QLabel* heading = nullptr;
    QCheckBox* owner_read = nullptr;
    QCheckBox* owner_write = nullptr;
    QCheckBox* owner_execute = nullptr;
    QCheckBox* group_read = nullptr;
    QCheckBox* group_write = nullptr;
    QCheckBox* group_execute = nullptr;
    QCheckBox* public_read = nullptr;
    QCheckBox* public_write = nullptr;
    QCheckBox* public_execute = nullptr;
    QLineEdit* permissioncode = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;

    // Set while the boxes follow the typed text, so their changes are not
    // written back into it.
    int permissioncodeTag = 0;

    // The boxes from owner_read to public_execute and their weights.
    std::array<QCheckBox*, 9> boxes() const;
    static constexpr std::array<int, 9> Weights{400, 200, 100, 40, 20, 10, 4, 2, 1};

    QString mode() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void boxClick();
    void permissioncodeChange();
};

// "chmod" 0xFF mode 0xFF folder + name for every selected name, in order.
QList<QByteArray> chmodCommands(const QString& mode, const QString& remoteFolder, const QStringList& names);

// The whole action: with no names selected the person is told so; otherwise
// the window asks, and on OK the commands are appended to `queue`. Returns
// the number of commands queued.
int toChMod(QWidget* parent, UserInteraction& ui, CommandQueue& queue, const QString& remoteFolder,
            const QStringList& selectedNames);
