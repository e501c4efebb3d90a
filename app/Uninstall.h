#pragma once

#include <filesystem>
#include <vector>

#include "resources/MessageId.h"

namespace vaultpack {

// Where the uninstall looks: the user's folders, the program file and the
// package manager's file lists. CurrentUninstallTarget() describes this
// process and this user; tests point the folders elsewhere.
struct UninstallTarget {
    std::filesystem::path dataHome;    // empty when the user's folders are unknown: they are left alone
    std::filesystem::path configHome;
    std::filesystem::path programFile;
    pid_t programProcess = 0;
    std::filesystem::path defaultInstallFolder;
    std::filesystem::path scriptFile;
    std::filesystem::path packageDatabase = "/var/lib/dpkg";
};

UninstallTarget CurrentUninstallTarget();

// Whether the program file is the system's rather than the user's: a file of
// an installed package (dpkg-query with packageDatabase as its database
// finds it), or in a folder that the user may not change. Such a file is left to the package
// manager, which would otherwise keep listing a file that is gone.
bool ProgramBelongsToSystem(const std::filesystem::path& programFile,
                            const std::filesystem::path& packageDatabase);

// Removes what an installation for this user put in place, in this order:
// the desktop entries and the program's other data files; the encrypted-file
// association; when the program file is the user's, the data files of its
// own prefix (P/share beside P/bin, when that is not the user's data
// folder), the command-line program beside it and, through the self-delete
// script, the program file itself; the ZIP association when it is the
// program's own. Then refreshes the MIME and desktop databases of the
// folders it changed. No failure stops the run or is reported.
// Returns the paragraphs of the final message, "Program Uninstalled" first.
std::vector<MessageId> Uninstall(const UninstallTarget& target);

}  // namespace vaultpack
