#include "ui/form_sites.h"

#include "sites/site_tree.h"
#include "ui/form_sites_tree.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QIcon nodeIcon(const QStyle* style, const SiteNode& node)
{
    switch (node.imageIndex()) {
    case SiteNode::RootImageIndex:
        return style->standardIcon(QStyle::SP_DriveNetIcon);
    case SiteNode::FolderImageIndex:
        return style->standardIcon(QStyle::SP_DirIcon);
    default:
        return style->standardIcon(QStyle::SP_ComputerIcon);
    }
}

void addItems(const QStyle* style, QTreeWidgetItem* item, const SiteNode& node)
{
    item->setText(0, node.text());
    item->setIcon(0, nodeIcon(style, node));
    SiteTreeWidget::setNode(item, &node);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!node.isRoot())
        flags |= Qt::ItemIsDragEnabled;
    if (node.canHoldChildren())
        flags |= Qt::ItemIsDropEnabled;
    item->setFlags(flags);
    for (const auto& child : node.children())
        addItems(style, new QTreeWidgetItem(item), *child);
    item->setExpanded(node.isExpanded());
}

QLineEdit* lineEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

}  // namespace

TFormSites::TFormSites(SiteTree& sites, ProgramData& settings, UserInteraction& ui, QWidget* parent)
    : QDialog(parent), m_sites(sites), m_settings(settings), m_ui(ui)
{
    setObjectName(QStringLiteral("TFormSites"));
    setWindowTitle(Caption);
    buildControls();
    reload();
    resize(640, 420);
}

void TFormSites::buildControls()
{
    tv = new SiteTreeWidget(this);
    sitename = lineEdit(this, "sitename");
    SiteHost = lineEdit(this, "SiteHost");
    SitePort = lineEdit(this, "SitePort");
    SitePort->setMaxLength(5);
    SitePort->installEventFilter(this);
    SitePortUp = new QToolButton(this);
    SitePortUp->setObjectName(QStringLiteral("SitePortUp"));
    SitePortUp->setArrowType(Qt::UpArrow);
    SitePortDown = new QToolButton(this);
    SitePortDown->setObjectName(QStringLiteral("SitePortDown"));
    SitePortDown->setArrowType(Qt::DownArrow);
    SiteUsername = lineEdit(this, "SiteUsername");
    SitePassword = lineEdit(this, "SitePassword");
    SitePassword->setEchoMode(QLineEdit::Password);
    SiteSrFolder = lineEdit(this, "SiteSrFolder");
    SiteSlFolder = lineEdit(this, "SiteSlFolder");
    SiteSlFolderBrowse = new QToolButton(this);
    SiteSlFolderBrowse->setObjectName(QStringLiteral("SiteSlFolderBrowse"));
    SiteSlFolderBrowse->setText(QStringLiteral("..."));
    SiteSlFolderBrowse->setToolTip(QStringLiteral("Browse for the local folder"));
    SiteSAutoReconnect = new QCheckBox(QStringLiteral("A&uto reconnect if disconnected"), this);
    SiteSAutoReconnect->setObjectName(QStringLiteral("SiteSAutoReconnect"));
    SiteEncryption = new QComboBox(this);
    SiteEncryption->setObjectName(QStringLiteral("SiteEncryption"));
    SiteEncryption->addItems(siteEncryptionChoices());
    SiteSSetAnonymous = button(this, "SiteSSetAnonymous", QStringLiteral("&Anonymous"));
    moreOptions = button(this, "moreOptions", QStringLiteral("&More FTP Options"));
    newSite = button(this, "newSite", QStringLiteral("New &Site"));
    newFolder = button(this, "newFolder", QStringLiteral("New &Folder"));
    deleteNode = button(this, "deleteNode", QStringLiteral("&Delete"));
    connectButton = button(this, "connectButton", QStringLiteral("&Connect"));
    makeShortcut = button(this, "makeShortcut", QStringLiteral("Make Shortcut"));
    closeButton = button(this, "closeButton", QStringLiteral("C&lose"));
    problem = new QLabel(this);
    problem->setObjectName(QStringLiteral("problem"));
    problem->setWordWrap(true);
    problem->setStyleSheet(QStringLiteral("color: #c00000"));
    keyringNote = new QLabel(this);
    keyringNote->setObjectName(QStringLiteral("keyringNote"));
    keyringNote->setWordWrap(true);
    keyringNote->hide();

    auto* portRow = new QHBoxLayout;
    portRow->setSpacing(0);
    portRow->addWidget(SitePort);
    auto* upDown = new QVBoxLayout;
    upDown->setSpacing(0);
    upDown->addWidget(SitePortUp);
    upDown->addWidget(SitePortDown);
    portRow->addLayout(upDown);
    portRow->addStretch();
    auto* localRow = new QHBoxLayout;
    localRow->addWidget(SiteSlFolder);
    localRow->addWidget(SiteSlFolderBrowse);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Name:"), sitename);
    form->addRow(QStringLiteral("&Host:"), SiteHost);
    // A row holding a layout gets no buddy by itself; the accelerator needs one.
    auto* portLabel = new QLabel(QStringLiteral("&Port:"), this);
    portLabel->setBuddy(SitePort);
    form->addRow(portLabel, portRow);
    form->addRow(QStringLiteral("&Encryption:"), SiteEncryption);
    form->addRow(QStringLiteral("U&ser name:"), SiteUsername);
    form->addRow(QStringLiteral("Pass&word:"), SitePassword);
    form->addRow(QStringLiteral("&Remote folder:"), SiteSrFolder);
    auto* localLabel = new QLabel(QStringLiteral("Local f&older:"), this);
    localLabel->setBuddy(SiteSlFolder);
    form->addRow(localLabel, localRow);
    form->addRow(QString(), SiteSAutoReconnect);
    auto* optionRow = new QHBoxLayout;
    optionRow->addWidget(SiteSSetAnonymous);
    optionRow->addWidget(moreOptions);
    optionRow->addStretch();
    form->addRow(QString(), optionRow);
    form->addRow(QString(), problem);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {newSite, newFolder, deleteNode})
        buttons->addWidget(b);
    buttons->addStretch();
    for (QPushButton* b : {connectButton, makeShortcut, closeButton})
        buttons->addWidget(b);

    auto* top = new QHBoxLayout;
    top->addWidget(tv, 1);
    top->addLayout(form, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(keyringNote);
    layout->addLayout(buttons);

    // A disabled edit shows the button face, so a folder's empty controls do
    // not look like empty values of a site.
    for (QWidget* control : siteControls()) {
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            QPalette p = edit->palette();
            p.setColor(QPalette::Disabled, QPalette::Base, p.color(QPalette::Active, QPalette::Button));
            edit->setPalette(p);
        }
    }

    connect(tv, &QTreeWidget::currentItemChanged, this, &TFormSites::selectionChanged);
    connect(tv, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        const SiteNode* node = SiteTreeWidget::nodeOf(item);
        if (!node || !node->isSite())
            return;
        tv->setCurrentItem(item);
        if (connectButton->isEnabled())
            connectClick();
    });
    connect(tv, &QTreeWidget::itemExpanded, this,
            [](QTreeWidgetItem* item) { SiteTreeWidget::nodeOf(item)->setExpanded(true); });
    connect(tv, &QTreeWidget::itemCollapsed, this,
            [](QTreeWidgetItem* item) { SiteTreeWidget::nodeOf(item)->setExpanded(false); });
    // Queued: the tree is redrawn after the drag has ended, not under the
    // view's own drag handling.
    connect(tv, &SiteTreeWidget::nodeDropped, this, [this](SiteNode* node, SiteNode* target) {
        QMetaObject::invokeMethod(
            this, [this, node, target] { nodeDropped(node, target); }, Qt::QueuedConnection);
    });
    for (QLineEdit* edit : {sitename, SiteHost, SitePort, SiteUsername, SitePassword, SiteSrFolder, SiteSlFolder})
        connect(edit, &QLineEdit::textChanged, this, &TFormSites::controlChanged);
    connect(SiteSAutoReconnect, &QCheckBox::toggled, this, &TFormSites::controlChanged);
    connect(SiteEncryption, &QComboBox::currentIndexChanged, this, &TFormSites::controlChanged);
    connect(SitePortUp, &QToolButton::clicked, this, [this] { SitePortUpDownClick(1); });
    connect(SitePortDown, &QToolButton::clicked, this, [this] { SitePortUpDownClick(-1); });
    connect(SiteSlFolderBrowse, &QToolButton::clicked, this, &TFormSites::browseLocalFolder);
    connect(SiteSSetAnonymous, &QPushButton::clicked, this, &TFormSites::anonymousClick);
    connect(moreOptions, &QPushButton::clicked, this, &TFormSites::moreOptionsClick);
    connect(newSite, &QPushButton::clicked, this, &TFormSites::newSiteClick);
    connect(newFolder, &QPushButton::clicked, this, &TFormSites::newFolderClick);
    connect(deleteNode, &QPushButton::clicked, this, &TFormSites::deleteClick);
    connect(connectButton, &QPushButton::clicked, this, &TFormSites::connectClick);
    connect(makeShortcut, &QPushButton::clicked, this, &TFormSites::makeShortcutClick);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
}

void TFormSites::reload()
{
    const SiteNode* selected = selectedNode();
    m_loading = true;
    tv->clear();
    auto* rootItem = new QTreeWidgetItem(tv);
    addItems(style(), rootItem, *m_sites.root());
    m_loading = false;
    // The selected node may have gone with the new tree; the root then.
    bool stillThere = false;
    for (const SiteNode* node : m_sites.nodesInTreeOrder())
        stillThere = stillThere || node == selected;
    selectNode(stillThere ? selected : nullptr);
}

SiteNode* TFormSites::selectedNode() const { return SiteTreeWidget::nodeOf(tv->currentItem()); }

void TFormSites::selectNode(const SiteNode* node)
{
    QTreeWidgetItem* item = tv->itemOf(node);
    if (!item) {
        tv->setCurrentItem(nullptr);
        fillControls(nullptr);
        return;
    }
    for (QTreeWidgetItem* up = item->parent(); up; up = up->parent())
        up->setExpanded(true);
    if (tv->currentItem() == item)
        fillControls(node);
    else
        tv->setCurrentItem(item);
    tv->scrollToItem(item);
}

QList<QWidget*> TFormSites::siteControls() const
{
    return {SiteHost,          SitePort,     SitePortUp,    SitePortDown,       SiteUsername,
            SitePassword,      SiteSrFolder, SiteSlFolder,  SiteSlFolderBrowse, SiteSAutoReconnect,
            SiteSSetAnonymous, moreOptions,  SiteEncryption};
}

void TFormSites::selectionChanged()
{
    if (!m_loading)
        fillControls(selectedNode());
}

void TFormSites::fillControls(const SiteNode* node)
{
    m_loading = true;
    problem->clear();
    const bool site = node && node->isSite();
    const SiteFields fields = site ? siteFieldsOf(node->text(), *node->site()) : SiteFields{};
    sitename->setEnabled(node != nullptr);
    sitename->setText(node ? node->text() : QString());
    SiteHost->setText(fields.host);
    SitePort->setText(fields.port);
    SiteUsername->setText(fields.user);
    SitePassword->setText(fields.password);
    // A password the keyring holds but did not give shows as empty; the
    // placeholder says why, and a typed one replaces it.
    const bool unread = site && node->site()->keyringState == tSiteObject::KeyringState::Unread;
    SitePassword->setPlaceholderText(unread ? QStringLiteral("in the keyring, which did not give it") : QString());
    SiteSrFolder->setText(fields.remoteFolder);
    SiteSlFolder->setText(fields.localFolder);
    SiteSAutoReconnect->setChecked(fields.autoReconnect);
    SiteEncryption->setCurrentIndex(fields.tlsMode);
    for (QWidget* control : siteControls())
        control->setEnabled(site);
    // The instructions belong to a site's boxes; a folder has no host.
    sitename->setPlaceholderText(site ? NewSiteNamePrompt : QString());
    SiteHost->setPlaceholderText(site ? NewSiteHostPrompt : QString());
    connectButton->setEnabled(site);
    makeShortcut->setEnabled(site);
    deleteNode->setEnabled(node != nullptr);
    m_loading = false;
}

void TFormSites::setKeyringNote(const QString& text)
{
    keyringNote->setText(text);
    keyringNote->setVisible(!text.isEmpty());
}

SiteFields TFormSites::fieldsFromControls() const
{
    SiteFields f;
    f.name = sitename->text();
    f.host = SiteHost->text();
    f.port = SitePort->text();
    f.user = SiteUsername->text();
    f.password = SitePassword->text();
    f.remoteFolder = SiteSrFolder->text();
    f.localFolder = SiteSlFolder->text();
    f.autoReconnect = SiteSAutoReconnect->isChecked();
    f.tlsMode = SiteEncryption->currentIndex();
    return f;
}

void TFormSites::controlChanged()
{
    if (m_loading)
        return;
    SiteNode* node = selectedNode();
    if (!node)
        return;
    // A refused name (empty, with "/", too long a path) keeps the stored name
    // and says why beside the controls rather than in a box per keystroke.
    problem->setText(m_sites.applyEdit(node, fieldsFromControls()));
    if (QTreeWidgetItem* item = tv->currentItem())
        item->setText(0, node->text());
    emit sitesChanged();
}

bool TFormSites::eventFilter(QObject* watched, QEvent* event)
{
    // The arrow keys in the port edit work the up-down control.
    if (watched == SitePort && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            SitePortUpDownClick(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
