#pragma once

#include <QString>

// Outcome of a data-file operation. The core reports errors as values; the
// caller decides whether the person sees them (a missing file at start-up, for
// instance, is silent and simply means "use the defaults").
enum class StoreCode {
    Ok,
    Missing,      // the file or the named stream does not exist
    Unreadable,   // the file exists but could not be opened or read
    Damaged,      // the bytes do not form a valid container or record
    Foreign,      // not a data file at all: a folder, or a file without the magic
    WriteFailed,  // saving did not complete; the previous file is untouched
};

struct StoreStatus {
    StoreCode code = StoreCode::Ok;
    QString message;

    bool ok() const { return code == StoreCode::Ok; }

    static StoreStatus success() { return {}; }
    static StoreStatus failure(StoreCode code, QString message) { return {code, std::move(message)}; }
};
