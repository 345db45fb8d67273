// Feeds arbitrary bytes to the data file's container loader, and whatever
// streams it accepts to the record decoders and the site tree, as start-up
// does with a file found on disk. A loaded container must also save and load
// back to the same streams.
//
// The first input byte picks how the rest is used, so that the fuzzer gets
// past the magic and the file checksum instead of spending its time there:
//   0  the bytes as a file
//   1  the bytes behind the magic, with a correct trailing checksum, so the
//      structural checks (counts, names, sizes, zlib data) are reached
//   2  streams cut from the bytes are saved, one byte of the saved file is
//      changed where the input says, and the result is loaded

#include "sites/site_tree.h"
#include "store/program_data.h"
#include "store/stream_container.h"

#include <zlib.h>

#include <cstdint>
#include <cstdlib>

namespace {

void useStreams(const StreamContainer& strm)
{
    QByteArray bytes;
    if (!strm.toBytes(bytes).ok())
        std::abort();
    StreamContainer again;
    if (!again.loadFromBytes(bytes).ok() || again.streamNames() != strm.streamNames())
        std::abort();
    for (const QString& name : strm.streamNames()) {
        QByteArray stream, copy;
        strm.getStream(name, stream);
        again.getStream(name, copy);
        if (stream != copy)
            std::abort();
        if (auto settings = ProgramData::decode(stream)) {
            settings->applyColourFixUp();
            settings->encode();
        }
        SiteTree tree;
        tree.load(stream);
        tree.save();
    }
}

QByteArray resealed(QByteArray file)
{
    file.append(4, '\0');
    const qsizetype body = file.size() - 4;
    const auto crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(file.constData()), uInt(body)));
    for (int i = 0; i < 4; ++i)
        file[body + i] = char((crc >> (8 * i)) & 0xFF);
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView rest(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    StreamContainer strm;
    switch (data[0] % 3) {
    case 0:
        if (strm.loadFromBytes(rest).ok())
            useStreams(strm);
        break;
    case 1:
        if (strm.loadFromBytes(resealed(StreamContainer::Magic + rest.toByteArray())).ok())
            useStreams(strm);
        break;
    default: {
        // Up to four streams; the last two bytes choose the byte to change.
        StreamContainer made;
        const qsizetype part = rest.size() / 4;
        for (int i = 0; i < 4 && part > 0; ++i)
            made.putStream(QString::number(i) + QString::fromLatin1(rest.sliced(i * part, 1)),
                           rest.sliced(i * part, part).toByteArray());
        QByteArray file;
        if (!made.toBytes(file).ok())
            std::abort();
        StreamContainer clean;
        if (!clean.loadFromBytes(file).ok() || clean.streamNames() != made.streamNames())
            std::abort();
        if (rest.size() >= 2) {
            const int at = (quint8(rest[rest.size() - 1]) << 8 | quint8(rest[rest.size() - 2])) % file.size();
            file[at] = char(file[at] ^ (rest[0] | 1));
            if (strm.loadFromBytes(file).ok())
                useStreams(strm);
        }
        break;
    }
    }
    return 0;
}
