// libFuzzer target: any bytes as a ZIP archive. Every entry is described and
// every small file entry with a safe name is extracted, an encrypted one with
// the seeds' password "fuzz"; the reader must not
// crash, hang or leak, and a safe name must stay below the extraction folder.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "zip/EntryPath.h"
#include "zip/EntryExtraction.h"
#include "zip/ZipReader.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One scratch folder below the working folder, emptied when the fuzzer
    // starts: libFuzzer ends with _exit, so nothing could clean up afterwards.
    static const fs::path scratch = [] {
        const fs::path path = fs::current_path() / "zip-fuzz-scratch";
        fs::remove_all(path);
        fs::create_directories(path / "out");
        return path;
    }();
    const fs::path archive = scratch / "input.zip";
    const fs::path destination = scratch / "out";
    std::ofstream(archive, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    auto reader = vaultpack::ZipReader::Open(archive);
    if (!reader) {
        return 0;
    }
    vaultpack::ZipEntryInfo info;
    reader->GetEntry(-1, info);
    for (std::int64_t i = 0, count = std::min<std::int64_t>(info.entryCount, 64); i < count; ++i) {
        if (reader->GetEntry(i, info) != vaultpack::ZipResult::Success) {
            continue;
        }
        const auto target = vaultpack::SafeTargetPath(destination, info.name);
        if (target && target->string().compare(0, destination.string().size(), destination.string()) != 0) {
            std::abort();
        }
        if (target && !info.isFolder && info.uncompressedSize <= (1u << 20)) {
            static const std::string password = "fuzz";
            // Always the same file, to keep runs fast.
            ExtractEntry(*reader, i, destination / "entry", {}, true, &password);
        }
    }
    return 0;
}
