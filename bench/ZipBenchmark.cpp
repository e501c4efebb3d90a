// Creating and extracting a ZIP archive of a real tree (a copy of
// /usr/include, or the folder named by VAULTPACK_BENCH_TREE), beside Info-ZIP
// zip -r -6 and unzip on the same tree in the same run. Ours creates the
// archive as the create job does: files compressed on one worker thread per
// processor, added in list order. Prints the time and size ratios and our
// peak memory at the end.
//
//   build/release/bench/zip_bench

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <sys/resource.h>

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

    fs::path root;
};

Workspace& Work() {
    static Workspace workspace;
    return workspace;
}

std::map<std::string, double> secondsPerRun;

// Times the loop in wall-clock seconds per iteration, since the peers run as
// child processes.
template <typename Body>
void Measure(benchmark::State& state, const char* name, Body body) {
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(Work().out());
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        body();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    secondsPerRun[name] = total / static_cast<double>(state.iterations());
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

// Extracts our archive the way the unzip job does: safe target paths,
// folders created before each file.
void ExtractWithZipReader(benchmark::State& state) {
    Measure(state, "extract ours", [&] {
        auto reader = vaultpack::ZipReader::Open(Work().ours());
        vaultpack::ZipEntryInfo info;
        reader->GetEntry(-1, info);
        const std::int64_t count = info.entryCount;
        for (std::int64_t i = 0; i < count; ++i) {
            reader->GetEntry(i, info);
            const auto target = vaultpack::SafeTargetPath(Work().out(), info.name);
            fs::create_directories(info.isFolder ? *target : target->parent_path());
            if (reader->ExtractEntry(i, *target) != ZipResult::Success) {
                state.SkipWithError(("cannot extract " + info.name).c_str());
            }
        }
        reader->Close();
    });
}

void ExtractWithUnzip(benchmark::State& state) {
    Measure(state, "extract unzip", [&] { Run("unzip -q -o " + Quote(Work().ours()) + " -d " + Quote(Work().out())); });
}

BENCHMARK(CreateWithZipWriter)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CreateWithInfoZip)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ExtractWithZipReader)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ExtractWithUnzip)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

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
    std::printf("time ratio, extract (ours / unzip):    %.3f\n", ratio("extract ours", "extract unzip"));
    if (fs::exists(Work().ours()) && fs::exists(Work().infoZip())) {
        std::printf("size ratio (ours / zip -r -6):          %.4f\n",
                    static_cast<double>(fs::file_size(Work().ours())) /
                        static_cast<double>(fs::file_size(Work().infoZip())));
    }
    return 0;
}
