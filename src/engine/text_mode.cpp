#include "engine/text_mode.h"

QByteArray NetworkToLocalText::convert(QByteArrayView in)
{
    if (!m_pendingCR && in.indexOf('\r') < 0)
        return in.toByteArray();  // the common block: nothing to change
    QByteArray out;
    out.reserve(in.size() + 1);
    for (char c : in) {
        if (m_pendingCR) {
            m_pendingCR = false;
            if (c != '\n')
                out += '\r';  // a CR on its own is data
        }
        if (c == '\r')
            m_pendingCR = true;
        else
            out += c;
    }
    return out;
}

QByteArray NetworkToLocalText::finish()
{
    if (!m_pendingCR)
        return {};
    m_pendingCR = false;
    return QByteArray(1, '\r');
}

QByteArray LocalToNetworkText::convert(QByteArrayView in)
{
    QByteArray out;
    out.reserve(in.size() + in.size() / 32 + 1);
    for (char c : in) {
        if (c == '\n' && m_previous != '\r')
            out += '\r';
        out += c;
        m_previous = c;
    }
    return out;
}
