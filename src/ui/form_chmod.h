#pragma once

// The change-permissions window: nine boxes and the three-digit mode typed in
// `permissioncode`, kept in step with each other; `ok` is enabled only for a
// valid mode. It opens with the selection's current mode; where the selected
// entries differ, a box shows the third state and leaves their bits as they
// are. `toChMod` turns the choice into one mode per selected row.

#include <QDialog>
#include <QList>
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

    // The selected entries' modes as listed (the decimal reading, 755; -1
    // when the listing had none), given before showing. All known and equal:
    // the window opens with that mode. All known but different: the boxes
    // where they differ show the third state. Otherwise it opens with 644.
    void setCurrentModes(const QList<qint32>& modes);
    // Whether some box leaves the selection's bits alone.
    bool keepsSomeBits() const;
    // The mode to send for an entry whose mode is `current`: the boxes'
    // choice, and `current`'s bits where a box is in the third state.
    QString modeFor(qint32 current) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void boxClick();
    void permissioncodeChange();
    void showMixedCode();

    QString m_initialCode = QStringLiteral("644");
    QList<qint32> m_mixedFrom;  // the modes the third state stands for
};

// One selected name and the mode it is to get.
struct ChModChange {
    QString name;
    QString mode;
    bool operator==(const ChModChange&) const = default;
};

// The whole action: with no names selected the person is told so; otherwise
// the window asks (opening with the selected entries' modes, one per name,
// -1 unknown). On OK: every selected name with its new mode, in order; empty
// when cancelled.
QList<ChModChange> toChMod(QWidget* parent, UserInteraction& ui, const QStringList& selectedNames,
                           const QList<qint32>& currentModes = {});
