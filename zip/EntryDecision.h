#pragma once

#include <cstdint>
#include <string>

#include "zip/EntryOutcome.h"
#include "zip/ZipEntryInfo.h"

namespace vaultpack {

// What becomes of an entry, judged from its record alone: the one rule on
// names and kinds, for the job's thread and the workers that extract ahead of
// it alike.
struct EntryDecision {
    // UnsafeName when the name gives no file to extract (it is checked before
    // anything is made); Encrypted, MethodUnsupported or SpecialFile for a
    // kind that is not extracted (refused at the entry's place); None otherwise.
    FailureReason refusal = FailureReason::None;
    // The target below the destination as plain components joined by "/";
    // empty for the destination itself.
    std::string target;
    // A small regular file, which a worker may make ahead where nothing stands.
    bool fitsAhead = false;
};

// Entries larger than this, compressed or not, are never made ahead, so that
// each worker holds at most about twice this much.
inline constexpr std::uint64_t kLargestEntryAhead = 1024 * 1024;

EntryDecision Decide(const ZipEntryInfo& info);

// The refusal of a kind that is not extracted (see EntryDecision::refusal),
// whatever the entry's name; Done when there is none. A refusal's failure
// names the entry by its stored name.
EntryOutcome RefusalOfKind(const ZipEntryInfo& info);

// The decision's refusal as an outcome; Done when there is none.
EntryOutcome RefusalOf(const EntryDecision& decision, const ZipEntryInfo& info);

}  // namespace vaultpack
