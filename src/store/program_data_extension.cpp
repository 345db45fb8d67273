// The settings of the "Preferences" stream: one table names each setting's
// key, so adding a setting is one line here and one field in ProgramData.

#include "store/program_data.h"

#include <array>

namespace {

struct IntField {
    const char* key;
    qint32 ProgramData::*member;
};
struct FlagField {
    const char* key;
    bool ProgramData::*member;
};
struct TextField {
    const char* key;
    QByteArray ProgramData::*member;
};

const std::array intFields{
    IntField{"Timeout", &ProgramData::sTimeout},
    IntField{"FolderDepthLimit", &ProgramData::sFolderDepthLimit},
    IntField{"SimultaneousTransfers", &ProgramData::sSimultaneousTransfers},
};
const std::array flagFields{
    FlagField{"KeepFileTimes", &ProgramData::sKeepFileTimes},
    FlagField{"HumanReadableSizes", &ProgramData::sHumanSizes},
};
const std::array textFields{
    TextField{"QuickConnectKeyringKey", &ProgramData::quickConnectKeyringKey},
    TextField{"TrustedCertificates", &ProgramData::sTrustedCertificates},
};

}  // namespace

QByteArray ProgramData::encodeExtension() const
{
    KeyedRecord r = extension;
    for (const IntField& f : intFields)
        r.setInteger(f.key, this->*f.member);
    for (const FlagField& f : flagFields)
        r.setFlag(f.key, this->*f.member);
    for (const TextField& f : textFields)
        r.setText(f.key, this->*f.member);
    return r.encode();
}

void ProgramData::decodeExtension(QByteArrayView bytes)
{
    const std::optional<KeyedRecord> r = KeyedRecord::decode(bytes);
    if (!r)
        return;
    // Known keys become fields; what is left is kept to be written back.
    extension = *r;
    for (const IntField& f : intFields) {
        if (const auto v = r->integer(f.key); v && *v >= INT32_MIN && *v <= INT32_MAX)
            this->*f.member = qint32(*v);
        extension.remove(f.key);
    }
    for (const FlagField& f : flagFields) {
        if (const auto v = r->integer(f.key))
            this->*f.member = *v != 0;
        extension.remove(f.key);
    }
    for (const TextField& f : textFields) {
        if (const auto v = r->text(f.key))
            this->*f.member = *v;
        extension.remove(f.key);
    }
}

void ProgramData::applyLegacyDefaults()
{
    // A setting whose new default would change what an existing file's owner
    // is used to keeps the old behaviour here.
    sHumanSizes = false;  // the panes went on showing whole kilobytes
}
