// The site manager's editing operations on the headless tree.

#include "sites/site_tree.h"

#include <QtTest>

namespace {

QByteArray stream(const QList<QByteArray>& paths)
{
    QList<tSiteObject> sites;
    for (const QByteArray& path : paths) {
        tSiteObject s = tSiteObject::newSite();
        s.SiteName = path;
        sites << s;
    }
    return encodeFavorites(sites);
}

QStringList sitePaths(const SiteTree& tree)
{
    QStringList paths;
    for (const SiteNode* site : tree.sitesInTreeOrder())
        paths << SiteTree::treePath(site);
    return paths;
}

}  // namespace

class TestSiteEditing : public QObject {
    Q_OBJECT
private slots:
    void newFolder()
    {
        SiteTree tree;
        tree.load(stream({"/Work/Alpha"}));
        QCOMPARE(newFolderPrompt().title, QString("New Folder"));
        QCOMPARE(newFolderPrompt().label, QString("New Site Manager Folder"));
        SiteNode* alpha = tree.findSiteByPath("/Work/Alpha");

        SiteResult made = tree.newFolder(alpha, "Sub");  // a site: its folder
        QVERIFY(made.ok());
        QCOMPARE(SiteTree::treePath(made.node), QString("/Work/Sub/"));
        QCOMPARE(tree.root()->child(0)->child(0), made.node);  // sorted before the site
        QCOMPARE(SiteTree::treePath(tree.newFolder(nullptr, "Top").node), QString("/Top/"));

        const SiteResult cancelled = tree.newFolder(alpha, "");
        QVERIFY(cancelled.ok());
        QVERIFY(!cancelled.node);
        QVERIFY(!tree.newFolder(alpha, "a/b").ok());
    }

    void newSite()
    {
        SiteTree tree;
        tree.load(stream({"/Work/Alpha"}));
        SiteResult made = tree.newSite(tree.findSiteByPath("/Work/Alpha"));
        QVERIFY(made.ok());
        QCOMPARE(made.node->parent(), tree.root()->child(0));
        // A name of its own and no host: the boxes' instructions are
        // placeholders, never stored.
        QCOMPARE(made.node->text(), QString("New Site"));
        const tSiteObject* s = made.node->site();
        QVERIFY(s->SiteHost.isEmpty());
        QCOMPARE(s->SitePort, QByteArray("21"));
        QVERIFY(s->SiteAutoReconnect);
        QCOMPARE(tree.newSite(made.node).node->text(), QString("New Site 2"));
        QCOMPARE(SiteTree::treePath(tree.newSite(tree.root()).node), QString("/New Site"));
    }

    void remove()
    {
        SiteTree tree;
        tree.load(stream({"/A/One", "/A/Two", "/B/Three", "/Four"}));
        // Deleting folder B selects the last node shown before it.
        SiteNode* select = tree.remove(tree.root()->child(1));
        QCOMPARE(SiteTree::treePath(select), QString("/A/Two"));
        QCOMPARE(sitePaths(tree), (QStringList{"/A/One", "/A/Two", "/Four"}));
        // The first child of a folder selects the folder.
        select = tree.remove(tree.findSiteByPath("/A/One"));
        QCOMPARE(select, tree.root()->child(0));
        // The root deletes everything under it.
        QCOMPARE(tree.remove(tree.root()), tree.root());
        QCOMPARE(tree.root()->childCount(), 0);
        QVERIFY(tree.save().isEmpty());
    }

    void move_data()
    {
        QTest::addColumn<QString>("node");    // tree path of the dragged node
        QTest::addColumn<QString>("target");  // tree path of the drop target
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("paths");
        const QStringList unchanged{"/A/Sub/Deep", "/A/One", "/B/Two", "/Top"};
        QTest::newRow("site into folder") << "/Top"
                                          << "/B/" << true << QStringList{"/A/Sub/Deep", "/A/One", "/B/Top", "/B/Two"};
        QTest::newRow("folder into folder") << "/A/Sub/"
                                            << "/B/" << true << QStringList{"/A/One", "/B/Sub/Deep", "/B/Two", "/Top"};
        QTest::newRow("site to the top") << "/B/Two"
                                         << "/" << true << QStringList{"/A/Sub/Deep", "/A/One", "/Top", "/Two"};
        QTest::newRow("onto a site") << "/A/One"
                                     << "/Top" << false << unchanged;
        QTest::newRow("folder into itself") << "/A/"
                                            << "/A/" << false << unchanged;
        QTest::newRow("folder into its child") << "/A/"
                                               << "/A/Sub/" << false << unchanged;
    }

    void move()
    {
        QFETCH(QString, node);
        QFETCH(QString, target);
        QFETCH(bool, ok);
        QFETCH(QStringList, paths);
        SiteTree tree;
        tree.load(stream({"/A/Sub/Deep", "/A/One", "/B/Two", "/Top"}));
        auto byPath = [&](const QString& path) -> SiteNode* {
            for (SiteNode* n : tree.nodesInTreeOrder())
                if (SiteTree::treePath(n) == path)
                    return n;
            return nullptr;
        };
        SiteNode* dragged = byPath(node);
        SiteNode* onto = byPath(target);
        QVERIFY(dragged && onto);
        const SiteResult result = tree.move(dragged, onto);
        QCOMPARE(result.ok(), ok);
        QCOMPARE(sitePaths(tree), paths);
        if (ok)
            QVERIFY(onto->isExpanded());
    }

    void pathsThatWouldNotFitAreRefused()
    {
        const QByteArray folder(200, 'f');
        SiteTree tree;
        tree.load(stream({"/" + folder + "/Short", "/Other"}));
        SiteNode* shortSite = tree.findSiteByPath("/" + QString(folder) + "/Short");
        QVERIFY(shortSite);
        // 1 + 200 + 1 + 53 = 255 bytes fits; one more byte does not.
        QVERIFY(tree.rename(shortSite, QString(53, 'n')).isEmpty());
        const QString error = tree.rename(shortSite, QString(54, 'n'));
        QVERIFY(error.contains("255 bytes"));
        QCOMPARE(shortSite->text(), QString(53, 'n'));
        // Two-byte characters count as two.
        QVERIFY(!tree.rename(shortSite, QString(27, QChar(0x00E9))).isEmpty());
        // Moving a long site under the long folder is refused too.
        SiteNode* other = tree.findSiteByPath("/Other");
        QVERIFY(tree.rename(other, QString(60, 'o')).isEmpty());
        QVERIFY(!tree.move(other, shortSite->parent()).ok());
        QCOMPARE(other->parent(), tree.root());
        // So is renaming the folder so that a site below would not fit.
        QVERIFY(!tree.rename(shortSite->parent(), QString(201, 'f')).isEmpty());
        // And a new site whose name would not fit.
        SiteTree deep;
        deep.load(stream({"/" + QByteArray(248, 'd') + "/S"}));
        const SiteResult refused = deep.newSite(deep.root()->child(0));
        QVERIFY(!refused.ok());
        QVERIFY(!refused.node);
        QCOMPARE(deep.sitesInTreeOrder().size(), 1);
        // Names that would rebuild a different tree at the next start.
        QVERIFY(!tree.rename(other, "").isEmpty());
        QVERIFY(!tree.rename(other, "a/b").isEmpty());
        QVERIFY(!tree.rename(shortSite->parent(), "x/y").isEmpty());
    }

    void editControls()
    {
        SiteTree tree;
        tree.load(stream({"/Work/Alpha"}));
        SiteNode* alpha = tree.findSiteByPath("/Work/Alpha");
        SiteFields f = siteFieldsOf(alpha->text(), *alpha->site());
        QCOMPARE(f.name, QString("Alpha"));
        f.name = "Gamma";
        f.host = "FTP://ftp.example.org";
        f.user = "ann";
        f.password = "pw";
        f.autoReconnect = false;
        QVERIFY(tree.applyEdit(alpha, f).isEmpty());
        QCOMPARE(alpha->text(), QString("Gamma"));
        QCOMPARE(alpha->site()->SiteName, QByteArray("Gamma"));
        QCOMPARE(alpha->site()->SiteHost, QByteArray("ftp.example.org"));
        QVERIFY(!alpha->site()->SiteAutoReconnect);
        // A refused name still stores the other fields.
        f.name = "bad/name";
        f.user = "bob";
        QVERIFY(!tree.applyEdit(alpha, f).isEmpty());
        QCOMPARE(alpha->text(), QString("Gamma"));
        QCOMPARE(alpha->site()->SiteUser, QByteArray("bob"));
        QCOMPARE(decodeFavorites(tree.save())[0].SiteName, QByteArray("/Work/Gamma"));
        // Folders take only the name.
        SiteFields folder;
        folder.name = "Job";
        QVERIFY(tree.applyEdit(alpha->parent(), folder).isEmpty());
        QCOMPARE(SiteTree::treePath(alpha), QString("/Job/Gamma"));
    }

    void ftpPrefix_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("lower") << "ftp://host"
                               << "host";
        QTest::newRow("upper") << "FTP://host"
                               << "host";
        QTest::newRow("mixed") << "fTp://host:21"
                               << "host:21";
        QTest::newRow("only once") << "ftp://ftp://host"
                                   << "ftp://host";
        QTest::newRow("no prefix") << "ftp.host"
                                   << "ftp.host";
        QTest::newRow("not leading") << "x ftp://host"
                                     << "x ftp://host";
        QTest::newRow("other scheme") << "sftp://host"
                                      << "sftp://host";
    }

    void ftpPrefix()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QCOMPARE(stripFtpPrefix(typed), stored);
    }

    void portUpDown_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("steps");
        QTest::addColumn<QString>("result");
        QTest::newRow("up") << "21" << 1 << "22";
        QTest::newRow("not below 21") << "21" << -1 << "21";
        QTest::newRow("not above 32767") << "32767" << 1 << "32767";
        QTest::newRow("big jump down") << "100" << -1000 << "21";
        QTest::newRow("out of range typed") << "99999" << -1 << "32766";
        QTest::newRow("not a number") << "ftp" << 1 << "22";
    }

    void portUpDown()
    {
        QFETCH(QString, port);
        QFETCH(int, steps);
        QFETCH(QString, result);
        QCOMPARE(stepSitePort(port, steps), result);
    }

    void anonymousButton()
    {
        SiteFields f;
        f.user = "ann";
        f.port = "2121";
        f.host = "h";
        applyAnonymous(f, "");
        QCOMPARE(f.user, QString("anonymous"));
        QCOMPARE(f.port, QString("21"));
        QCOMPARE(f.password, DefaultAnonymousPassword);
        QCOMPARE(f.host, QString("h"));
        applyAnonymous(f, "me@example.org");
        QCOMPARE(f.password, QString("me@example.org"));
    }
};

QTEST_GUILESS_MAIN(TestSiteEditing)
#include "test_site_editing.moc"
