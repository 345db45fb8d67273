// Parses and stores a generated 1,000,000-line listing (Unix and DOS lines
// mixed, in no particular order), measures the heap each cached entry costs
// beyond its name, and sorts 100,000 pane rows by every key in both
// directions. Prints a Markdown table of medians.

#include "listing/folder_cache.h"
#include "listing/pane_sort.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kLines = 1000000;
constexpr int kSortRows = 100000;
constexpr int kRuns = 5;

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kWords[] = {"report", "photo", "backup", "Setup", "notes", "data set", "index", "README", "archive"};
const char* const kExtensions[] = {".txt", ".jpg", ".tar.gz", ".zip", "", ".html", ".iso", ".c"};

QByteArray makeListing(QRandomGenerator& rng)
{
    QByteArray text;
    text.reserve(qsizetype(kLines) * 72);
    text += "total 123456\r\n";
    char line[256];
    for (int i = 0; i < kLines; ++i) {
        const quint32 r = rng.generate();
        // A random prefix keeps the names out of order, as an unsorted server sends them.
        const unsigned prefix = rng.bounded(100000u);
        const char* word = kWords[r % 9];
        const char* ext = kExtensions[(r >> 4) % 8];
        const char* month = kMonths[(r >> 8) % 12];
        const int day = 1 + int((r >> 12) % 28);
        const qint64 size = qint64(rng.generate64() % 50000000000ULL);
        int n = 0;
        switch ((r >> 20) % 20) {
        case 0:
        case 1:
        case 2:  // DOS
            if ((r >> 25) % 4 == 0)
                n = std::snprintf(line, sizeof line, "%02d-%02d-%02d  %02d:%02dPM       <DIR>          %05u %s %d",
                                  1 + int((r >> 8) % 12), day, int(r % 100), 1 + int(r % 12), int(r % 60), prefix, word,
                                  i);
            else
                n = std::snprintf(line, sizeof line, "%02d-%02d-%02d  %02d:%02dAM  %14lld %05u %s %d%s",
                                  1 + int((r >> 8) % 12), day, int(r % 100), 1 + int(r % 12), int(r % 60),
                                  static_cast<long long>(size), prefix, word, i, ext);
            break;
        case 3:
        case 4:
            n = std::snprintf(line, sizeof line,
                              "drwxr-xr-x    2 ftp      ftp          4096 %s %2d %02d:%02d %05u %s %d", month, day,
                              int(r % 24), int(r % 60), prefix, word, i);
            break;
        case 5:
            n = std::snprintf(line, sizeof line,
                              "lrwxrwxrwx    1 ftp      ftp            12 %s %2d  %d %05u %s %d -> target", month, day,
                              1990 + int(r % 35), prefix, word, i);
            break;
        default:
            n = std::snprintf(line, sizeof line, "-rw-r--r--    1 owner    group %13lld %s %2d %s %05u %s %d%s",
                              static_cast<long long>(size), month, day, (r & 1) ? "10:42" : " 2019", prefix, word, i,
                              ext);
        }
        text.append(line, n);
        text += "\r\n";
    }
    return text;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Big blocks come from mmap and are not in uordblks.
// The machine is shared, so beside the wall clock the table gives the CPU
// time of this thread, which other people's builds do not inflate as much.
struct Stopwatch {
    QElapsedTimer wall;
    double cpuStart = 0;

    static double cpuMs()
    {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
    }
    void start()
    {
        cpuStart = cpuMs();
        wall.start();
    }
    void stop(std::vector<double>& wallMs, std::vector<double>& cpu) const
    {
        wallMs.push_back(wall.nsecsElapsed() / 1e6);
        cpu.push_back(cpuMs() - cpuStart);
    }
};

size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

}  // namespace

int main()
{
    QRandomGenerator rng(20261208);
    const QByteArray listing = makeListing(rng);
    const ListingNow now = ListingNow::current();

    std::vector<double> storeMs, storeCpu;
    for (int run = 0; run < kRuns; ++run) {
        RemoteFolderCache cache;
        Stopwatch watch;
        watch.start();
        StoreRemoteListing(cache, QStringLiteral("/big/"), listing, kLayoutDetect, now);
        watch.stop(storeMs, storeCpu);
    }

    // Heap of one stored listing, less the characters of the names.
    RemoteFolderCache cache;
    const size_t before = heapInUse();
    const tFolderObject& folder = StoreRemoteListing(cache, QStringLiteral("/big/"), listing, kLayoutDetect, now);
    const size_t after = heapInUse();
    qint64 nameBytes = 0;
    for (const FolderEntry& row : folder.entries)
        nameBytes += (row.name.size() + 1) * qint64(sizeof(QChar));
    const qsizetype stored = folder.entries.size();
    const double perEntry = double(qint64(after - before) - nameBytes) / double(stored);

    FolderEntries rows = folder.entries.first(kSortRows);
    std::shuffle(rows.begin(), rows.end(), rng);
    std::printf("| measurement | wall, median of %d | CPU, median of %d | target |\n|---|---|---|---|\n", kRuns, kRuns);
    std::printf("| parse and store %d lines (%lld entries kept) | %.0f ms | %.0f ms | < 1000 ms |\n", kLines,
                static_cast<long long>(stored), median(storeMs), median(storeCpu));
    std::printf("| heap per cached entry beyond its name | %.0f bytes | | < 300 bytes |\n", perEntry);
    const struct {
        int key;
        const char* label;
    } keys[] = {{1, "name"}, {-1, "name, descending"}, {2, "size"},      {-2, "size, descending"},
                {3, "date"}, {-3, "date, descending"}, {9, "extension"}, {-9, "extension, descending"}};
    for (const auto& k : keys) {
        std::vector<double> ms, cpu;
        for (int run = 0; run < kRuns; ++run) {
            FolderEntries copy = rows;
            copy.detach();
            Stopwatch watch;
            watch.start();
            sortPaneEntries(copy, k.key);
            watch.stop(ms, cpu);
        }
        std::printf("| sort %d rows by %s | %.1f ms | %.1f ms | < 100 ms |\n", kSortRows, k.label, median(ms),
                    median(cpu));
    }
    return 0;
}
