#include "ui/form_chmod.h"

#include "person/user_interaction.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

TFormChMod::TFormChMod(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFormChMod"));
    setWindowTitle(Caption);
    auto* layout = new QVBoxLayout(this);
    heading = new QLabel(QStringLiteral(" Change permission on selected files / folders ..."), this);
    layout->addWidget(heading);

    auto* grid = new QGridLayout;
    const QStringList rows{QStringLiteral("Owner"), QStringLiteral("Group"), QStringLiteral("Public")};
    const QStringList columns{QStringLiteral("&Read"), QStringLiteral("&Write"), QStringLiteral("E&xecute")};
    const char* names[9] = {"owner_read",    "owner_write", "owner_execute", "group_read",    "group_write",
                            "group_execute", "public_read", "public_write",  "public_execute"};
    QCheckBox** fields[9] = {&owner_read,    &owner_write, &owner_execute, &group_read,    &group_write,
                             &group_execute, &public_read, &public_write,  &public_execute};
    for (int r = 0; r < 3; ++r) {
        grid->addWidget(new QLabel(rows[r], this), r, 0);
        for (int c = 0; c < 3; ++c) {
            // Only the first row carries the keyboard accelerators.
            const QString caption = r == 0 ? columns[c] : QString(columns[c]).remove(u'&');
            auto* box = new QCheckBox(caption, this);
            box->setObjectName(QLatin1String(names[r * 3 + c]));
            connect(box, &QCheckBox::clicked, this, &TFormChMod::boxClick);
            grid->addWidget(box, r, c + 1);
            *fields[r * 3 + c] = box;
        }
    }
    layout->addLayout(grid);

    auto* codeLabel = new QLabel(QStringLiteral("&Permission code:"), this);
    permissioncode = new QLineEdit(this);
    permissioncode->setObjectName(QStringLiteral("permissioncode"));
    permissioncode->setMaxLength(4);
    codeLabel->setBuddy(permissioncode);
    connect(permissioncode, &QLineEdit::textChanged, this, &TFormChMod::permissioncodeChange);
    auto* codeRow = new QHBoxLayout;
    codeRow->addWidget(codeLabel);
    codeRow->addWidget(permissioncode);
    layout->addLayout(codeRow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setText(QStringLiteral("&OK"));
    cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setText(QStringLiteral("&Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (ok->isEnabled())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

std::array<QCheckBox*, 9> TFormChMod::boxes() const
{
    return {owner_read,    owner_write, owner_execute, group_read,    group_write,
            group_execute, public_read, public_write,  public_execute};
}

QString TFormChMod::mode() const
{
    // The number as read, so a valid text such as " 644" or "+644" reaches
    // the server as plain digits rather than as a symbolic mode.
    bool isNumber = false;
    const int number = permissioncode->text().toInt(&isNumber);
    return isNumber ? QString::number(number) : permissioncode->text();
}

namespace {

// A mode as listed (the decimal reading of the octal mode, 755) has box i
// set when digit i / 3 holds the bit 4, 2 or 1 of i % 3.
bool modeHasBit(qint32 mode, size_t box)
{
    static constexpr int digitWeight[3] = {100, 10, 1};
    static constexpr int bit[3] = {4, 2, 1};
    return (mode / digitWeight[box / 3]) % 10 & bit[box % 3];
}

bool isListedMode(qint32 mode) { return mode >= 0 && mode <= 777 && mode % 10 <= 7 && mode / 10 % 10 <= 7; }

}  // namespace

void TFormChMod::setCurrentModes(const QList<qint32>& modes)
{
    m_mixedFrom.clear();
    m_initialCode = QStringLiteral("644");
    if (modes.isEmpty() || !std::all_of(modes.begin(), modes.end(), isListedMode))
        return;  // a mode the listing did not give cannot be left as it is
    if (std::all_of(modes.begin(), modes.end(), [&](qint32 m) { return m == modes.first(); })) {
        m_initialCode = QString::number(modes.first());
        return;
    }
    m_mixedFrom = modes;
}

void TFormChMod::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    const auto all = boxes();
    for (QCheckBox* box : all)
        box->setTristate(false);
    permissioncode->setText(m_initialCode);
    permissioncodeChange();  // also when the text was the same already
    if (m_mixedFrom.isEmpty())
        return;
    // Boxes on which the selection agrees show its state; the others the
    // third state, which leaves each entry's own bit as it is.
    permissioncodeTag = 1;
    for (size_t i = 0; i < all.size(); ++i) {
        const bool first = modeHasBit(m_mixedFrom.first(), i);
        const bool same =
            std::all_of(m_mixedFrom.begin(), m_mixedFrom.end(), [&](qint32 m) { return modeHasBit(m, i) == first; });
        all[i]->setTristate(!same);
        all[i]->setCheckState(!same ? Qt::PartiallyChecked : first ? Qt::Checked : Qt::Unchecked);
    }
    permissioncodeTag = 0;
    showMixedCode();
}

bool TFormChMod::keepsSomeBits() const
{
    const auto all = boxes();
    return std::any_of(all.begin(), all.end(),
                       [](QCheckBox* box) { return box->checkState() == Qt::PartiallyChecked; });
}

QString TFormChMod::modeFor(qint32 current) const
{
    if (!keepsSomeBits())
        return mode();
    int number = 0;
    const auto all = boxes();
    for (size_t i = 0; i < all.size(); ++i) {
        const Qt::CheckState state = all[i]->checkState();
        if (state == Qt::Checked || (state == Qt::PartiallyChecked && modeHasBit(current, i)))
            number += Weights[i];
    }
    return QString::number(number);
}

// With boxes in the third state the code shows "?" for each digit that
// differs between the entries.
void TFormChMod::showMixedCode()
{
    QString code;
    const auto all = boxes();
    for (size_t digit = 0; digit < 3; ++digit) {
        int value = 0;
        bool open = false;
        for (size_t b = 0; b < 3; ++b) {
            const Qt::CheckState state = all[digit * 3 + b]->checkState();
            open = open || state == Qt::PartiallyChecked;
            if (state == Qt::Checked)
                value += Weights[digit * 3 + b] / (digit == 0 ? 100 : digit == 1 ? 10 : 1);
        }
        code += open ? QStringLiteral("?") : QString::number(value);
    }
    permissioncodeTag = 1;
    permissioncode->setText(code);
    permissioncodeTag = 0;
    ok->setEnabled(true);
}

void TFormChMod::boxClick()
{
    if (permissioncodeTag == 1)
        return;
    if (keepsSomeBits()) {
        showMixedCode();
        return;
    }
    int number = 0;
    const auto all = boxes();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i]->isChecked())
            number += Weights[i];
    permissioncodeTag = 1;
    permissioncode->setText(QString::number(number));
    permissioncodeTag = 0;
    ok->setEnabled(true);
}

void TFormChMod::permissioncodeChange()
{
    if (permissioncodeTag == 1)
        return;
    permissioncodeTag = 1;
    // A typed mode is one mode for every entry: no box stays in between.
    for (QCheckBox* box : boxes())
        box->setTristate(false);
    bool isNumber = false;
    int rest = permissioncode->text().toInt(&isNumber);
    if (!isNumber)
        rest = -1;
    const auto all = boxes();
    for (size_t i = 0; i + 1 < all.size(); ++i) {
        const bool set = rest / Weights[i] == 1;
        all[i]->setChecked(set);
        if (set)
            rest -= Weights[i];
    }
    public_execute->setChecked(rest == 1);
    ok->setEnabled(rest == (public_execute->isChecked() ? 1 : 0));
    permissioncodeTag = 0;
}

QList<ChModChange> toChMod(QWidget* parent, UserInteraction& ui, const QStringList& selectedNames,
                           const QList<qint32>& currentModes)
{
    if (selectedNames.isEmpty()) {
        ui.showMessage(NoChModSelection);
        return {};
    }
    TFormChMod form(parent);
    form.setCurrentModes(currentModes);
    if (form.exec() != QDialog::Accepted)
        return {};
    QList<ChModChange> changes;
    changes.reserve(selectedNames.size());
    const bool oneMode = !form.keepsSomeBits();
    for (qsizetype i = 0; i < selectedNames.size(); ++i)
        changes.append({selectedNames[i], oneMode ? form.mode() : form.modeFor(currentModes.value(i, -1))});
    return changes;
}
