#pragma once

// The path box above a pane (lCombo, rCombo) with its history of at most ten
// folders, newest first, and the go-up button beside it (lGoUp, rGoUp).

#include <QComboBox>
#include <QStringList>
#include <QWidget>

class QKeyEvent;
class QToolButton;

class PathCombo : public QComboBox {
    Q_OBJECT
public:
    static constexpr int HistoryLimit = 10;

    explicit PathCombo(QWidget* parent = nullptr);

    // Shows path; a path not yet in the history goes to its top, and the
    // history then keeps its ten newest items.
    void setPath(const QString& path);
    QString path() const { return currentText(); }

    QStringList history() const;
    void hidePopup() override;
    // Replaces the history; empty items are skipped, at most ten are kept.
    void setHistory(const QStringList& items);

signals:
    // Enter in the box (the key goes no further), or a folder picked from the
    // history list.
    void pathEntered(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool takeEnter(QKeyEvent* event);

    bool m_choosing = false;  // the drop-down list is closing on a choice
};

class PathBar : public QWidget {
    Q_OBJECT
public:
    // comboName and goUpName are the object names ("lCombo", "lGoUp").
    PathBar(const QString& comboName, const QString& goUpName, QWidget* parent = nullptr);

    PathCombo* combo() const { return m_combo; }
    QToolButton* goUpButton() const { return m_goUp; }

signals:
    void pathEntered(const QString& path);
    void goUpClicked();

private:
    PathCombo* m_combo;
    QToolButton* m_goUp;
};
