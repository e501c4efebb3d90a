#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jobs/JobHost.h"
#include "zip/ZipEntryInfo.h"

namespace vaultpack {

// Why an entry could never be extracted safely, judged from its name alone.
enum class NameFlag : std::uint8_t {
    None,
    Absolute,        // starts with "/" or a drive letter
    ParentFolder,    // a ".." component, which leads out of the folder
    Unusable,        // empty, a NUL byte, a backslash, or a last component no file may have
    TooLong,         // a component longer than a file name may be, or a path longer than any may be
};

// One entry of an opened archive, as the archive window lists it. The name
// lives in ArchiveContents::names, so that an entry costs a few dozen bytes
// beside its name.
struct ListedEntry {
    std::uint64_t size = 0;
    std::uint64_t packed = 0;
    std::int64_t modified = 0;
    std::uint64_t nameStart = 0;
    std::uint32_t nameLength = 0;
    std::uint16_t aesKeyBits = 0;
    bool isFolder = false;
    EntryEncryption encryption = EntryEncryption::None;
    NameFlag flag = NameFlag::None;
};

// What an archive holds, read once from its central directory (never its
// data): every entry in the archive's order, entry i being the archive's
// entry i. For a container, the plaintext restored into the caller's private
// folder: a ZIP archive, listed the same way, or one plain file, listed as
// one entry.
struct ArchiveContents {
    std::filesystem::path opened;     // what the user opened: a ZIP archive or a container
    std::filesystem::path archive;    // the ZIP archive the entries are in; empty for a plain file
    std::filesystem::path plainFile;  // the container's restored file, when it holds no archive
    std::string password;             // the container's, to restore it again elsewhere
    std::string names;
    std::vector<ListedEntry> entries;

    std::string_view NameOf(const ListedEntry& entry) const { return {names.data() + entry.nameStart, entry.nameLength}; }
    bool FromContainer() const { return opened != archive; }
};

// The flag of a stored name (see NameFlag).
NameFlag FlagOf(std::string_view storedName, bool isFolder);

// Where the opening job leaves the archive's contents, and where a container
// is restored to; the caller keeps `contents` until the job has completed.
struct OpenArchiveParams {
    std::filesystem::path file;
    std::filesystem::path privateFolder;
    std::shared_ptr<ArchiveContents> contents;
};

// Reads the list of a ZIP archive, or restores a container (asking for its
// password, with its hint) into params.privateFolder and lists what it held.
// Tells the user why, as the unzip and decrypt jobs do, when the archive
// cannot be read; contents is complete only when the outcome is Succeeded.
JobCompletion RunOpenArchiveJob(const OpenArchiveParams& params, JobHost& host);

}  // namespace vaultpack
