#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vaultpack {

// Why a stored entry name may not be turned into a path on disk.
enum class StoredNameProblem {
    None,          // the name is safe
    Empty,         // no name at all
    NulByte,       // a zero byte inside the name
    Backslash,     // a backslash, which Windows tools use as a separator
    Absolute,      // starts with "/"
    DriveLetter,   // starts with a drive letter and a colon ("C:")
    ParentFolder,  // a ".." component
};

// Checks a stored name ("/" separators, as held in the archive) against every
// way it could name something outside the folder it is extracted into.
StoredNameProblem CheckStoredName(std::string_view storedName);

// The path below destination that a stored name stands for, with empty and
// "." components dropped (a folder entry's trailing "/" included); nothing when
// CheckStoredName finds a problem. The result is destination joined with plain
// components only, so it never leaves destination by name; a name made of "."
// components alone (some tools store "./") gives destination itself.
std::optional<std::filesystem::path> SafeTargetPath(const std::filesystem::path& destination,
                                                    std::string_view storedName);
// The same as a string, which is cheaper to keep and compare than a path.
std::optional<std::string> SafeTargetString(const std::string& destination, std::string_view storedName);
// The folder that holds a target made so, as std::filesystem::path's
// parent_path names it (the separators before the last component dropped),
// without splitting the path into components.
std::string_view FolderOfTarget(std::string_view target);

// True when a symbolic link stored under storedName, pointing at linkTarget,
// leads to a place at or below the folder it is extracted into, judged by
// name alone: the target is relative, and its ".." components all come first
// and climb no higher than the link's own folder. A ".." after a name could
// climb out of a folder that is itself a link, so it is refused.
bool LinkTargetStaysBelow(std::string_view storedName, std::string_view linkTarget);

}  // namespace vaultpack
