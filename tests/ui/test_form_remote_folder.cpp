#include "ui/form_remote_folder.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

namespace {

FolderEntry dir(const char* name) { return {QString::fromUtf8(name), tEntry{kEntryFolder, -1, -1, 0.0}}; }

FolderEntry file(const char* name) { return {QString::fromUtf8(name), tEntry{kEntryFile, 1, -1, 0.0}}; }

QStringList childTexts(const QTreeWidgetItem* item)
{
    QStringList texts;
    for (int i = 0; item && i < item->childCount(); ++i)
        texts.append(item->child(i)->text(0));
    return texts;
}

}  // namespace

class TestFormRemoteFolder : public QObject {
    Q_OBJECT
private slots:
    void normalPaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("normal");
        QTest::newRow("root") << "/"
                              << "/";
        QTest::newRow("empty") << ""
                               << "/";
        QTest::newRow("no slashes") << "pub"
                                    << "/pub/";
        QTest::newRow("doubled") << "//pub///incoming"
                                 << "/pub/incoming/";
        QTest::newRow("dots") << "/pub/./a/../b/"
                              << "/pub/b/";
        QTest::newRow("above the root") << "/../../etc"
                                        << "/etc/";
    }

    void normalPaths()
    {
        QFETCH(QString, path);
        QFETCH(QString, normal);
        QCOMPARE(normalRemoteFolder(path), normal);
    }

    void knownListingsMakeTheTree()
    {
        QMap<QString, FolderEntries> cache;
        cache["/"] = {dir("pub"), dir("home"), file("README"), dir(".."), dir(".")};
        cache["/pub/"] = {dir("incoming"), file("index.txt")};
        QStringList asked;
        TFormRemoteFolder form(QStringLiteral("/pub/"), [&](const QString& path) -> std::optional<FolderEntries> {
            asked.append(path);
            if (cache.contains(path))
                return cache[path];
            return std::nullopt;
        });
        QTreeWidgetItem* root = form.tv->topLevelItem(0);
        QCOMPARE(childTexts(root), (QStringList{"home", "pub"}));
        QCOMPARE(childTexts(form.itemFor("/pub/")), QStringList{"incoming"});
        QCOMPARE(form.folder(), QStringLiteral("/pub/"));

        // An unknown folder asks for its listing and fills in when it comes.
        QSignalSpy wanted(&form, &TFormRemoteFolder::listingWanted);
        form.itemFor("/pub/incoming/")->setExpanded(true);
        QCOMPARE(wanted.count(), 1);
        QCOMPARE(wanted.at(0).at(0).toString(), QStringLiteral("/pub/incoming/"));
        form.setListing(QStringLiteral("/pub/incoming/"), {dir("new"), dir("a/b")});
        QCOMPARE(childTexts(form.itemFor("/pub/incoming/")), QStringList{"new"});

        form.tv->setCurrentItem(form.itemFor("/pub/incoming/new/"));
        QCOMPARE(form.folder(), QStringLiteral("/pub/incoming/new/"));
    }

    void aTypedPathIsTheAnswer()
    {
        TFormRemoteFolder form(QStringLiteral("/a/b/"), {});
        // The way to an unknown start folder is shown all the same.
        QVERIFY(form.itemFor("/a/b/"));
        QCOMPARE(form.tv->currentItem(), form.itemFor("/a/b/"));
        form.folderPath->setText(QStringLiteral("x/y/../z"));
        QCOMPARE(form.folder(), QStringLiteral("/x/z/"));
    }
};

QTEST_MAIN(TestFormRemoteFolder)
#include "test_form_remote_folder.moc"
