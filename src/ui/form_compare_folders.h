#pragma once

// "Compare folders": the local and the remote folder side by side by name,
// size and date. Rows that differ are marked; "Select Differences" hands their
// names to the main window, which selects them in the two panes.

#include "listing/entry.h"

#include <QDialog>
#include <QStringList>

#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;

struct CompareRow {
    QString name;
    std::optional<tEntry> local;
    std::optional<tEntry> remote;
    bool differs = false;
};

// Names match exactly (remote names are case-sensitive). A name on one side
// only differs; a file and a folder of the same name differ; two files differ
// in size, and with `compareDates` also when their dates are not within the
// same minute (listings rarely carry seconds). Two folders never differ by
// size or date. Rows come sorted by name.
QList<CompareRow> compareFolders(const FolderEntries& local, const FolderEntries& remote, bool compareDates);

class TFormCompareFolders : public QDialog {
    Q_OBJECT
public:
    static inline const QString Caption = QStringLiteral("Compare Folders - Glimmer FTP");

    TFormCompareFolders(const QString& localFolder, const FolderEntries& local, const QString& remoteFolder,
                        const FolderEntries& remote, QWidget* parent = nullptr);

    QLabel* folders = nullptr;
    QTreeWidget* lv = nullptr;
    QCheckBox* compareDates = nullptr;
    QLabel* summary = nullptr;
    QPushButton* selectDifferences = nullptr;
    QPushButton* closeButton = nullptr;

    const QList<CompareRow>& rows() const { return m_rows; }
    QStringList localDifferences() const;
    QStringList remoteDifferences() const;

signals:
    // The names to select in the local and in the remote pane.
    void differencesSelected(const QStringList& localNames, const QStringList& remoteNames);

private:
    void refresh();

    FolderEntries m_local;
    FolderEntries m_remote;
    QList<CompareRow> m_rows;
};
