// Creating and extracting ZIP archives with vaultpack-cli beside the peers on
// the same input, in one run: a copy of /usr/include (or the folder named by
// VAULTPACK_BENCH_TREE) packed beside Info-ZIP `zip -r -6`; the same archive
// extracted beside `unzip` and `bsdtar -xf`; 64,000 small files extracted
// beside them too. Every run is a child process writing to a fresh name, the
// tools take turns round by round, and the best time of each is kept, with
// each child's peak memory.
//
//   build/release/bench/zip_bench [rounds (default 5)] [create|tree|small|aes ...]
//
// aes: the tree packed with AES-256 beside 7-Zip (two threads), and 7-Zip's
// AES archive of it extracted beside 7z x.
//
// The work folder is under TMPDIR. Outputs are removed only at the end, since
// a file system that has just freed many inodes (ext4 without a journal skips
// recently deleted ones) creates files more slowly for a minute or more; with
// TMPDIR=/dev/shm only the programs' own costs count.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/ChildRuns.h"

namespace {

namespace fs = std::filesystem;
using vaultpack::bench::ChildRun;
using vaultpack::bench::Keep;
using vaultpack::bench::RunCommand;

std::string Quote(const fs::path& path) {
    std::string quoted = "'";
    for (const char c : path.string()) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

void Shell(const std::string& command) {
    if (!RunCommand({"sh", "-c", command}).succeeded) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

// 64,000 files of 100 to 2,000 bytes of text in 64 folders.
void WriteSmallFiles(const fs::path& tree) {
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
}

// One tool of a comparison: the command for a run writing to `output`.
struct Tool {
    std::string name;
    std::string (*command)(const fs::path& input, const fs::path& output);
    ChildRun best;
};

struct Comparison {
    std::string name;
    fs::path input;
    std::vector<Tool> tools;  // ours first
};

std::string Cli() { return Quote(VAULTPACK_CLI_PATH); }

// Another build of vaultpack-cli to run beside this one, such as the build
// before a change: VAULTPACK_BENCH_BASELINE_CLI names it.
const char* BaselineCli() { return std::getenv("VAULTPACK_BENCH_BASELINE_CLI"); }

std::string CreateWith(const std::string& cli, const fs::path& tree, const fs::path& out) {
    return "cd " + Quote(tree.parent_path()) + " && " + cli + " create --zip " + Quote(out) + " " +
           Quote(tree.filename());
}

std::string ExtractWith(const std::string& cli, const fs::path& archive, const fs::path& out) {
    return "mkdir " + Quote(out) + " && " + cli + " unzip " + Quote(archive) + " " + Quote(out);
}

// The tools, with the baseline build last when one is named.
std::vector<Tool> WithBaseline(std::vector<Tool> tools, Tool baseline) {
    if (BaselineCli() != nullptr) {
        tools.push_back(std::move(baseline));
    }
    return tools;
}

std::vector<Tool> CreateTools() {
    return WithBaseline(
        {
            {"vaultpack-cli", [](const fs::path& tree, const fs::path& out) { return CreateWith(Cli(), tree, out); },
             {}},
            {"zip -r -6", [](const fs::path& tree, const fs::path& out) {
                 return "cd " + Quote(tree.parent_path()) + " && zip -q -r -6 " + Quote(out) + " " +
                        Quote(tree.filename());
             }, {}},
        },
        {"baseline-cli",
         [](const fs::path& tree, const fs::path& out) { return CreateWith(Quote(BaselineCli()), tree, out); }, {}});
}

std::vector<Tool> ExtractTools() {
    return WithBaseline(
        {
            {"vaultpack-cli",
             [](const fs::path& archive, const fs::path& out) { return ExtractWith(Cli(), archive, out); }, {}},
            {"unzip",
             [](const fs::path& archive, const fs::path& out) {
                 return "mkdir " + Quote(out) + " && unzip -q " + Quote(archive) + " -d " + Quote(out);
             }, {}},
            {"bsdtar",
             [](const fs::path& archive, const fs::path& out) {
                 return "mkdir " + Quote(out) + " && bsdtar -xf " + Quote(archive) + " -C " + Quote(out);
             }, {}},
        },
        {"baseline-cli",
         [](const fs::path& archive, const fs::path& out) { return ExtractWith(Quote(BaselineCli()), archive, out); },
         {}});
}

bool MakesArchives(const Comparison& comparison) { return comparison.name == "create" || comparison.name == "aes"; }

fs::path OutputOf(const fs::path& runs, const Comparison& comparison, std::size_t tool, int round) {
    return runs / (comparison.name + "-" + std::to_string(tool) + "-" + std::to_string(round) +
                   (MakesArchives(comparison) ? ".zip" : ""));
}

// The password of the AES comparisons, in a file beside the runs.
constexpr const char* kAesPassword = "Bench-Pass1";
fs::path PasswordFile(const fs::path& tree) { return tree.parent_path() / "password"; }

std::vector<Tool> AesCreateTools() {
    return {
        {"vaultpack-cli",
         [](const fs::path& tree, const fs::path& out) {
             return "cd " + Quote(tree.parent_path()) + " && " + Cli() + " create --zip --aes --password-file " +
                    Quote(PasswordFile(tree)) + " " + Quote(out) + " " + Quote(tree.filename());
         }, {}},
        {"7z AES-256", [](const fs::path& tree, const fs::path& out) {
             return "cd " + Quote(tree.parent_path()) + " && 7z a -tzip -mem=AES256 -mx=5 -mmt=2 -p" + kAesPassword +
                    " " + Quote(out) + " " + Quote(tree.filename()) + " >/dev/null";
         }, {}},
    };
}

std::vector<Tool> AesExtractTools() {
    return {
        {"vaultpack-cli",
         [](const fs::path& archive, const fs::path& out) {
             return "mkdir " + Quote(out) + " && " + Cli() + " unzip --password-file " +
                    Quote(PasswordFile(archive)) + " " + Quote(archive) + " " + Quote(out);
         }, {}},
        {"7z x", [](const fs::path& archive, const fs::path& out) {
             return "7z x -p" + std::string(kAesPassword) + " -o" + Quote(out) + " " + Quote(archive) + " >/dev/null";
         }, {}},
    };
}

// The tools take turns, starting one later each round, so that none always
// runs right after another's output was written.
void Compare(Comparison& comparison, const fs::path& runs, int rounds) {
    const std::size_t count = comparison.tools.size();
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t turn = 0; turn < count; ++turn) {
            const std::size_t tool = (turn + static_cast<std::size_t>(round)) % count;
            Tool& current = comparison.tools[tool];
            const std::string command = current.command(comparison.input, OutputOf(runs, comparison, tool, round));
            Keep(current.best, RunCommand({"sh", "-c", command}), command);
        }
    }
    const Tool& ours = comparison.tools.front();
    for (const Tool& tool : comparison.tools) {
        std::printf("%-7s %-14s best %7.3f s  peak %6.1f MiB", comparison.name.c_str(), tool.name.c_str(),
                    tool.best.seconds, static_cast<double>(tool.best.peakKiB) / 1024.0);
        if (&tool != &ours) {
            std::printf("  speed-up of vaultpack-cli %5.2fx", tool.best.seconds / ours.best.seconds);
        }
        if (MakesArchives(comparison)) {
            std::printf("  archive %.2f MB", static_cast<double>(fs::file_size(OutputOf(
                                                      runs, comparison, static_cast<std::size_t>(&tool - &ours), 0))) /
                                                  1e6);
        }
        std::printf("\n");
    }
    std::fflush(stdout);
}

bool Wanted(int argc, char** argv, const std::string& name) {
    bool named = false;
    for (int i = 2; i < argc; ++i) {
        named = named || name == argv[i];
    }
    return argc <= 2 || named;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::string pattern = (fs::temp_directory_path() / "vaultpack-zip-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        return 1;
    }
    const fs::path root = pattern;
    const fs::path tree = root / "tree";
    const fs::path runs = root / "runs";
    fs::create_directories(runs);
    const char* source = std::getenv("VAULTPACK_BENCH_TREE");
    // Links followed, so that every tool sees the same plain files.
    Shell("cp -rL " + Quote(source != nullptr ? source : "/usr/include") + " " + Quote(tree) +
          " 2>/dev/null || test -d " + Quote(tree));
    std::printf("work folder %s, best of %d rounds\n", root.c_str(), rounds);

    if (Wanted(argc, argv, "create")) {
        Comparison create{"create", tree, CreateTools()};
        Compare(create, runs, rounds);
    }
    if (Wanted(argc, argv, "tree")) {
        const fs::path archive = root / "tree.zip";
        Shell("cd " + Quote(root) + " && zip -q -r -6 tree.zip tree");
        Comparison extract{"tree", archive, ExtractTools()};
        Compare(extract, runs, rounds);
    }
    if (Wanted(argc, argv, "small")) {
        const fs::path small = root / "small";
        WriteSmallFiles(small);
        // The files stay until the end: ext4 without a journal skips inodes
        // freed in the last half minute or so when it allocates new ones, so
        // removing 64,000 files here would slow down whichever runs came next.
        Shell("cd " + Quote(root) + " && zip -q -r -6 small.zip small");
        Comparison extract{"small", root / "small.zip", ExtractTools()};
        Compare(extract, runs, rounds);
    }
    if (Wanted(argc, argv, "aes")) {
        Shell("echo " + std::string(kAesPassword) + " >" + Quote(PasswordFile(tree)));
        Comparison create{"aes", tree, AesCreateTools()};
        Compare(create, runs, rounds);
        // Both read 7-Zip's archive of the tree.
        Shell("cd " + Quote(root) + " && 7z a -tzip -mem=AES256 -p" + kAesPassword + " tree-aes.zip tree >/dev/null");
        Comparison extract{"aes-x", root / "tree-aes.zip", AesExtractTools()};
        Compare(extract, runs, rounds);
    }
    fs::remove_all(root);
    return 0;
}
