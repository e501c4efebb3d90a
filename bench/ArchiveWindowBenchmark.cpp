// The archive window on an archive of many entries (600,000 by default):
// the time from opening it to its list, sorting that list by size and
// filtering it by name, the longest the GUI thread went without handling
// events meanwhile, and the peak memory of the whole program; beside
// `unzip -Z1` and `7z l` listing the same archive. Each run is a child process.
// Usage: archive_window_bench [rounds] [entries]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QHeaderView>
#include <QTableView>

#include <zlib.h>

#include "app/MessageCatalogue.h"
#include "bench/ChildRuns.h"
#include "ui/ArchiveModels.h"
#include "ui/ArchiveWindow.h"
#include "ui/QtPlatformPickers.h"

namespace vaultpack::bench {
namespace {

void Put16(std::string& out, unsigned value) {
    out.push_back(static_cast<char>(value & 0xff));
    out.push_back(static_cast<char>((value >> 8) & 0xff));
}
void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value & 0xffff);
    Put16(out, value >> 16);
}
void Put64(std::string& out, std::uint64_t value) {
    Put32(out, static_cast<std::uint32_t>(value));
    Put32(out, static_cast<std::uint32_t>(value >> 32));
}

// A stored archive of `count` small entries in 1,000 folders of 10
// subfolders, written record by record (no tool makes one this size quickly).
void WriteManyEntryArchive(const std::filesystem::path& path, std::size_t count) {
    const std::string data = "a small entry's data\n";
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    const std::uint32_t dosTime = 0x5A210000;
    std::string local;
    std::string central;
    std::ofstream out(path, std::ios::binary);
    std::uint64_t offset = 0;
    for (std::size_t index = 0; index < count; ++index) {
        char name[64];
        const int length = std::snprintf(name, sizeof name, "folder%03zu/sub%02zu/entry%07zu.txt", index / 600 % 1000,
                                         index / 60 % 10, index);
        local.clear();
        Put32(local, 0x04034b50);
        Put16(local, 20), Put16(local, 0), Put16(local, 0), Put32(local, dosTime), Put32(local, crc);
        Put32(local, static_cast<std::uint32_t>(data.size())), Put32(local, static_cast<std::uint32_t>(data.size()));
        Put16(local, static_cast<unsigned>(length)), Put16(local, 0);
        local.append(name, static_cast<std::size_t>(length)).append(data);
        Put32(central, 0x02014b50);
        Put16(central, 0x031e), Put16(central, 20), Put16(central, 0), Put16(central, 0), Put32(central, dosTime);
        Put32(central, crc), Put32(central, static_cast<std::uint32_t>(data.size()));
        Put32(central, static_cast<std::uint32_t>(data.size())), Put16(central, static_cast<unsigned>(length));
        Put16(central, 0), Put16(central, 0), Put16(central, 0), Put16(central, 0), Put32(central, 0100644u << 16);
        Put32(central, static_cast<std::uint32_t>(offset));
        central.append(name, static_cast<std::size_t>(length));
        out << local;
        offset += local.size();
    }
    std::string end;
    Put32(end, 0x06064b50), Put64(end, 44), Put16(end, 45), Put16(end, 45), Put32(end, 0), Put32(end, 0);
    Put64(end, count), Put64(end, count), Put64(end, central.size()), Put64(end, offset);
    Put32(end, 0x07064b50), Put32(end, 0), Put64(end, offset + central.size()), Put32(end, 1);
    Put32(end, 0x06054b50), Put16(end, 0), Put16(end, 0), Put16(end, 0xffff), Put16(end, 0xffff);
    Put32(end, 0xffffffff), Put32(end, 0xffffffff), Put16(end, 0);
    out << central << end;
}

struct WindowFigures {
    double openSeconds = 0;
    double sortSeconds = 0;
    double filterSeconds = 0;
    // The GUI thread's longest stall while opening, filtering and sorting.
    double stalls[3] = {};
};

// Runs in the child: the window opened, sorted and filtered, each step waited
// for through the event loop while a timer notes the longest gap between its ticks.
bool TimeWindow(const std::filesystem::path& archive, const std::filesystem::path& figuresFile) {
    int argc = 1;
    char name[] = "archive_window_bench";
    char* argv[] = {name, nullptr};
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    const MessageCatalogue catalogue(MessageCatalogue::Language::English);
    QtPlatformPickers pickers;
    WindowFigures figures;
    QElapsedTimer sinceTick;
    QTimer probe;
    int phase = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        figures.stalls[phase] = std::max(figures.stalls[phase], sinceTick.nsecsElapsed() / 1e9);
        sinceTick.restart();
    });
    QElapsedTimer clock;
    clock.start();
    ArchiveWindow* window = ArchiveWindow::Open(catalogue, pickers, archive);
    sinceTick.start();
    probe.start(5);
    bool opened = false;
    {
        QEventLoop loop;
        QObject::connect(window, &ArchiveWindow::Opened, &loop, [&](bool succeeded) {
            opened = succeeded;
            loop.quit();
        });
        loop.exec();
    }
    if (!opened) {
        return false;
    }
    ArchiveListModel* list = window->List();
    const auto until = [&](auto change) {
        ++phase;
        QEventLoop loop;
        QObject::connect(list, &ArchiveListModel::RowsReady, &loop, &QEventLoop::quit);
        clock.restart();
        change();
        loop.exec();
        return clock.nsecsElapsed() / 1e9;
    };
    // The top holds 1,000 folders; all 600,000 entries are one filter away.
    figures.openSeconds = clock.nsecsElapsed() / 1e9;
    figures.filterSeconds = until([&] { list->Show(ArchiveTree::kTop, QStringLiteral("entry")); });
    // As a click on the Size column's header does it.
    figures.sortSeconds =
        until([&] { window->ListView()->horizontalHeader()->setSortIndicator(1, Qt::DescendingOrder); });
    std::ofstream(figuresFile) << figures.openSeconds << ' ' << figures.sortSeconds << ' ' << figures.filterSeconds
                               << ' ' << figures.stalls[0] << ' ' << figures.stalls[1] << ' ' << figures.stalls[2]
                               << ' ' << list->rowCount() << '\n';
    return true;
}

}  // namespace
}  // namespace vaultpack::bench

int main(int argc, char** argv) {
    using namespace vaultpack::bench;
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    const std::size_t entries = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 600000;
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "vaultpack-window-bench";
    std::filesystem::create_directories(folder);
    const std::filesystem::path archive = folder / ("many-" + std::to_string(entries) + ".zip");
    if (!std::filesystem::exists(archive)) {
        WriteManyEntryArchive(archive, entries);
    }
    const std::filesystem::path figuresFile = folder / "figures";
    ChildRun window, unzip, sevenZip;
    double open = 1e9, sort = 1e9, filter = 1e9, stalls[3] = {};
    long rows = 0;
    for (int round = 0; round < rounds; ++round) {
        Keep(window, RunInChild([&] { return TimeWindow(archive, figuresFile); }), "the archive window");
        double o = 0, s = 0, f = 0, g[3] = {};
        std::ifstream(figuresFile) >> o >> s >> f >> g[0] >> g[1] >> g[2] >> rows;
        open = std::min(open, o), sort = std::min(sort, s), filter = std::min(filter, f);
        for (int phase = 0; phase < 3; ++phase) {
            stalls[phase] = std::max(stalls[phase], g[phase]);
        }
        Keep(unzip, RunCommand({"unzip", "-Z1", archive.string()}), "unzip -Z1");
        Keep(sevenZip, RunCommand({"7z", "l", archive.string()}), "7z l");
    }
    std::printf("%zu entries, %.1f MB archive, best of %d rounds\n", entries,
                static_cast<double>(std::filesystem::file_size(archive)) / 1e6, rounds);
    std::printf("%-28s %9s %9s %10s\n", "", "wall s", "cpu s", "peak MiB");
    const auto row = [](const char* what, const ChildRun& run) {
        std::printf("%-28s %9.2f %9.2f %10.1f\n", what, run.seconds, run.cpuSeconds, run.peakKiB / 1024.0);
    };
    row("vaultpack archive window", window);
    row("unzip -Z1", unzip);
    row("7z l", sevenZip);
    std::printf("window: listed in %.2f s (%.2fx unzip -Z1, %.2fx 7z l); filter to %ld rows %.2f s; sort by size %.2f s\n"
                "longest GUI-thread stall: opening %.0f ms, filtering %.0f ms, sorting %.0f ms\n",
                open, unzip.seconds / open, sevenZip.seconds / open, rows, filter, sort, stalls[0] * 1000,
                stalls[1] * 1000, stalls[2] * 1000);
    return 0;
}
