#pragma once

// The real main window over a real session, with scripted answers to the
// session's questions and to the input box, a private data file and a
// private local folder. The window tests drive it with the mouse and the
// keyboard against servers started on 127.0.0.1.

#include "../session/session_harness.h"
#include "ui/form_main.h"
#include "ui/pane_model.h"
#include "ui/pane_view.h"
#include "ui/path_combo.h"

#include <QAbstractItemView>
#include <QAction>
#include <QToolButton>
#include <QTreeView>

#include <functional>
#include <memory>

struct WindowHarness {
    ScriptedInteraction ui;
    ScriptedPlatform platform;
    QTemporaryDir dir;
    std::unique_ptr<TFormMain> w;
    std::unique_ptr<Session> s;
    QStringList log;
    QList<std::optional<QString>> inputs;  // answers of the input box, in order
    QStringList inputTitles;               // what it was asked

    // keyring: the desktop keyring when it should outlive this window (as it
    // outlives a run of the program), or answer otherwise than the platform's.
    // prepare: runs before the start-up (answers to questions it asks).
    explicit WindowHarness(const QStringList& arguments = {}, const QString& dataFile = QString(),
                           PasswordKeyring* keyring = nullptr, const std::function<void(WindowHarness&)>& prepare = {})
    {
        platform.realKeyring = keyring;
        w = std::make_unique<TFormMain>();
        s = std::make_unique<Session>(ui, platform, &w->iconCache());
        QObject::connect(&s->logModel(), &LogModel::lineAdded, [this](const LogLine& l) { log << l.shown(); });
        w->attachSession(*s);
        w->setInputBox([this](const QString& title, const QString& label, const QString&) {
            inputTitles << title + u'|' + label;
            return inputs.isEmpty() ? std::nullopt : inputs.takeFirst();
        });
        QDir().mkpath(local());
        if (prepare)
            prepare(*this);
        // A "-DataFile=" switch among the arguments names the file itself.
        const bool switched = !arguments.filter(QStringLiteral("-DataFile="), Qt::CaseInsensitive).isEmpty();
        w->FormCreate(arguments, switched ? QString() : dataFile.isEmpty() ? defaultDataFile() : dataFile);
        w->show();
        // (Unless the window was ended during the start-up.)
        if (!QTest::qWaitFor([&] { return s->timerTag() >= 2 || !s->timer().isActive(); }, 5000))
            qWarning("the start-up ticks did not run");
    }
    ~WindowHarness()
    {
        // The window goes first: its queue view watches the session's queue.
        w.reset();
        s.reset();
    }

    QString defaultDataFile() const { return dir.filePath(QStringLiteral("glimmerftp.dat")); }
    QString local(const QString& name = QString()) const { return dir.filePath(QStringLiteral("local/")) + name; }

    void showLocal(const QString& folder)
    {
        w->lCombo->setEditText(folder);
        w->localPathEntered(folder);
    }

    bool connected() const
    {
        return !s->isConnectIdle() && s->engineReady() && !s->hasQueuedCommands() &&
               !s->currentRemoteFolder().isEmpty() &&
               (!s->transferQueue().hasPending() || !s->transferQueue().isActive());
    }
    bool waitIdle(int ms = 30000)
    {
        return QTest::qWaitFor([&] { return connected(); }, ms);
    }
    // Connects through the quick-connect fields and waits for the log-in.
    bool connect(quint16 port, const QString& user = QStringLiteral("test"),
                 const QString& password = QStringLiteral("secret"))
    {
        s->setQuickConnectAddress(QStringLiteral("127.0.0.1"));
        s->setQuickConnectPort(QString::number(port));
        s->setQuickConnectUser(user);
        s->setQuickConnectPassword(password);
        s->acConnectExecute(true);
        return waitIdle();
    }

    static QStringList names(const PaneView* pane)
    {
        QStringList out;
        for (const FolderEntry& e : pane->model()->entries())
            out << e.name;
        return out;
    }

    // Selects the rows of these names in a pane and gives it the focus.
    void select(PaneView* pane, const QStringList& rowNames)
    {
        pane->setFocus();
        w->selectNames(pane, rowNames);
        if (!QTest::qWaitFor([&] { return w->localPaneFocused() == (pane == w->llv); }, 2000))
            qWarning("the pane did not take the focus");
    }

    // A double click on the row of a name, as the person does it.
    void doubleClick(PaneView* pane, const QString& name)
    {
        const int row = pane->model()->rowOfName(name);
        QAbstractItemView* view = pane->currentView();
        view->scrollTo(pane->model()->index(row, 0));
        const QRect rect = view->visualRect(pane->model()->index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rect.center());
        // Qt Test leaves the button down after a double click.
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, rect.center());
    }

    QString dump() const { return log.join(QLatin1Char('\n')) + "\nmessages: " + ui.messages.join(" | "); }
};
