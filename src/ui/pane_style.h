#pragma once

// Stored colours and fonts as the widgets use them. A stored colour is
// either a system colour (top byte 0x80, the system's colour index in the low
// byte, for example the window colour 0x80000005) or a plain colour with red
// in the low byte, green in the next and blue in the third.

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QtGlobal>

QColor storedColor(quint32 value, const QPalette& palette);

// The panes' font: the stored family when this desktop has it, else the
// application's own family (a stored "MS Sans Serif" exists only on some
// systems); the stored size in points when it is positive.
QFont storedFont(const QByteArray& family, qint32 pointSize, const QFont& fallback);
