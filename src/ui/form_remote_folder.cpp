#include "ui/form_remote_folder.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int PathRole = Qt::UserRole + 1;
constexpr int FilledRole = Qt::UserRole + 2;

// Shown under a folder whose listing has not been read, so it can be expanded.
const QString PendingText = QStringLiteral("...");

}  // namespace

QString normalRemoteFolder(const QString& path)
{
    QStringList pieces;
    for (const QString& piece : path.split(u'/', Qt::SkipEmptyParts)) {
        if (piece == u".")
            continue;
        if (piece == u"..") {
            if (!pieces.isEmpty())
                pieces.removeLast();
            continue;
        }
        pieces.append(piece);
    }
    return pieces.isEmpty() ? QStringLiteral("/") : u'/' + pieces.join(u'/') + u'/';
}

TFormRemoteFolder::TFormRemoteFolder(const QString& startFolder, ListingLookup lookup, QWidget* parent)
    : QDialog(parent), m_lookup(std::move(lookup))
{
    setObjectName(QStringLiteral("TFormRemoteFolder"));
    setWindowTitle(Caption);
    tv = new QTreeWidget(this);
    tv->setObjectName(QStringLiteral("tv"));
    tv->setHeaderHidden(true);
    folderPath = new QLineEdit(this);
    folderPath->setObjectName(QStringLiteral("folderPath"));
    auto* pathLabel = new QLabel(QStringLiteral("&Folder:"), this);
    pathLabel->setBuddy(folderPath);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(QStringLiteral("&OK"));
    cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setText(QStringLiteral("&Cancel"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tv);
    layout->addWidget(pathLabel);
    layout->addWidget(folderPath);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(tv, &QTreeWidget::itemExpanded, this, &TFormRemoteFolder::expandItem);
    connect(tv, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item)
            folderPath->setText(item->data(0, PathRole).toString());
    });

    auto* root = new QTreeWidgetItem(tv, {QStringLiteral("/")});
    root->setIcon(0, style()->standardIcon(QStyle::SP_DriveNetIcon));
    root->setData(0, PathRole, QStringLiteral("/"));
    root->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    // Every folder on the way down to the start folder is shown opened.
    QTreeWidgetItem* start = ensureItem(normalRemoteFolder(startFolder));
    for (QTreeWidgetItem* up = start; up; up = up->parent())
        up->setExpanded(true);
    tv->setCurrentItem(start);
    folderPath->setText(normalRemoteFolder(startFolder));
    resize(420, 460);
}

QString TFormRemoteFolder::folder() const { return normalRemoteFolder(folderPath->text()); }

QTreeWidgetItem* TFormRemoteFolder::itemFor(const QString& folder) const
{
    const QString path = normalRemoteFolder(folder);
    QTreeWidgetItem* item = tv->topLevelItem(0);
    for (const QString& piece : path.split(u'/', Qt::SkipEmptyParts)) {
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; item && i < item->childCount() && !next; ++i)
            if (item->child(i)->data(0, PathRole).isValid() && item->child(i)->text(0) == piece)
                next = item->child(i);
        item = next;
        if (!item)
            return nullptr;
    }
    return item;
}

QTreeWidgetItem* TFormRemoteFolder::ensureItem(const QString& folder)
{
    QTreeWidgetItem* item = tv->topLevelItem(0);
    QString path = QStringLiteral("/");
    for (const QString& piece : folder.split(u'/', Qt::SkipEmptyParts)) {
        path += piece + u'/';
        if (QTreeWidgetItem* known = itemFor(path)) {
            item = known;
            continue;
        }
        auto* child = new QTreeWidgetItem(item, {piece});
        child->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
        child->setData(0, PathRole, path);
        child->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        item = child;
    }
    return item;
}

void TFormRemoteFolder::fillChildren(QTreeWidgetItem* item, const FolderEntries& entries)
{
    const QString base = item->data(0, PathRole).toString();
    QStringList names;
    for (const FolderEntry& e : entries)
        if (e.entry.isFolder() && e.name != u"." && e.name != u".." && !e.name.contains(u'/'))
            names.append(e.name);
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return QString::localeAwareCompare(a, b) < 0; });
    // Drop the placeholder; keep folders already shown on the way down.
    for (int i = item->childCount() - 1; i >= 0; --i)
        if (!item->child(i)->data(0, PathRole).isValid())
            delete item->takeChild(i);
    for (const QString& name : names)
        ensureItem(base + name + u'/');
    // Folders shown on the way down came first; put everything in order.
    QList<QTreeWidgetItem*> children = item->takeChildren();
    std::stable_sort(children.begin(), children.end(), [](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
        return QString::localeAwareCompare(a->text(0), b->text(0)) < 0;
    });
    item->addChildren(children);
    item->setData(0, FilledRole, true);
    item->setChildIndicatorPolicy(item->childCount() ? QTreeWidgetItem::ShowIndicator
                                                     : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void TFormRemoteFolder::expandItem(QTreeWidgetItem* item)
{
    if (item->data(0, FilledRole).toBool())
        return;
    const QString path = item->data(0, PathRole).toString();
    if (const std::optional<FolderEntries> entries = m_lookup ? m_lookup(path) : std::nullopt) {
        fillChildren(item, *entries);
        return;
    }
    if (item->childCount() == 0) {
        auto* pending = new QTreeWidgetItem(item, {PendingText});
        pending->setFlags(Qt::NoItemFlags);
    }
    emit listingWanted(path);
}

void TFormRemoteFolder::setListing(const QString& folder, const FolderEntries& entries)
{
    if (QTreeWidgetItem* item = ensureItem(normalRemoteFolder(folder)))
        fillChildren(item, entries);
}
