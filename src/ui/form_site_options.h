#pragma once

// "More FTP Options" of one site in the site manager: what the site keeps
// beyond its address and log-in, namely the folders the session starts in
// and whether it reconnects by itself. OK hands the fields back; the site
// manager writes them into the site like any edit of its own controls.

#include "sites/site_fields.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QLineEdit;
class QToolButton;

class TFormSiteOptions : public QDialog {
    Q_OBJECT
public:
    TFormSiteOptions(const SiteFields& fields, QWidget* parent = nullptr);

    QLineEdit* remoteFolder = nullptr;
    QLineEdit* localFolder = nullptr;
    QToolButton* localFolderBrowse = nullptr;
    QCheckBox* autoReconnect = nullptr;

    // The fields with what the window shows.
    SiteFields fields() const;

    // Shows the window modally; the changed fields on OK, nothing on Cancel.
    static std::optional<SiteFields> ask(QWidget* parent, const SiteFields& fields);

private:
    SiteFields m_fields;
};
