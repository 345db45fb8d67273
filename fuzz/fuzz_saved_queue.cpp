// Feeds arbitrary bytes to the loader of the queue kept between runs, as the
// window's start does with the file it finds. Whatever it accepts must save
// and load back to the same queue, byte for byte.
//
// The first input byte picks how the rest is used, so that the fuzzer gets
// past the magic and the checksum instead of spending its time there:
//   0  the bytes as a file
//   1  the bytes behind the magic and version, with a correct trailing
//      checksum, so that the counts, lengths and field checks are reached

#include "store/saved_queue.h"

#include <zlib.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView rest(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    QByteArray file;
    if (data[0] % 2 == 0) {
        file = rest.toByteArray();
    } else {
        file = QByteArray(savedqueue::Magic, 8) + QByteArray("\x01\x00", 2) + rest.toByteArray();
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(file.constData()), uInt(file.size())));
        for (int i = 0; i < 4; ++i)
            file.append(char((crc >> (8 * i)) & 0xFF));
    }

    const SavedQueueLoad load = savedqueue::decode(file);
    if (!load.status.ok())
        return 0;
    QByteArray again;
    if (!savedqueue::encode(load.queue, again).ok() || again != file)
        std::abort();
    const SavedQueueLoad reread = savedqueue::decode(again);
    if (!reread.status.ok() || !(reread.queue == load.queue))
        std::abort();
    return 0;
}
