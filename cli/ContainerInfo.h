#pragma once

#include <filesystem>
#include <ostream>

#include "app/MessageCatalogue.h"
#include "cli/ExitStatus.h"

namespace vaultpack {

// "info": prints the clear header of a container, one field a line:
//   Stored name: report.txt
//   Plain length: 1024
//   Hint: --            (as the password form shows an empty hint)
//   Zip flag: 1
//   Version: 2
// A file that is not a container of this version, or whose header is cut
// short, gets message 151 or 152 on `errors` and Failed.
ExitStatus PrintContainerInfo(const std::filesystem::path& container, const MessageCatalogue& catalogue,
                              std::ostream& output, std::ostream& errors);

}  // namespace vaultpack
