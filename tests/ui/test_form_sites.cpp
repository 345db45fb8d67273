#include "sites/site_tree.h"
#include "store/program_data.h"
#include "test_dialog_support.h"
#include "ui/form_single_edit_box.h"
#include "ui/form_site_options.h"
#include "ui/form_sites.h"
#include "ui/form_sites_tree.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

tSiteObject record(const char* path, const char* host, const char* user = "joe")
{
    tSiteObject s = tSiteObject::newSite();
    s.SiteName = path;
    s.SiteHost = host;
    s.SiteUser = user;
    s.SitePassword = "secret";
    return s;
}

// The tree as the view shows it: "text" per item, children in brackets.
QString shape(const QTreeWidgetItem* item)
{
    QString text = item->text(0);
    if (item->childCount() == 0)
        return text;
    QStringList children;
    for (int i = 0; i < item->childCount(); ++i)
        children.append(shape(item->child(i)));
    return text + u'[' + children.join(u',') + u']';
}

}  // namespace

class TestFormSites : public QObject {
    Q_OBJECT

    SiteTree m_tree;
    ProgramData m_settings;
    RecordingUi m_ui;
    std::unique_ptr<TFormSites> m_form;

    SiteNode* node(const char* path) { return m_tree.findSiteByPath(QString::fromUtf8(path)); }
    SiteNode* folder(const QString& text)
    {
        for (SiteNode* n : m_tree.nodesInTreeOrder())
            if (n->isFolder() && n->text() == text)
                return n;
        return nullptr;
    }
    QString treeShape() const { return shape(m_form->tv->topLevelItem(0)); }

private slots:
    void init()
    {
        m_tree.load(encodeFavorites({record("/Work/Servers/Alpha", "alpha.example"),
                                     record("/Work/Beta", "beta.example"), record("/Gamma", "gamma.example")}));
        m_settings = ProgramData::defaults();
        m_ui = RecordingUi();
        m_form = std::make_unique<TFormSites>(m_tree, m_settings, m_ui);
        m_form->reload();
    }

    void cleanup() { m_form.reset(); }

    void loadsFoldersAndReusesThem()
    {
        QCOMPARE(m_form->windowTitle(), QStringLiteral("Site Manager - Glimmer FTP"));
        QCOMPARE(treeShape(), QStringLiteral("Glimmer FTP Site Manager[Work[Servers[Alpha],Beta],Gamma]"));
        QVERIFY(m_form->tv->topLevelItem(0)->isExpanded());
    }

    void selectionEnablesAndClearsControls_data()
    {
        QTest::addColumn<QString>("select");
        QTest::addColumn<bool>("site");
        QTest::addColumn<QString>("name");
        QTest::newRow("root") << QString() << false << SiteTree::RootText;
        QTest::newRow("folder") << QStringLiteral("Servers") << false << QStringLiteral("Servers");
        QTest::newRow("site") << QStringLiteral("/Work/Beta") << true << QStringLiteral("Beta");
    }

    void selectionEnablesAndClearsControls()
    {
        QFETCH(QString, select);
        QFETCH(bool, site);
        QFETCH(QString, name);
        // Start from a site so that a folder or the root must clear its values.
        m_form->selectNode(node("/Work/Servers/Alpha"));
        SiteNode* target = select.isEmpty()          ? m_tree.root()
                           : select.startsWith(u'/') ? m_tree.findSiteByPath(select)
                                                     : folder(select);
        m_form->selectNode(target);
        QCOMPARE(m_form->sitename->text(), name);
        QVERIFY(m_form->sitename->isEnabled());
        for (QWidget* w : m_form->findChildren<QWidget*>()) {
            if (!w->objectName().startsWith(QStringLiteral("Site")))
                continue;
            QVERIFY2(w->isEnabled() == site, qPrintable(w->objectName()));
            if (auto* edit = qobject_cast<QLineEdit*>(w); edit && !site)
                QVERIFY2(edit->text().isEmpty(), qPrintable(w->objectName()));
        }
        QCOMPARE(m_form->connectButton->isEnabled(), site);
        QCOMPARE(m_form->makeShortcut->isEnabled(), site);
        if (site)
            QCOMPARE(m_form->SiteHost->text(), QStringLiteral("beta.example"));
    }

    void editingWritesThroughToTheRecord()
    {
        SiteNode* beta = node("/Work/Beta");
        m_form->selectNode(beta);
        m_form->SiteHost->clear();
        QTest::keyClicks(m_form->SiteHost, QStringLiteral("FtP://ftp.example.org"));
        QCOMPARE(beta->site()->SiteHost, QByteArray("ftp.example.org"));
        m_form->SiteSrFolder->setText(QStringLiteral("/pub/"));
        m_form->SiteSAutoReconnect->setChecked(false);
        QCOMPARE(beta->site()->SiteRemoteFolder, QByteArray("/pub/"));
        QVERIFY(!beta->site()->SiteAutoReconnect);

        m_form->sitename->setText(QStringLiteral("Beta 2"));
        QCOMPARE(beta->text(), QStringLiteral("Beta 2"));
        QCOMPARE(m_form->tv->currentItem()->text(0), QStringLiteral("Beta 2"));
        QCOMPARE(SiteTree::treePath(beta), QStringLiteral("/Work/Beta 2"));

        // A name that would not come back from the data file is refused.
        m_form->sitename->setText(QStringLiteral("a/b"));
        QCOMPARE(beta->text(), QStringLiteral("Beta 2"));
        QVERIFY(!m_form->problem->text().isEmpty());
        m_form->sitename->setText(QStringLiteral("Beta"));
        QVERIFY(m_form->problem->text().isEmpty());
    }

    void portUpDownStaysInRange_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("steps");
        QTest::addColumn<QString>("expected");
        QTest::newRow("down at 21") << QStringLiteral("21") << -3 << QStringLiteral("21");
        QTest::newRow("up at 32767") << QStringLiteral("32767") << 2 << QStringLiteral("32767");
        QTest::newRow("up from 2121") << QStringLiteral("2121") << 1 << QStringLiteral("2122");
        QTest::newRow("typed below range") << QStringLiteral("5") << 1 << QStringLiteral("22");
        QTest::newRow("not a number") << QStringLiteral("ftp") << 1 << QStringLiteral("22");
    }

    void portUpDownStaysInRange()
    {
        QFETCH(QString, start);
        QFETCH(int, steps);
        QFETCH(QString, expected);
        SiteNode* alpha = node("/Work/Servers/Alpha");
        m_form->selectNode(alpha);
        m_form->SitePort->setText(start);
        // Mouse on the buttons, keyboard in the edit: the same control.
        for (int i = 0; i < qAbs(steps); ++i) {
            if (i % 2 == 0)
                QTest::mouseClick(steps > 0 ? m_form->SitePortUp : m_form->SitePortDown, Qt::LeftButton);
            else
                QTest::keyClick(m_form->SitePort, steps > 0 ? Qt::Key_Up : Qt::Key_Down);
        }
        QCOMPARE(m_form->SitePort->text(), expected);
        QCOMPARE(alpha->site()->SitePort, expected.toUtf8());
    }

    void dragOntoAFolderMovesTheNode()
    {
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        const auto drop = [&](SiteNode* dragged, SiteNode* onto) {
            m_form->selectNode(dragged);
            QTreeWidgetItem* target = m_form->tv->itemOf(onto);
            m_form->tv->scrollToItem(target);
            const QPoint at = m_form->tv->visualItemRect(target).center();
            std::unique_ptr<QMimeData> mime(m_form->tv->model()->mimeData({m_form->tv->currentIndex()}));
            // The events a drag delivers, in order: the view takes a drop only
            // after it has accepted the drag's entry.
            QDragEnterEvent enter(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(m_form->tv->viewport(), &enter);
            QDragMoveEvent move(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(m_form->tv->viewport(), &move);
            QDropEvent drop(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(m_form->tv->viewport(), &drop);
        };
        drop(node("/Gamma"), folder(QStringLiteral("Servers")));
        QTRY_COMPARE(treeShape(), QStringLiteral("Glimmer FTP Site Manager[Work[Servers[Alpha,Gamma],Beta]]"));
        QCOMPARE(m_form->selectedNode(), node("/Work/Servers/Gamma"));

        // A site is no drop target: nothing moves.
        drop(node("/Work/Beta"), node("/Work/Servers/Alpha"));
        QCoreApplication::processEvents();
        QCOMPARE(treeShape(), QStringLiteral("Glimmer FTP Site Manager[Work[Servers[Alpha,Gamma],Beta]]"));

        // A folder dropped on the root moves with its sites.
        drop(folder(QStringLiteral("Servers")), m_tree.root());
        QTRY_COMPARE(treeShape(), QStringLiteral("Glimmer FTP Site Manager[Servers[Alpha,Gamma],Work[Beta]]"));
        QVERIFY(node("/Servers/Alpha"));
    }

    void deletingTheRootEmptiesTheTree()
    {
        m_form->selectNode(m_tree.root());
        QTest::mouseClick(m_form->deleteNode, Qt::LeftButton);
        QCOMPARE(treeShape(), SiteTree::RootText);
        QVERIFY(m_tree.sitesInTreeOrder().isEmpty());
        QCOMPARE(m_form->selectedNode(), m_tree.root());
        QVERIFY(m_tree.save().isEmpty());
    }

    void deletingASiteSelectsTheNodeBefore()
    {
        m_form->selectNode(node("/Work/Beta"));
        QTest::mouseClick(m_form->deleteNode, Qt::LeftButton);
        QCOMPARE(treeShape(), QStringLiteral("Glimmer FTP Site Manager[Work[Servers[Alpha]],Gamma]"));
        QCOMPARE(m_form->selectedNode(), node("/Work/Servers/Alpha"));
        QCOMPARE(m_form->SiteHost->text(), QStringLiteral("alpha.example"));
    }

    void newSiteGoesIntoTheSelectedFolder()
    {
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        m_form->activateWindow();
        m_form->selectNode(node("/Work/Servers/Alpha"));
        QTest::mouseClick(m_form->newSite, Qt::LeftButton);
        SiteNode* created = m_form->selectedNode();
        QVERIFY(created && created->isSite());
        QCOMPARE(created->parent(), folder(QStringLiteral("Servers")));
        // Typing replaces the name; the instructions are placeholders of
        // the boxes, never their text.
        QCOMPARE(m_form->sitename->selectedText(), QStringLiteral("New Site"));
        QCOMPARE(m_form->sitename->placeholderText(), NewSiteNamePrompt);
        QCOMPARE(m_form->SiteHost->text(), QString());
        QCOMPARE(m_form->SiteHost->placeholderText(), NewSiteHostPrompt);
        QCOMPARE(m_form->SitePort->text(), QStringLiteral("21"));
        QVERIFY(m_form->SiteSAutoReconnect->isChecked());
    }

    void newFolderAsksForItsName()
    {
        m_form->selectNode(node("/Gamma"));
        onModal([](QWidget* modal) {
            auto* box = qobject_cast<TFormSingleEditBox*>(modal);
            QVERIFY(box);
            QCOMPARE(box->windowTitle(), QStringLiteral("New Folder"));
            QCOMPARE(box->Label1->text(), QStringLiteral("New Site Manager Folder"));
            QTest::keyClicks(box->Edit1, QStringLiteral("Home"));
            QTest::keyClick(box->Edit1, Qt::Key_Return);
        });
        QTest::mouseClick(m_form->newFolder, Qt::LeftButton);
        QCOMPARE(treeShape(), QStringLiteral("Glimmer FTP Site Manager[Home,Work[Servers[Alpha],Beta],Gamma]"));
        QCOMPARE(m_form->selectedNode(), folder(QStringLiteral("Home")));
    }

    void changesAreAnnouncedForSaving()
    {
        QSignalSpy changed(m_form.get(), &TFormSites::sitesChanged);
        m_form->selectNode(node("/Gamma"));
        QTest::mouseClick(m_form->newSite, Qt::LeftButton);
        QCOMPARE(changed.count(), 1);
        QTest::keyClicks(m_form->SiteHost, QStringLiteral("ftp.example.org"));
        QCOMPARE(changed.count(), 1 + int(QStringLiteral("ftp.example.org").size()));
        QTest::mouseClick(m_form->deleteNode, Qt::LeftButton);
        QCOMPARE(changed.count(), 2 + int(QStringLiteral("ftp.example.org").size()));
    }

    void moreFtpOptionsAreTheSitesOwn()
    {
        SiteNode* beta = node("/Work/Beta");
        m_form->selectNode(beta);
        QCOMPARE(m_form->moreOptions->text(), QStringLiteral("&More FTP Options"));
        QCOMPARE(m_form->SiteSSetAnonymous->text(), QStringLiteral("&Anonymous"));
        QStringList seen;
        onModal([&](QWidget* modal) {
            auto* options = qobject_cast<TFormSiteOptions*>(modal);
            QVERIFY(options);
            seen << options->windowTitle() << options->remoteFolder->text();
            options->remoteFolder->setText(QStringLiteral("/incoming/"));
            options->autoReconnect->setChecked(false);
            QTest::keyClick(options, Qt::Key_Return);
        });
        QTest::mouseClick(m_form->moreOptions, Qt::LeftButton);
        QCOMPARE(seen, (QStringList{"FTP Options - Beta", ""}));
        QCOMPARE(beta->site()->SiteRemoteFolder, QByteArray("/incoming/"));
        QVERIFY(!beta->site()->SiteAutoReconnect);
        QCOMPARE(m_form->SiteSrFolder->text(), QStringLiteral("/incoming/"));
        // Only a site has options of its own.
        m_form->selectNode(folder(QStringLiteral("Work")));
        QVERIFY(!m_form->moreOptions->isEnabled());
    }

    void anonymousFillsUserPortAndPassword()
    {
        m_settings.sAnonPassword = "me@example.net";
        SiteNode* beta = node("/Work/Beta");
        m_form->selectNode(beta);
        m_form->SitePort->setText(QStringLiteral("2121"));
        QTest::mouseClick(m_form->SiteSSetAnonymous, Qt::LeftButton);
        QCOMPARE(beta->site()->SiteUser, QByteArray("anonymous"));
        QCOMPARE(beta->site()->SitePort, QByteArray("21"));
        QCOMPARE(beta->site()->SitePassword, QByteArray("me@example.net"));
        QCOMPARE(m_form->SiteUsername->text(), QStringLiteral("anonymous"));
    }

    void connectClosesAndHandsOverTheSite()
    {
        QSignalSpy requested(m_form.get(), &TFormSites::connectRequested);
        m_form->show();
        m_form->selectNode(node("/Work/Servers/Alpha"));
        QTest::mouseClick(m_form->connectButton, Qt::LeftButton);
        QVERIFY(!m_form->isVisible());
        QCOMPARE(requested.count(), 1);
        const auto site = requested.at(0).at(0).value<tSiteObject>();
        QCOMPARE(site.SiteHost, QByteArray("alpha.example"));
        QCOMPARE(site.SiteUser, QByteArray("joe"));
        QCOMPARE(site.SitePassword, QByteArray("secret"));
        QCOMPARE(site.SitePort, QByteArray("21"));
        QCOMPARE(requested.at(0).at(1).toString(), QStringLiteral("/Work/Servers/Alpha"));

        // A double click on a site connects too; on a folder it does not.
        m_form->show();
        auto* tv = m_form->tv;
        emit tv->itemDoubleClicked(tv->itemOf(folder(QStringLiteral("Work"))), 0);
        QCOMPARE(requested.count(), 1);
        emit tv->itemDoubleClicked(tv->itemOf(node("/Gamma")), 0);
        QCOMPARE(requested.count(), 2);
        QCOMPARE(requested.at(1).at(1).toString(), QStringLiteral("/Gamma"));
    }

    void showingSelectsTheQuickConnectSite()
    {
        m_form->setQuickConnectFields(QStringLiteral("beta.example"), QStringLiteral("21"), QStringLiteral("joe"),
                                      QStringLiteral("secret"));
        m_form->show();
        QCOMPARE(m_form->selectedNode(), node("/Work/Beta"));
        // A selection the person made is kept the next time.
        m_form->hide();
        m_form->selectNode(node("/Gamma"));
        m_form->show();
        QCOMPARE(m_form->selectedNode(), node("/Gamma"));
    }

    void makeShortcutWritesTheLauncher()
    {
        QTemporaryDir desktop;
        m_form->setShortcutTarget(desktop.path(), QStringLiteral("/opt/glimmer/glimmerftp"));
        m_form->selectNode(node("/Work/Servers/Alpha"));
        QTest::mouseClick(m_form->makeShortcut, Qt::LeftButton);
        QCOMPARE(m_ui.messages, QStringList{QStringLiteral("A shortcut to Alpha has been created on the desktop.")});
        QFile file(QDir(desktop.path()).filePath(QStringLiteral("Alpha.desktop")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("\nExec=/opt/glimmer/glimmerftp \"-ConnectTo=/Work/Servers/Alpha\"\n"));

        m_form->setShortcutTarget(desktop.filePath(QStringLiteral("missing")), QString());
        QTest::mouseClick(m_form->makeShortcut, Qt::LeftButton);
        QCOMPARE(m_ui.messages.last(), QStringLiteral("Could not create shortcut"));
    }
};

QTEST_MAIN(TestFormSites)
#include "test_form_sites.moc"
