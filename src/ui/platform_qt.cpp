#include "ui/platform_qt.h"

#include "listing/entry_date.h"
#include "ui/form_memo.h"
#include "ui/update_check.h"

#include <QClipboard>
#include <QDateTime>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSoundEffect>
#include <QUrl>

QtPlatform::QtPlatform(QObject* parent) : QObject(parent) {}

QtPlatform::~QtPlatform() = default;

void QtPlatform::setDesktop(UserInteraction* ui, std::function<void(const QString&)> logStatus, QWidget* window)
{
    m_window = window;
    delete m_update;
    m_update = ui ? new UpdateCheck(*ui, std::move(logStatus), this) : nullptr;
}

double QtPlatform::now() { return entryDateFromDateTime(QDateTime::currentDateTime()); }

void QtPlatform::playSound(const QString& file)
{
    if (file.isEmpty() || !QFileInfo::exists(file))
        return;
    // One sound at a time: a new one replaces whatever still plays.
    stopSounds();
    m_sound = new QSoundEffect(this);
    connect(m_sound, &QSoundEffect::playingChanged, m_sound, [sound = m_sound.data()] {
        if (!sound->isPlaying() && sound->status() != QSoundEffect::Loading)
            sound->deleteLater();
    });
    m_sound->setSource(QUrl::fromLocalFile(file));
    m_sound->play();
}

void QtPlatform::stopSounds()
{
    if (m_sound) {
        m_sound->stop();
        m_sound->deleteLater();
        m_sound = nullptr;
    }
}

QString QtPlatform::clipboardText() { return QGuiApplication::clipboard()->text(); }

void QtPlatform::clearClipboard() { QGuiApplication::clipboard()->clear(); }

void QtPlatform::openWithAssociatedProgram(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void QtPlatform::openInTextViewer(const QString& path)
{
    // Our own read-only window: the desktop's handler for the file's type
    // would run a downloaded program or script instead of showing it.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    auto* memo = new TFormMemo(QFileInfo(path).fileName() + QStringLiteral(" - Glimmer FTP"), m_window);
    memo->setAttribute(Qt::WA_DeleteOnClose);
    memo->setLines(QString::fromUtf8(file.read(ViewerLimit)).split(QLatin1Char('\n')));
    memo->show();
}

void QtPlatform::startUpdateCheck(bool automatic)
{
    if (m_update)
        m_update->start(automatic);
}
