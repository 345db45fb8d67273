// Loading, saving, sorting and looking up the site manager's tree.

#include "sites/site_tree.h"

#include <QtTest>

namespace {

tSiteObject record(const QByteArray& path, const QByteArray& host = "h", const QByteArray& user = "u")
{
    tSiteObject s = tSiteObject::newSite();
    s.SiteName = path;
    s.SiteHost = host;
    s.SiteUser = user;
    return s;
}

QByteArray stream(const QList<tSiteObject>& sites) { return encodeFavorites(sites); }

// The tree as text, one node per line, indented by depth; folders end in "/".
QString shape(const SiteTree& tree)
{
    QStringList lines;
    for (const SiteNode* node : tree.nodesInTreeOrder()) {
        int depth = 0;
        for (const SiteNode* p = node->parent(); p; p = p->parent())
            ++depth;
        lines << QString(depth * 2, ' ') + node->text() + (node->isFolder() ? "/" : "");
    }
    return lines.join('\n');
}

QStringList storedNames(const QByteArray& favorites)
{
    QStringList names;
    for (const tSiteObject& s : decodeFavorites(favorites))
        names << QString::fromUtf8(s.SiteName);
    return names;
}

}  // namespace

class TestSiteTree : public QObject {
    Q_OBJECT
private slots:
    void loadsFolderChains()
    {
        SiteTree tree;
        tree.load(stream({record("/Work/Servers/Alpha", "alpha"), record("/Work/Beta", "beta"), record("Top"),
                          record("//Work//Gamma/")}));
        QCOMPARE(shape(tree), QString("Glimmer FTP Site Manager\n"
                                      "  Work/\n"
                                      "    Servers/\n"
                                      "      Alpha\n"
                                      "    Beta\n"
                                      "    Gamma\n"
                                      "  Top"));
        QVERIFY(tree.root()->isExpanded());
        SiteNode* alpha = tree.findSiteByPath("/Work/Servers/Alpha");
        QVERIFY(alpha);
        QCOMPARE(alpha->site()->SiteName, QByteArray("Alpha"));  // display name in memory
        QCOMPARE(alpha->site()->SiteHost, QByteArray("alpha"));
        QCOMPARE(alpha->imageIndex(), SiteNode::SiteImageIndex);
        QCOMPARE(alpha->parent()->imageIndex(), SiteNode::FolderImageIndex);
    }

    void saveLoadRoundTrip()
    {
        SiteTree tree;
        const QList<tSiteObject> sites{record("/Work/Servers/Alpha", "a", "ann"), record("/Work/Beta", "b"),
                                       record("/Home/Deep/Er/Site", "d"), record("/Loose", "l")};
        tree.load(stream(sites));
        const QByteArray saved = tree.save();
        QCOMPARE(storedNames(saved),
                 (QStringList{"/Home/Deep/Er/Site", "/Work/Servers/Alpha", "/Work/Beta", "/Loose"}));
        SiteTree again;
        again.load(saved);
        QCOMPARE(shape(again), shape(tree));
        QCOMPARE(again.save(), saved);
        const tSiteObject alpha = decodeFavorites(saved)[1];
        QCOMPARE(alpha.SiteUser, QByteArray("ann"));
        QCOMPARE(alpha.SitePort, QByteArray("21"));
        QVERIFY(alpha.SiteAutoReconnect);
    }

    void twentySites()
    {
        QList<tSiteObject> sites;
        for (int i = 0; i < 20; ++i)
            sites << record("/F" + QByteArray::number(i % 3) + "/S" + QByteArray::number(i));
        SiteTree tree;
        tree.load(stream(sites));
        QCOMPARE(tree.sitesInTreeOrder().size(), 20);
        QCOMPARE(tree.save().size(), 20 * 4206);
    }

    void sortsFoldersFirstThenByText()
    {
        SiteTree tree;
        tree.load(stream({record("/b"), record("/Z/x"), record("/a"), record("/c/y"), record("/A/q")}));
        QStringList top;
        for (const auto& child : tree.root()->children())
            top << child->text() + (child->isFolder() ? "/" : "");
        // Folders first, each group in the system's text order.
        QStringList folders{"A", "c", "Z"}, sites{"a", "b"};
        auto byLocale = [](const QString& x, const QString& y) { return QString::localeAwareCompare(x, y) < 0; };
        std::sort(folders.begin(), folders.end(), byLocale);
        std::sort(sites.begin(), sites.end(), byLocale);
        QStringList expected;
        for (const QString& f : folders)
            expected << f + "/";
        expected << sites;
        QCOMPARE(top, expected);
    }

    void treePaths()
    {
        SiteTree tree;
        tree.load(stream({record("/Work/Alpha"), record("Solo")}));
        QCOMPARE(SiteTree::treePath(tree.findSiteByPath("/Work/Alpha")), QString("/Work/Alpha"));
        QCOMPARE(SiteTree::treePath(tree.findSiteByPath("/Solo")), QString("/Solo"));
        QCOMPARE(SiteTree::treePath(tree.root()->child(0)), QString("/Work/"));
        QCOMPARE(SiteTree::treePath(tree.root()), QString("/"));
    }

    void pathLookup_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("host");
        QTest::newRow("nested") << "/Work/Servers/Alpha" << QByteArray("alpha");
        QTest::newRow("top level") << "/Beta" << QByteArray("beta1");
        QTest::newRow("first of two equal paths") << "/Work/Dup" << QByteArray("dup1");
        QTest::newRow("case-sensitive") << "/work/servers/alpha" << QByteArray();
        QTest::newRow("folder is not a site") << "/Work/Servers" << QByteArray();
        QTest::newRow("without leading slash") << "Beta" << QByteArray();
    }

    void pathLookup()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, host);
        SiteTree tree;
        tree.load(stream({record("/Work/Servers/Alpha", "alpha"), record("/Beta", "beta1"), record("/Work/Dup", "dup1"),
                          record("/Work/Dup", "dup2")}));
        SiteNode* found = tree.findSiteByPath(path);
        QCOMPARE(found ? found->site()->SiteHost : QByteArray(), host);
    }

    void connectionLookup()
    {
        SiteTree tree;
        tree.load(
            stream({record("/B/One", "h1", "ann"), record("/A/Two", "h1", "ann"), record("/Three", "h2", "bob")}));
        SiteNode* found = tree.findSite("h1", "21", "ann", "");
        QVERIFY(found);
        QCOMPARE(found->text(), QString("Two"));  // first in tree order, not in stored order
        QVERIFY(!tree.findSite("h1", "2121", "ann", ""));
        QVERIFY(!tree.findSite("h2", "21", "bob", "secret"));
    }
};

QTEST_GUILESS_MAIN(TestSiteTree)
#include "test_site_tree.moc"
