// libFuzzer target: any bytes as a ZIP archive. Every entry is described and
// every file entry with a safe name is extracted; the reader must not crash,
// hang or leak, and a safe name must stay below the extraction folder.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "jobs/EntryPath.h"
#include "jobs/ZipReader.h"

namespace {

namespace fs = std::filesystem;

// One scratch folder below the working folder, emptied when the fuzzer
// starts: libFuzzer ends with _exit, so nothing could clean up afterwards.
const fs::path& ScratchFolder() {
    static const fs::path folder = [] {
        const fs::path path = fs::current_path() / "zip-fuzz-scratch";
        fs::remove_all(path);
        fs::create_directory(path);
        return path;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path archive = ScratchFolder() / "input.zip";
    const fs::path destination = ScratchFolder() / "out";
    {
        std::ofstream out(archive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    fs::create_directory(destination);
    auto reader = vaultpack::ZipReader::Open(archive);
    if (!reader) {
        return 0;
    }
    vaultpack::ZipEntryInfo info;
    reader->GetEntry(-1, info);
    const std::int64_t count = std::min<std::int64_t>(info.entryCount, 64);
    for (std::int64_t i = 0; i < count; ++i) {
        if (reader->GetEntry(i, info) != vaultpack::ZipResult::Success) {
            continue;
        }
        const auto target = vaultpack::SafeTargetPath(destination, info.name);
        if (target && target->string().compare(0, destination.string().size(), destination.string()) != 0) {
            std::abort();
        }
        // Small entries only, each to the same file, to keep runs fast.
        if (target && !info.isFolder && info.uncompressedSize <= (1u << 20)) {
            reader->ExtractEntry(i, destination / "entry");
        }
    }
    reader->Close();
    return 0;
}
