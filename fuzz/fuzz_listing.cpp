// Fuzzes ParseListLine and StoreRemoteListing with whatever a server might
// send, in every layout including MLSD, and the name codec on every name.
// Byte 0 picks the layout (0 detects) and a start for the first line
// (so that the fuzzer soon reaches the dates and names of real lines), byte 1
// the year of "now"; the rest is the listing. Besides the sanitizers, the invariants the rest of the
// program builds on are checked: no unsafe names, a sorted cache without
// duplicates, "." and ".." left out.

#include "listing/folder_cache.h"
#include "listing/listing_parser.h"
#include "listing/remote_names.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    static const char* const kStarts[] = {"",
                                          "-rw-r--r-- 1 u g ",
                                          "lrwxrwxrwx 1 u g 5 Jan 12 10:00 ",
                                          "drwxr-xr-x 2 u g 4096 ",
                                          "01-12-99  10:00AM  ",
                                          "type=file;size=1;modify=20240131235959;UNIX.mode=0644; "};
    const quint8 layout = data[0] % 9;
    ListingNow now;
    now.year = 1950 + data[1] % 200;
    now.days = double(now.year - 1900) * 365.25 + 180.5;
    QByteArray input(kStarts[(data[0] / 9) % 6]);
    input.append(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    const QByteArrayView text(input);

    qsizetype start = 0;
    tFTP_ListEntry entry;
    while (start <= text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        RemoteNames names;
        if (ParseListLine(text.sliced(start, end - start), layout, entry, now, &names)) {
            check(!entry.name.isEmpty());
            check(!entry.name.contains(QLatin1Char('/')) && !entry.name.contains(QChar(0)));
            check(entry.layout >= 1 && entry.layout <= 8);
            check(entry.size >= -1);
            // Whatever the bytes, the name goes back as it came.
            const QByteArray raw = names.encode(entry.name);
            check(names.decode(raw) == entry.name);
        } else {
            check(entry.name.isEmpty());
        }
        start = end + 1;
    }

    RemoteFolderCache cache;
    const tFolderObject& folder = StoreRemoteListing(cache, QStringLiteral("/f/"), text, layout, now);
    for (qsizetype i = 0; i < folder.entries.size(); ++i) {
        const QString& name = folder.entries[i].name;
        check(name != QLatin1String(".") && name != QLatin1String(".."));
        if (i > 0)
            check(folder.entries[i - 1].name < name);
        check(folder.find(name) == &folder.entries[i]);
    }
    check(cache.find(QStringLiteral("/f")) == &folder);
    return 0;
}
