// Creating and extracting a ZIP archive of a real tree (a copy of
// /usr/include, or the folder named by VAULTPACK_BENCH_TREE), beside Info-ZIP
// zip -r -6, unzip and bsdtar on the same tree in the same run; and
// extracting 64,000 small files beside unzip and bsdtar. Ours creates the
// archive as the create job does: files compressed on one worker thread per
// processor, added in list order. Prints the best times, their ratios and our
// peak memory at the end.
//
//   build/release/bench/zip_bench

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "zip/DestinationFolders.h"
#include "zip/EntryPath.h"
#include "zip/ParallelPreparer.h"
#include "zip/ZipReader.h"
#include "zip/ZipWriter.h"

namespace {

namespace fs = std::filesystem;
using vaultpack::ZipResult;

std::string Quote(const fs::path& path) {
    std::string quoted = "'";
    for (const char c : path.string()) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

void Run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

// The work folder with a private copy of the tree (links followed, so that
// both tools see the same plain files), made once.
struct Workspace {
    Workspace() {
        std::string pattern = (fs::temp_directory_path() / "vaultpack-zip-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::exit(1);
        }
        root = pattern;
        const char* source = std::getenv("VAULTPACK_BENCH_TREE");
        Run("cp -rL " + Quote(source != nullptr ? source : "/usr/include") + " " + Quote(tree()) +
            " 2>/dev/null || test -d " + Quote(tree()));
    }
    ~Workspace() { fs::remove_all(root); }
    fs::path tree() const { return root / "tree"; }
    fs::path ours() const { return root / "ours.zip"; }
    fs::path infoZip() const { return root / "infozip.zip"; }
    fs::path out() const { return root / "out"; }
    fs::path smallFiles() const { return root / "small.zip"; }

    fs::path root;
};

Workspace& Work() {
    static Workspace workspace;
    return workspace;
}

// 64,000 files of 100 to 2,000 bytes of text in 64 folders, archived once
// with zip -r -6 (the archive is what the extractors compare on).
const fs::path& SmallFilesArchive() {
    static const fs::path archive = [] {
        const fs::path tree = Work().root / "small";
        std::mt19937 random(1);
        const std::string text = "lorem ipsum dolor sit amet, consectetur adipiscing elit 0123456789\n";
        for (int folder = 0; folder < 64; ++folder) {
            const fs::path dir = tree / ("folder" + std::to_string(folder));
            fs::create_directories(dir);
            for (int file = 0; file < 1000; ++file) {
                std::string content;
                const std::size_t size = 100 + random() % 1900;
                while (content.size() < size) {
                    content += text.substr(random() % text.size());
                }
                std::FILE* out = std::fopen((dir / ("file" + std::to_string(file) + ".txt")).c_str(), "wb");
                std::fwrite(content.data(), 1, size, out);
                std::fclose(out);
            }
        }
        Run("cd " + Quote(tree) + " && zip -q -r -6 " + Quote(Work().smallFiles()) + " .");
        fs::remove_all(tree);
        return Work().smallFiles();
    }();
    return archive;
}

std::map<std::string, double> secondsPerRun;

// Keeps the best wall-clock time of the iterations, since the peers run as
// child processes and the machine is shared.
template <typename Body>
void Measure(benchmark::State& state, const char* name, Body body) {
    double best = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(Work().out());
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        body();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = best == 0 ? seconds : std::min(best, seconds);
    }
    secondsPerRun[name] = best;
}

long peakKibAfterCreate = 0;

void CreateWithZipWriter(benchmark::State& state) {
    std::uint64_t bytes = 0;
    Measure(state, "create ours", [&] {
        auto writer = vaultpack::ZipWriter::Create(Work().ours());
        std::vector<vaultpack::ParallelPreparer::Source> sources;
        bytes = 0;
        for (const auto& entry : fs::recursive_directory_iterator(Work().tree())) {
            if (entry.is_regular_file()) {
                sources.push_back({fs::relative(entry.path(), Work().tree()).string(), entry.path()});
                bytes += entry.file_size();
            }
        }
        std::vector<std::string> names;
        for (const auto& source : sources) {
            names.push_back(source.storedName);
        }
        vaultpack::ParallelPreparer preparer(*writer, std::move(sources), 0);
        for (std::size_t i = 0; i < names.size(); ++i) {
            vaultpack::PreparedEntry entry = preparer.Take(i);
            if (writer->AddPrepared(names[i], entry) != ZipResult::Success) {
                state.SkipWithError(("cannot add " + names[i]).c_str());
            }
        }
        if (writer->Close() != ZipResult::Success) {
            state.SkipWithError("cannot close");
        }
    });
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    peakKibAfterCreate = usage.ru_maxrss;
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes * state.iterations()));
    state.counters["archive_MB"] = static_cast<double>(fs::file_size(Work().ours())) / 1e6;
}

void CreateWithInfoZip(benchmark::State& state) {
    Measure(state, "create zip -r -6", [&] {
        fs::remove(Work().infoZip());
        Run("cd " + Quote(Work().tree()) + " && zip -q -r -6 " + Quote(Work().infoZip()) + " .");
    });
    state.counters["archive_MB"] = static_cast<double>(fs::file_size(Work().infoZip())) / 1e6;
}

// Extracts an archive the way the unzip job does: safe target paths, each
// folder made ready once.
void ExtractWithZipReader(benchmark::State& state, const fs::path& archive) {
    auto reader = vaultpack::ZipReader::Open(archive);
    if (!reader) {
        state.SkipWithError("cannot open");
        return;
    }
    vaultpack::DestinationFolders folders(Work().out());
    vaultpack::ZipEntryInfo info;
    reader->GetEntry(-1, info);
    const std::int64_t count = info.entryCount;
    for (std::int64_t i = 0; i < count; ++i) {
        reader->GetEntry(i, info);
        const auto target = vaultpack::SafeTargetPath(Work().out(), info.name);
        if (!target || folders.Prepare(info.isFolder ? *target : target->parent_path()) ||
            reader->ExtractEntry(i, *target) != ZipResult::Success) {
            state.SkipWithError(("cannot extract " + info.name).c_str());
        }
    }
    reader->Close();
}

void ExtractTreeWithZipReader(benchmark::State& state) {
    Measure(state, "extract tree ours", [&] { ExtractWithZipReader(state, Work().ours()); });
}
void ExtractTreeWithUnzip(benchmark::State& state) {
    Measure(state, "extract tree unzip",
            [&] { Run("unzip -q -o " + Quote(Work().ours()) + " -d " + Quote(Work().out())); });
}
void ExtractTreeWithBsdtar(benchmark::State& state) {
    Measure(state, "extract tree bsdtar", [&] {
        fs::create_directories(Work().out());
        Run("bsdtar -xf " + Quote(Work().ours()) + " -C " + Quote(Work().out()));
    });
}
void ExtractSmallFilesWithZipReader(benchmark::State& state) {
    SmallFilesArchive();
    Measure(state, "extract small ours", [&] { ExtractWithZipReader(state, SmallFilesArchive()); });
}
void ExtractSmallFilesWithUnzip(benchmark::State& state) {
    Measure(state, "extract small unzip",
            [&] { Run("unzip -q -o " + Quote(SmallFilesArchive()) + " -d " + Quote(Work().out())); });
}
void ExtractSmallFilesWithBsdtar(benchmark::State& state) {
    Measure(state, "extract small bsdtar", [&] {
        fs::create_directories(Work().out());
        Run("bsdtar -xf " + Quote(SmallFilesArchive()) + " -C " + Quote(Work().out()));
    });
}

BENCHMARK(CreateWithZipWriter)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CreateWithInfoZip)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ExtractTreeWithZipReader)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ExtractTreeWithUnzip)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ExtractTreeWithBsdtar)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ExtractSmallFilesWithZipReader)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ExtractSmallFilesWithUnzip)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ExtractSmallFilesWithBsdtar)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Work();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const auto ratio = [](const char* ours, const char* peer) {
        return secondsPerRun.count(ours) && secondsPerRun.count(peer) ? secondsPerRun[ours] / secondsPerRun[peer] : 0.0;
    };
    std::printf("time ratio, create (ours / zip -r -6): %.3f\n", ratio("create ours", "create zip -r -6"));
    std::printf("speed-up, create (zip -r -6 / ours):    %.2f\n",
                ratio("create zip -r -6", "create ours"));
    std::printf("peak memory after create (ours):        %.1f MiB\n", static_cast<double>(peakKibAfterCreate) / 1024);
    for (const char* set : {"tree", "small"}) {
        const std::string ours = std::string("extract ") + set + " ours";
        for (const char* peer : {"unzip", "bsdtar"}) {
            const std::string theirs = std::string("extract ") + set + " " + peer;
            if (secondsPerRun.count(ours) && secondsPerRun.count(theirs)) {
                std::printf("extract %-5s best: ours %.3f s, %-6s %.3f s, speed-up %.2fx\n", set, secondsPerRun[ours],
                            peer, secondsPerRun[theirs], secondsPerRun[theirs] / secondsPerRun[ours]);
            }
        }
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory of this process (ours only; peers are children): %.1f MiB\n",
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    if (fs::exists(Work().ours()) && fs::exists(Work().infoZip())) {
        std::printf("size ratio (ours / zip -r -6):          %.4f\n",
                    static_cast<double>(fs::file_size(Work().ours())) /
                        static_cast<double>(fs::file_size(Work().infoZip())));
    }
    return 0;
}
