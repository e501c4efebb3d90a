// One large file created and extracted by vaultpack-cli beside `zip -6` and
// `unzip`, in rounds that take turns, each into names that do not exist yet:
// the program's own path, as a user runs it. Prints the best wall time of
// each, the ratios, the archive sizes, the peak resident memory (ru_maxrss)
// of each child process, and its processor time (all threads; user and
// system), which shows how many cores the program kept busy.
//
// The test file is made once and kept (mixed content: the files of
// /usr/include, /usr/share and /usr/lib in turns, neither random nor
// trivially repetitive); the archives and extracted copies are removed.
//
//   build/release/bench/zip_large_bench [rounds (3)] [MiB (2048)] [folder (/tmp/vaultpack-large-bench)] [aes]
//
// With "aes", the file is protected with AES-256 instead, beside 7-Zip.
//
// VAULTPACK_LARGE_BENCH_MIB also sets the size, for a quick run.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "bench/ChildRuns.h"

namespace {

namespace fs = std::filesystem;
using vaultpack::bench::ChildRun;
using vaultpack::bench::Keep;
using vaultpack::bench::RunCommand;
using vaultpack::bench::RunInChild;

ChildRun CreateOurs(const fs::path& source, const fs::path& archive) {
    return RunCommand({VAULTPACK_CLI_PATH, "create", "--zip", archive.string(), source.string()});
}

ChildRun ExtractOurs(const fs::path& archive, const fs::path& folder) {
    return RunCommand({VAULTPACK_CLI_PATH, "unzip", archive.string(), folder.string()});
}

// Regular files below the roots, sorted, taken from each root in turn.
std::vector<fs::path> SourceFiles(const std::vector<fs::path>& roots) {
    std::vector<std::vector<fs::path>> lists;
    for (const fs::path& root : roots) {
        std::vector<fs::path>& list = lists.emplace_back();
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, error);
             !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (it->is_regular_file(error) && !it->is_symlink(error)) {
                list.push_back(it->path());
            }
        }
        std::sort(list.begin(), list.end());
    }
    std::vector<fs::path> files;
    for (std::size_t i = 0; std::any_of(lists.begin(), lists.end(), [&](const auto& list) { return i < list.size(); });
         ++i) {
        for (const auto& list : lists) {
            if (i < list.size()) {
                files.push_back(list[i]);
            }
        }
    }
    return files;
}

// Concatenates the system's files, over again when they run out, up to `size` bytes.
void MakeTestFile(const fs::path& path, std::uintmax_t size) {
    const std::vector<fs::path> files = SourceFiles({"/usr/include", "/usr/share", "/usr/lib"});
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<char> buffer(1 << 20);
    for (std::uintmax_t written = 0; written < size;) {
        for (const fs::path& file : files) {
            std::ifstream in(file, std::ios::binary);
            while (written < size && in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())).gcount() > 0) {
                const auto count = std::min<std::uintmax_t>(static_cast<std::uintmax_t>(in.gcount()), size - written);
                out.write(buffer.data(), static_cast<std::streamsize>(count));
                written += count;
            }
            if (written == size) {
                break;
            }
        }
    }
}

bool SameBytes(const fs::path& first, const fs::path& second) {
    std::ifstream a(first, std::ios::binary);
    std::ifstream b(second, std::ios::binary);
    return fs::file_size(first) == fs::file_size(second) &&
           std::equal(std::istreambuf_iterator<char>(a), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(b));
}

void Print(const char* operation, const char* peer, const ChildRun& peerBest, const ChildRun& oursBest) {
    std::printf("%-8s %-7s %7.2f s (cpu %6.2f s) %6.1f MiB   vaultpack %7.2f s (cpu %6.2f s) %6.1f MiB   ratio %5.2f\n",
                operation, peer, peerBest.seconds, peerBest.cpuSeconds, peerBest.peakKiB / 1024.0, oursBest.seconds,
                oursBest.cpuSeconds, oursBest.peakKiB / 1024.0, peerBest.seconds / oursBest.seconds);
}

// The same file protected with AES-256: our create beside 7-Zip's (two
// threads) and beside our own unprotected create, and both archives' reading
// of ours: our unzip beside 7z x.
int CompareAes(const fs::path& source, const fs::path& folder, int rounds) {
    const std::string password = "Bench-Pass1";
    const fs::path passwordFile = folder / "password";
    std::ofstream(passwordFile) << password << "\n";
    const fs::path ours = folder / "ours-aes.zip";
    const fs::path plain = folder / "ours-plain.zip";
    const fs::path seven = folder / "7z-aes.zip";
    const fs::path oursOut = folder / "ours-out";
    const fs::path sevenOut = folder / "7z-out";
    ChildRun create[3];   // 7z, ours with AES, ours plain
    ChildRun extract[2];  // 7z x, ours
    for (int round = 0; round < rounds; ++round) {
        fs::remove(seven);
        Keep(create[0],
             RunCommand({"7z", "a", "-tzip", "-mem=AES256", "-mx=5", "-mmt=2", "-p" + password, seven.string(),
                         source.string()}),
             "7z a");
        fs::remove(ours);
        Keep(create[1],
             RunCommand({VAULTPACK_CLI_PATH, "create", "--zip", "--aes", "--password-file", passwordFile.string(),
                         ours.string(), source.string()}),
             "our AES create");
        fs::remove(plain);
        Keep(create[2], CreateOurs(source, plain), "our create");
        fs::remove_all(sevenOut);
        Keep(extract[0], RunCommand({"7z", "x", "-p" + password, "-o" + sevenOut.string(), ours.string()}), "7z x");
        fs::remove_all(oursOut);
        fs::create_directories(oursOut);
        Keep(extract[1],
             RunCommand({VAULTPACK_CLI_PATH, "unzip", "--password-file", passwordFile.string(), ours.string(),
                         oursOut.string()}),
             "our AES extract");
        if (round + 1 == rounds && (!SameBytes(source, oursOut / source.filename()) ||
                                    !SameBytes(source, sevenOut / source.filename()))) {
            std::fprintf(stderr, "an extracted file differs from the source\n");
            return 1;
        }
        fs::remove_all(sevenOut);
        fs::remove_all(oursOut);
    }
    std::printf("%s, AES-256, best of %d rounds; peak memory is each child's ru_maxrss\n",
                source.filename().c_str(), rounds);
    Print("create", "7z", create[0], create[1]);
    Print("extract", "7z x", extract[0], extract[1]);
    std::printf("AES create / plain create: %.2f (%.2f s against %.2f s)\n", create[1].seconds / create[2].seconds,
                create[1].seconds, create[2].seconds);
    std::printf("archive  7z %llu bytes   vaultpack %llu bytes\n",
                static_cast<unsigned long long>(fs::file_size(seven)),
                static_cast<unsigned long long>(fs::file_size(ours)));
    for (const fs::path& archive : {ours, plain, seven}) {
        fs::remove(archive);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* sizeVariable = std::getenv("VAULTPACK_LARGE_BENCH_MIB");
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const long mebibytes = argc > 2 ? std::atol(argv[2]) : sizeVariable != nullptr ? std::atol(sizeVariable) : 2048;
    const fs::path folder = argc > 3 ? fs::path(argv[3]) : fs::temp_directory_path() / "vaultpack-large-bench";
    fs::create_directories(folder);
    const fs::path source = folder / ("source-" + std::to_string(mebibytes) + "MiB.bin");
    const std::uintmax_t size = static_cast<std::uintmax_t>(std::max(1L, mebibytes)) << 20;
    std::error_code error;
    if (ChildRun made; fs::file_size(source, error) != size) {
        // In a child, so that this process stays small: the children below start as copies of it.
        Keep(made, RunInChild([&] {
                 MakeTestFile(source, size);
                 return true;
             }),
             "making the test file");
    }

    if (argc > 4 && std::string(argv[4]) == "aes") {
        return CompareAes(source, folder, rounds);
    }
    const fs::path oursArchive = folder / "ours.zip";
    const fs::path zipArchive = folder / "zip.zip";
    const fs::path oursOut = folder / "ours-out";
    const fs::path unzipOut = folder / "unzip-out";
    ChildRun create[2];   // zip, ours
    ChildRun extract[2];  // unzip, ours
    for (int round = 0; round < rounds; ++round) {
        fs::remove(zipArchive);
        Keep(create[0], RunCommand({"zip", "-6", "-q", "-j", zipArchive.string(), source.string()}), "zip -6");
        fs::remove(oursArchive);
        Keep(create[1], CreateOurs(source, oursArchive), "our create");
        // Both extract our archive: it must be one ordinary deflate stream for unzip too.
        fs::remove_all(unzipOut);
        Keep(extract[0], RunCommand({"unzip", "-q", "-o", oursArchive.string(), "-d", unzipOut.string()}), "unzip");
        const bool unzipRight = round + 1 < rounds || SameBytes(source, unzipOut / source.filename());
        fs::remove_all(unzipOut);
        fs::remove_all(oursOut);
        fs::create_directories(oursOut);
        Keep(extract[1], ExtractOurs(oursArchive, oursOut), "our extract");
        const bool oursRight = round + 1 < rounds || SameBytes(source, oursOut / source.filename());
        fs::remove_all(oursOut);
        if (!unzipRight || !oursRight) {
            std::fprintf(stderr, "an extracted file differs from the source (unzip %d, ours %d)\n", unzipRight,
                         oursRight);
            return 1;
        }
    }
    std::printf("%ld MiB file, best of %d rounds; peak memory is each child's ru_maxrss\n", mebibytes, rounds);
    Print("create", "zip -6", create[0], create[1]);
    Print("extract", "unzip", extract[0], extract[1]);
    const auto zipSize = fs::file_size(zipArchive);
    const auto oursSize = fs::file_size(oursArchive);
    std::printf("archive  zip -6 %llu bytes   vaultpack %llu bytes   (%+.3f%%)\n",
                static_cast<unsigned long long>(zipSize), static_cast<unsigned long long>(oursSize),
                100.0 * (static_cast<double>(oursSize) - static_cast<double>(zipSize)) / static_cast<double>(zipSize));
    std::printf("extracted files identical to the source (last round): yes\n");
    fs::remove(zipArchive);
    fs::remove(oursArchive);
    return 0;
}
