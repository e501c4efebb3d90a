#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

#include "files/TemporaryFileRegistry.h"
#include "zip/EntryWriter.h"

namespace vaultpack {

// The folders that workers made ahead of the entries that need them. Each
// stays registered for removal (by identity, through the folder above it)
// until an entry landed in order needs it, and those never needed are
// removed when this object goes, so stopping early leaves what extracting in
// order would have left. The owner serialises the calls (with the writer's).
class FoldersAhead {
public:
    static constexpr std::size_t kMost = 32;

    FoldersAhead() = default;
    FoldersAhead(const FoldersAhead&) = delete;
    FoldersAhead& operator=(const FoldersAhead&) = delete;
    ~FoldersAhead();

    // Makes the folders missing down to `folder` through writer, unless that
    // would hold more than kMost or removal is under way; whether it made any.
    // A problem on the way is left to the entry's turn.
    bool Make(EntryWriter& writer, const std::string& folder);
    // `folder` and those above it are needed in order now, so they stay.
    void Keep(std::string_view folder);

private:
    struct Made {
        EntryWriter::MadeFolder folder;
        MadeFile made;
        int registration = -1;
    };
    std::map<std::string, Made> made_;  // by relative path
};

}  // namespace vaultpack
