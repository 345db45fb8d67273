// Fills a browser pane with 100,000 generated rows (folders and files of
// many types), sorts it by every key in both directions with a selection to
// carry along, shows it in every view style, and prints a Markdown table of
// medians. Runs on the offscreen platform unless another one is asked for.

#include "listing/entry_date.h"
#include "listing/icon_cache.h"
#include "ui/icon_provider.h"
#include "ui/pane_model.h"
#include "ui/pane_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QRandomGenerator>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kRows = 100000;
constexpr int kRuns = 5;

const char* const kWords[] = {"report", "photo", "backup", "Setup", "notes", "data set", "index", "README", "archive"};
const char* const kExtensions[] = {".txt", ".jpg", ".tar.gz", ".zip", "", ".html", ".iso", ".c", ".pdf", ".mp3"};

FolderEntries makeRows()
{
    QRandomGenerator rng(7);
    FolderEntries rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        FolderEntry row;
        const quint32 r = rng.generate();
        const bool folder = r % 10 == 0;
        row.name = QStringLiteral("%1 %2 %3%4")
                       .arg(rng.bounded(100000u), 5, 10, QLatin1Char('0'))
                       .arg(QLatin1String(kWords[(r >> 4) % 9]))
                       .arg(i)
                       .arg(folder ? QString() : QLatin1String(kExtensions[(r >> 8) % 10]));
        row.entry.kind = folder ? kEntryFolder : kEntryFile;
        row.entry.size = folder ? -1 : qint64(rng.generate64() % 5000000000ULL);
        row.entry.date = entryDateFromParts(2000 + int(r % 25), 1 + int((r >> 12) % 12), 1 + int((r >> 16) % 28),
                                            int((r >> 20) % 24), int((r >> 24) % 60));
        row.entry.attributes = 644;
        rows.append(row);
    }
    return rows;
}

double medianMs(const std::function<void()>& setUp, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        setUp();
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const FolderEntries rows = makeRows();
    SystemIconSource images;
    IconCache icons(images);
    PaneModel model(&icons, &images);
    PaneView pane(&model);
    pane.resize(800, 600);
    pane.show();
    settle();

    std::printf("| step (%d rows) | median ms |\n|---|---:|\n", kRows);
    const auto line = [](const char* what, double ms) { std::printf("| %s | %.1f |\n", what, ms); };

    line("fill, sorted by name, and first row selected", medianMs(
                                                             [&] {
                                                                 model.setEntries({});
                                                                 model.setSortKey(1);
                                                                 settle();
                                                             },
                                                             [&] {
                                                                 model.setEntries(rows);
                                                                 pane.selectFirstRow();
                                                                 settle();
                                                             }));

    const struct {
        int key;
        const char* name;
    } keys[] = {{1, "re-sort name ascending"},      {-1, "re-sort name descending"},
                {2, "re-sort size ascending"},      {-2, "re-sort size descending"},
                {3, "re-sort date ascending"},      {-3, "re-sort date descending"},
                {9, "re-sort extension ascending"}, {-9, "re-sort extension descending"}};
    for (const auto& k : keys) {
        line(k.name, medianMs(
                         [&] {
                             model.setSortKey(k.key == 1 ? 2 : 1);
                             pane.selectFirstRow();
                             settle();
                         },
                         [&] {
                             model.setSortKey(k.key);
                             settle();
                         }));
    }

    // The core's sort alone, for what the model and the views add to it.
    FolderEntries copy;
    line("core sort alone, name descending", medianMs([&] { copy = rows; }, [&] { sortPaneEntries(copy, -1); }));
    line("core sort alone, extension ascending", medianMs([&] { copy = rows; }, [&] { sortPaneEntries(copy, 9); }));

    PaneModel bare;
    bare.setEntries(rows);
    line("model without a view, name descending", medianMs([&] { bare.setSortKey(1); }, [&] { bare.setSortKey(-1); }));

    // A big selection is what makes a re-sort carry many rows along.
    line("re-sort with every row selected", medianMs(
                                                [&] {
                                                    model.setSortKey(1);
                                                    pane.selectAllRows();
                                                    settle();
                                                },
                                                [&] {
                                                    model.setSortKey(-3);
                                                    settle();
                                                }));

    const struct {
        quint8 style;
        const char* name;
    } styles[] = {{ListStyleIcon, "switch to large icons"},
                  {ListStyleSmallIcon, "switch to small icons"},
                  {ListStyleList, "switch to list"},
                  {ListStyleReport, "switch to details"}};
    for (const auto& s : styles) {
        line(s.name, medianMs(
                         [&] {
                             pane.setViewStyle(s.style == ListStyleReport ? ListStyleList : ListStyleReport);
                             settle();
                         },
                         [&] {
                             pane.setViewStyle(s.style);
                             settle();
                             pane.currentView()->repaint();
                         }));
    }
    return 0;
}
