#pragma once

// The site manager window "Site Manager - Glimmer FTP" over the core's
// SiteTree: the tree of folders and sites, the edit controls of the selected
// node, new folder and site, delete, drag and drop, Connect and Make Shortcut.
// The window is created once and kept; Connect is reported with
// connectRequested, which the main window hands to the session.

#include "sites/site_fields.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class SiteNode;
class SiteTree;
class SiteTreeWidget;
class UserInteraction;
struct ProgramData;
struct tSiteObject;

class TFormSites : public QDialog {
    Q_OBJECT
public:
    static inline const QString Caption = QStringLiteral("Site Manager - Glimmer FTP");

    TFormSites(SiteTree& sites, ProgramData& settings, UserInteraction& ui, QWidget* parent = nullptr);

    SiteTreeWidget* tv = nullptr;
    QLineEdit* sitename = nullptr;
    QLineEdit* SiteHost = nullptr;
    QLineEdit* SitePort = nullptr;
    QToolButton* SitePortUp = nullptr;  // the two halves of SitePortUpDown
    QToolButton* SitePortDown = nullptr;
    QLineEdit* SiteUsername = nullptr;
    QLineEdit* SitePassword = nullptr;
    QLineEdit* SiteSrFolder = nullptr;
    QLineEdit* SiteSlFolder = nullptr;
    QToolButton* SiteSlFolderBrowse = nullptr;
    QCheckBox* SiteSAutoReconnect = nullptr;
    QComboBox* SiteEncryption = nullptr;
    QPushButton* SiteSSetAnonymous = nullptr;
    QPushButton* moreOptions = nullptr;
    QPushButton* newSite = nullptr;
    QPushButton* newFolder = nullptr;
    QPushButton* deleteNode = nullptr;
    QPushButton* connectButton = nullptr;
    QPushButton* makeShortcut = nullptr;
    QPushButton* closeButton = nullptr;
    QLabel* problem = nullptr;      // why the last edit of the name was refused
    QLabel* keyringNote = nullptr;  // where passwords go when no keyring answers

    // Hidden while empty.
    void setKeyringNote(const QString& text);

    // Redraws the tree from the model (after the model was loaded).
    void reload();
    SiteNode* selectedNode() const;
    void selectNode(const SiteNode* node);

    // The quick-connect fields; on show, a site with these values is selected
    // when nothing (or the root) is.
    void setQuickConnectFields(const QString& host, const QString& port, const QString& user, const QString& password);
    // Where Make Shortcut writes (the desktop when empty) and the program the
    // launcher starts (the running one when empty).
    void setShortcutTarget(const QString& folder, const QString& program);

    // The up-down control of SitePort: one step per call.
    void SitePortUpDownClick(int steps);

    // The button handlers, also reachable from the keyboard through the
    // buttons' accelerators.
    void newFolderClick();
    void newSiteClick();
    void deleteClick();
    void connectClick();
    void makeShortcutClick();
    void anonymousClick();

signals:
    // Connect: the window has closed; the main window makes the site the
    // current one, fills the quick-connect fields and connects.
    void connectRequested(const tSiteObject& site, const QString& treePath);
    // A site or folder was added, changed, moved or deleted.
    void sitesChanged();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void selectionChanged();
    void fillControls(const SiteNode* node);
    void controlChanged();
    void nodeDropped(SiteNode* node, SiteNode* target);
    void moreOptionsClick();
    void browseLocalFolder();
    SiteFields fieldsFromControls() const;
    QList<QWidget*> siteControls() const;

    SiteTree& m_sites;
    ProgramData& m_settings;
    UserInteraction& m_ui;
    bool m_loading = false;
    QString m_quickHost, m_quickPort, m_quickUser, m_quickPassword;
    QString m_shortcutFolder, m_program;
};
