#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jobs/JobHost.h"
#include "jobs/JobRecords.h"

namespace vaultpack {

// The ways the create-archive job can combine its two steps.
enum class CreateCombination {
    ZipList,                 // several items zipped into the output
    ZipListThenEncrypt,      // several items zipped into a temporary archive, encrypted into the output
    ZipSingle,               // one item zipped into the output
    EncryptSingle,           // one item encrypted into the output
    ZipSingleThenEncrypt,    // one item zipped into a temporary archive, encrypted into the output
    EncryptSingleThenZip,    // one item encrypted into a temporary container, zipped into the output
};

// The combination the record's switches select. More than one item always
// goes through an archive of the list: with encryption it is zipped first even
// when zipEnabled is clear, as the options dialog enforces. A record with
// neither switch set is zipped, the one step left that makes sense.
CreateCombination ChooseCombination(const CreateArchiveParams& params);

// Two rows of a list archive that would be stored under one name, so that
// extracting the archive would keep only one of them.
struct StoredNameClash {
    std::filesystem::path first;
    std::filesystem::path second;
};

// Drops every row that repeats an earlier row's stored name with the same
// source file (the same path given twice, or one file reached by two paths),
// and returns the first two rows left that would store different files under
// one name; nothing when every name is taken once.
std::optional<StoredNameClash> DropRepeatedSources(std::vector<ArchiveItem>& items);

// What the output file is: a ZIP archive or an encrypted container.
FileFilter OutputKind(CreateCombination combination);

// A path's file name with everything from its last full stop on removed; the
// whole file name when it has no full stop.
std::string BaseName(const std::filesystem::path& path);

// The name the save dialog offers for one item: its name with the text from
// the last full stop on replaced by ".zip" or ".ezc" (appended when it has no
// full stop).
std::string DefaultOutputName(std::string_view itemName, FileFilter kind);

}  // namespace vaultpack
