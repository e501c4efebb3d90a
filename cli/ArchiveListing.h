#pragma once

#include <ctime>
#include <filesystem>
#include <ostream>
#include <string>

#include "app/MessageCatalogue.h"
#include "cli/ExitStatus.h"

namespace vaultpack {

// A time as UTC in ISO 8601: "2025-01-31T23:59:58Z"; "@" and the seconds
// since 1970 for a time that no calendar year of ours can hold.
std::string FormatUtcTime(std::time_t time);

// "list": one line per entry of the archive, in the archive's order: the size
// in bytes right-aligned in 12 columns, two blanks, the modification time
// (FormatUtcTime), two blanks, the stored name (control characters shown as
// "?"). An archive that cannot be opened gets message 126 and the reason on
// `errors`; an entry that cannot be read is reported there and the listing
// goes on; either gives Failed.
ExitStatus PrintArchiveListing(const std::filesystem::path& archive, const MessageCatalogue& catalogue,
                               std::ostream& output, std::ostream& errors);

}  // namespace vaultpack
