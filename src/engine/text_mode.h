#pragma once

// Line ends of ASCII-mode ("TYPE A") transfers: on the network a text line
// ends in CR LF; a local text file here ends its lines in LF. Downloads drop
// the CR of each CR LF, uploads put a CR before each LF that has none. Both
// keep their state across blocks, so a CR LF split between two blocks is
// still one line end. On Windows, where files keep CR LF, nothing changes.

#include <QByteArray>
#include <QByteArrayView>

inline constexpr bool kLocalLineEndIsLf =
#ifdef Q_OS_WIN
    false;
#else
    true;
#endif

class NetworkToLocalText {
public:
    QByteArray convert(QByteArrayView in);
    // What is held back at the end (a last CR with no LF after it).
    QByteArray finish();

private:
    bool m_pendingCR = false;
};

class LocalToNetworkText {
public:
    QByteArray convert(QByteArrayView in);

private:
    char m_previous = 0;
};
