#pragma once

#include <QByteArray>
#include <QRandomGenerator>

#include <cstring>

namespace testsupport {

// Bytes that do not compress or repeat, the same for the same seed.
inline QByteArray randomBytes(qint64 size, quint32 seed = 17)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator gen(seed);
    for (qint64 i = 0; i + 4 <= size; i += 4) {
        const quint32 v = gen.generate();
        std::memcpy(data.data() + i, &v, 4);
    }
    return data;
}

}  // namespace testsupport
