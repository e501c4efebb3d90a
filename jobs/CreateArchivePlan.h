#pragma once

#include <filesystem>
#include <string>
#include <string_view>

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
