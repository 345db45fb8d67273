#include "ui/form_compare_folders.h"

#include "listing/entry_date.h"
#include "listing/size_format.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

enum Column { NameColumn, LocalSizeColumn, LocalDateColumn, RemoteSizeColumn, RemoteDateColumn, ColumnCount };

// Whole minutes since the epoch of entry dates; NaN dates stay apart.
qint64 minuteOf(double days) { return std::isfinite(days) ? qint64(std::floor(days * 1440.0 + 1e-6)) : -1; }

bool entriesDiffer(const tEntry& a, const tEntry& b, bool compareDates)
{
    if (a.isFolder() != b.isFolder())
        return true;
    if (a.isFolder())
        return false;
    if (a.size != b.size)
        return true;
    return compareDates && minuteOf(a.date) != minuteOf(b.date);
}

QString sizeText(const std::optional<tEntry>& e)
{
    if (!e)
        return {};
    return e->isFolder() ? QStringLiteral("<folder>") : FormatSizeKB(e->size);
}

QString dateText(const std::optional<tEntry>& e)
{
    if (!e || !std::isfinite(e->date) || e->date == 0.0)
        return {};
    return QLocale().toString(entryDateToDateTime(e->date), QLocale::ShortFormat);
}

}  // namespace

QList<CompareRow> compareFolders(const FolderEntries& local, const FolderEntries& remote, bool compareDates)
{
    QList<CompareRow> rows;
    QHash<QString, qsizetype> index;
    // The panes' way up is no file of the folder.
    const auto skip = [](const QString& name) { return name == u"." || name == u".."; };
    for (const FolderEntry& e : local) {
        if (skip(e.name) || index.contains(e.name))
            continue;
        index.insert(e.name, rows.size());
        rows.append({e.name, e.entry, std::nullopt, false});
    }
    for (const FolderEntry& e : remote) {
        if (skip(e.name))
            continue;
        const auto at = index.constFind(e.name);
        if (at == index.constEnd()) {
            index.insert(e.name, rows.size());
            rows.append({e.name, std::nullopt, e.entry, false});
        } else if (!rows[*at].remote) {
            rows[*at].remote = e.entry;
        }
    }
    for (CompareRow& row : rows)
        row.differs = !row.local || !row.remote || entriesDiffer(*row.local, *row.remote, compareDates);
    std::stable_sort(rows.begin(), rows.end(), [](const CompareRow& a, const CompareRow& b) {
        return QString::localeAwareCompare(a.name, b.name) < 0;
    });
    return rows;
}

TFormCompareFolders::TFormCompareFolders(const QString& localFolder, const FolderEntries& local,
                                         const QString& remoteFolder, const FolderEntries& remote, QWidget* parent)
    : QDialog(parent), m_local(local), m_remote(remote)
{
    setObjectName(QStringLiteral("TFormCompareFolders"));
    setWindowTitle(Caption);
    folders = new QLabel(QStringLiteral("Local: %1\nRemote: %2").arg(localFolder, remoteFolder), this);
    lv = new QTreeWidget(this);
    lv->setObjectName(QStringLiteral("lv"));
    lv->setRootIsDecorated(false);
    lv->setUniformRowHeights(true);
    lv->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lv->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Local Size"), QStringLiteral("Local Date"),
                         QStringLiteral("Remote Size"), QStringLiteral("Remote Date")});
    compareDates = new QCheckBox(QStringLiteral("Compare &dates"), this);
    compareDates->setObjectName(QStringLiteral("compareDates"));
    summary = new QLabel(this);
    selectDifferences = new QPushButton(QStringLiteral("&Select Differences"), this);
    selectDifferences->setObjectName(QStringLiteral("selectDifferences"));
    selectDifferences->setDefault(true);
    closeButton = new QPushButton(QStringLiteral("C&lose"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(compareDates);
    bottom->addWidget(summary, 1);
    bottom->addWidget(selectDifferences);
    bottom->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(folders);
    layout->addWidget(lv);
    layout->addLayout(bottom);

    connect(compareDates, &QCheckBox::toggled, this, &TFormCompareFolders::refresh);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(selectDifferences, &QPushButton::clicked, this, [this] {
        emit differencesSelected(localDifferences(), remoteDifferences());
        accept();
    });
    refresh();
    resize(720, 420);
}

void TFormCompareFolders::refresh()
{
    m_rows = compareFolders(m_local, m_remote, compareDates->isChecked());
    lv->clear();
    int differing = 0;
    for (const CompareRow& row : m_rows) {
        auto* item = new QTreeWidgetItem(lv);
        item->setText(NameColumn, row.name);
        item->setText(LocalSizeColumn, sizeText(row.local));
        item->setText(LocalDateColumn, dateText(row.local));
        item->setText(RemoteSizeColumn, sizeText(row.remote));
        item->setText(RemoteDateColumn, dateText(row.remote));
        for (int c : {LocalSizeColumn, RemoteSizeColumn})
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        if (row.differs) {
            ++differing;
            item->setForeground(NameColumn, QColor(0xC0, 0, 0));
            item->setSelected(true);
        }
    }
    for (int c = 0; c < ColumnCount; ++c)
        lv->resizeColumnToContents(c);
    summary->setText(differing == 0 ? QStringLiteral("The folders hold the same files.")
                                    : QStringLiteral("%1 of %2 differ.").arg(differing).arg(m_rows.size()));
}

QStringList TFormCompareFolders::localDifferences() const
{
    QStringList names;
    for (const CompareRow& row : m_rows)
        if (row.differs && row.local)
            names.append(row.name);
    return names;
}

QStringList TFormCompareFolders::remoteDifferences() const
{
    QStringList names;
    for (const CompareRow& row : m_rows)
        if (row.differs && row.remote)
            names.append(row.name);
    return names;
}
