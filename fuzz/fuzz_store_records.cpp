// The record decoders and the site tree on raw bytes, without the container's
// checksums in the way. Checks that decoding then encoding keeps the image
// stable and that a tree saved and loaded again saves the same bytes.

#include "sites/site_tree.h"
#include "store/program_data.h"
#include "store/site_object.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Pads or cuts the input to one record, so that most inputs reach the decoder.
QByteArray asRecord(QByteArrayView input, int size)
{
    QByteArray record = input.first(qMin<qsizetype>(input.size(), size)).toByteArray();
    record.append(QByteArray(size - record.size(), '\0'));
    return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));

    auto settings = ProgramData::decode(asRecord(input, ProgramData::RecordSize));
    if (!settings)
        std::abort();
    const QByteArray once = settings->encode();
    auto reread = ProgramData::decode(once);
    if (!reread || reread->encode() != once)
        std::abort();

    auto site = tSiteObject::decode(asRecord(input, tSiteObject::RecordSize));
    if (!site)
        std::abort();
    const QByteArray siteOnce = site->encode();
    if (tSiteObject::decode(siteOnce)->encode() != siteOnce)
        std::abort();

    // Small records: the input's bytes spread over several sites' name fields.
    // Eight sites reach every path of the tree; more only cost time (each is
    // a 4206-byte record, loaded and saved twice), which held the target to
    // a few hundred inputs a second.
    QByteArray favorites;
    const qsizetype used = qMin<qsizetype>(input.size(), 8 * 64);
    for (qsizetype at = 0; at < used; at += 64) {
        QByteArray record(tSiteObject::RecordSize, '\0');
        const QByteArrayView piece = input.sliced(at, qMin<qsizetype>(64, used - at));
        record[0] = char(piece.size());
        record.replace(1, piece.size(), piece.toByteArray());
        favorites.append(record);
    }
    SiteTree tree;
    tree.load(favorites);
    const QByteArray saved = tree.save();
    SiteTree again;
    again.load(saved);
    if (again.save() != saved)
        std::abort();
    if (!tree.sitesInTreeOrder().isEmpty() && !tree.findSiteByPath(SiteTree::treePath(tree.sitesInTreeOrder().first())))
        std::abort();
    return 0;
}
