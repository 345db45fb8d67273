#include "ui/path_combo.h"

#include "ui/action_icons.h"

#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

PathCombo::PathCombo(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);  // the history is ours, not the typing's
    setMaxCount(HistoryLimit);
    // No inline completion: Enter must go to the folder typed, not to a
    // longer one from the history that happens to start the same way.
    setCompleter(nullptr);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    lineEdit()->installEventFilter(this);
    // The box also "activates" a history item whose text is in the box when
    // the box loses the focus (as it does when the list it fills takes the
    // focus): only a choice from the drop-down list counts here.
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (!m_choosing)
            return;
        m_choosing = false;
        emit pathEntered(itemText(index));
    });
}

void PathCombo::hidePopup()
{
    // A choice in the list closes it first and is announced right after,
    // within this same event.
    m_choosing = view()->isVisible();
    QComboBox::hidePopup();
    QTimer::singleShot(0, this, [this] { m_choosing = false; });
}

void PathCombo::setPath(const QString& path)
{
    if (findText(path, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
        // maxCount would refuse the new item rather than drop the oldest one.
        while (count() >= HistoryLimit)
            removeItem(count() - 1);
        insertItem(0, path);
    }
    setEditText(path);
}

QStringList PathCombo::history() const
{
    QStringList items;
    for (int i = 0; i < count(); ++i)
        items.append(itemText(i));
    return items;
}

void PathCombo::setHistory(const QStringList& items)
{
    const QString text = currentText();
    clear();
    for (const QString& item : items) {
        if (!item.isEmpty() && count() < HistoryLimit)
            addItem(item);
    }
    setEditText(text);
}

// The person's Enter reaches the combo box, which hands it to its line edit
// by a direct call that no event filter sees; unhandled there, the box
// itself would go to a history item of the same text (a second entry of the
// same folder). So the key is taken here, once, before either can act.
void PathCombo::keyPressEvent(QKeyEvent* event)
{
    if (takeEnter(event))
        return;
    QComboBox::keyPressEvent(event);
}

bool PathCombo::eventFilter(QObject* watched, QEvent* event)
{
    // Keys sent to the line edit itself (the focus may sit there too).
    if (watched == lineEdit() && event->type() == QEvent::KeyPress && takeEnter(static_cast<QKeyEvent*>(event)))
        return true;
    return QComboBox::eventFilter(watched, event);
}

bool PathCombo::takeEnter(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    event->accept();
    emit pathEntered(currentText());
    return true;
}

PathBar::PathBar(const QString& comboName, const QString& goUpName, QWidget* parent)
    : QWidget(parent), m_combo(new PathCombo(this)), m_goUp(new QToolButton(this))
{
    m_combo->setObjectName(comboName);
    m_goUp->setObjectName(goUpName);
    m_goUp->setIcon(actionIcon(QStringLiteral("acGoUp")));
    m_goUp->setToolTip(QStringLiteral("Up one level"));
    m_goUp->setAutoRaise(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_combo, 1);
    layout->addWidget(m_goUp);
    connect(m_combo, &PathCombo::pathEntered, this, &PathBar::pathEntered);
    connect(m_goUp, &QToolButton::clicked, this, &PathBar::goUpClicked);
}
