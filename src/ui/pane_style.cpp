#include "ui/pane_style.h"

#include <QFontDatabase>

namespace {

// The system colour indexes that the settings can name, mapped to the
// palette role that plays the same part on this desktop.
QPalette::ColorRole roleOfSystemColor(int index)
{
    switch (index) {
    case 1:   // desktop background
    case 4:   // menu
    case 15:  // button face
        return index == 15 ? QPalette::Button : QPalette::Window;
    case 7:  // menu text
    case 9:  // caption text
        return QPalette::WindowText;
    case 8:  // window text
        return QPalette::Text;
    case 13:
        return QPalette::Highlight;
    case 14:
        return QPalette::HighlightedText;
    case 16:  // button shadow
        return QPalette::Dark;
    case 18:
        return QPalette::ButtonText;
    case 20:  // button highlight
        return QPalette::Light;
    case 23:
        return QPalette::ToolTipText;
    case 24:
        return QPalette::ToolTipBase;
    default:  // 5 window, and anything unknown
        return QPalette::Base;
    }
}

}  // namespace

QColor storedColor(quint32 value, const QPalette& palette)
{
    if ((value & 0xFF000000u) == 0x80000000u)
        return palette.color(QPalette::Active, roleOfSystemColor(int(value & 0xFFu)));
    return QColor(int(value & 0xFFu), int((value >> 8) & 0xFFu), int((value >> 16) & 0xFFu));
}

QFont storedFont(const QByteArray& family, qint32 pointSize, const QFont& fallback)
{
    QFont font = fallback;
    const QString name = QString::fromUtf8(family);
    if (!name.isEmpty() && QFontDatabase::hasFamily(name))
        font.setFamily(name);
    if (pointSize > 0)
        font.setPointSize(pointSize);
    return font;
}
