#pragma once

// The remote folder cache: the parsed listing of every remote folder seen in
// this session, keyed by its path ("/", "/pub/", "/pub/linux/"). The remote
// pane is always filled from here, and the command queue walks it to delete
// or download whole folder trees.

#include "listing/entry.h"
#include "listing/listing_parser.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <map>

// One cached folder. The entries are sorted by name in plain code-unit order
// (case-sensitive: "Readme" and "readme" are two files on most servers) and
// every name is listed once.
struct tFolderObject {
    FolderEntries entries;
    bool stale = false;  // the next "list" of this folder must ask the server

    const FolderEntry* find(QStringView name) const;
};

class RemoteFolderCache {
public:
    using Map = std::map<QString, tFolderObject>;

    // A path names the same folder with or without its final "/".
    static QString folderKey(const QString& path);

    // The lookup the command queue uses before listing: nullptr when the
    // folder has not been listed (or has been forgotten).
    tFolderObject* find(const QString& path);
    const tFolderObject* find(const QString& path) const;
    bool contains(const QString& path) const { return find(path) != nullptr; }

    // Stores a listing under path, replacing an older one (a folder listed
    // again during a recursive walk is stale, not forgotten, and its new
    // listing must win).
    tFolderObject& store(const QString& path, tFolderObject folder);

    // Every cached folder whose path begins with path (the folder and the
    // whole tree below it), in path order: parents before their children.
    // Walk it backwards for children first.
    QStringList pathsUnder(const QString& path) const;

    // Removes path and every cached folder below it; returns the removed
    // paths from the last to the first, as they were removed.
    QStringList forgetTree(const QString& path);

    void clear() { m_folders.clear(); }
    int count() const { return int(m_folders.size()); }
    bool isEmpty() const { return m_folders.empty(); }
    const Map& folders() const { return m_folders; }

private:
    Map m_folders;
};

// Cuts a listing into lines at CR LF (a server that ends its lines with a bare
// LF is read at LF instead), parses each line with listingStyle and stores the
// valid ones, without "." and "..", as the folder path. Text after the last
// line end is an incomplete line and is not used.
// Names are decoded by `names` when given (see remote_names.h).
tFolderObject& StoreRemoteListing(RemoteFolderCache& cache, const QString& path, QByteArrayView text,
                                  quint8 listingStyle, const ListingNow& now, RemoteNames* names = nullptr);

// Just the parsing half of StoreRemoteListing, for callers that show a listing without caching it.
tFolderObject ParseRemoteListing(QByteArrayView text, quint8 listingStyle, const ListingNow& now,
                                 RemoteNames* names = nullptr);

// Sets the stale flag of a cached folder; does nothing when it is not cached.
void MarkFolderStale(RemoteFolderCache& cache, const QString& path);

// Forgets path and every cached folder below it. The caller clears the remote
// pane when it shows one of the returned paths.
QStringList ForgetRemoteFolderTree(RemoteFolderCache& cache, const QString& path);
