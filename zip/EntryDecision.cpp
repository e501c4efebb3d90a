#include "zip/EntryDecision.h"

#include <optional>

#include <sys/stat.h>

#include "files/FileName.h"
#include "zip/EntryPath.h"
#include "zip/ZipFormat.h"

namespace vaultpack {

namespace {

using Reason = FailureReason;

Reason KindRefusal(const ZipEntryInfo& info) {
    if (info.isFolder) {
        return Reason::None;  // a folder is made whatever its record claims
    }
    if (info.encryption == EntryEncryption::Unreadable) {
        return Reason::Encrypted;
    }
    if (info.method != kMethodStored && info.method != kMethodDeflated) {
        return Reason::MethodUnsupported;
    }
    if (!S_ISREG(info.mode) && !S_ISLNK(info.mode)) {
        return Reason::SpecialFile;
    }
    return Reason::None;
}

}  // namespace

EntryDecision Decide(const ZipEntryInfo& info) {
    EntryDecision decision;
    std::optional<std::string> target = SafeTargetString({}, info.name);
    if (!target || (!info.isFolder && !IsUsableFileName(LastComponent(info.name)))) {
        decision.refusal = Reason::UnsafeName;
        return decision;
    }
    decision.target = std::move(*target);
    decision.refusal = KindRefusal(info);
    decision.fitsAhead = decision.refusal == Reason::None && !info.isFolder && S_ISREG(info.mode) &&
                         !decision.target.empty() && info.compressedSize <= kLargestEntryAhead &&
                         info.uncompressedSize <= kLargestEntryAhead;
    return decision;
}

EntryOutcome RefusalOf(const EntryDecision& decision, const ZipEntryInfo& info) {
    if (decision.refusal == Reason::None) {
        return EntryOutcome::Done();
    }
    return EntryOutcome::Failed(
        ZipResult::FaultyArguments,
        Failure::Of(decision.refusal, info.name,
                    decision.refusal == Reason::MethodUnsupported ? std::to_string(info.method) : std::string()));
}

EntryOutcome RefusalOfKind(const ZipEntryInfo& info) {
    EntryDecision decision;
    decision.refusal = KindRefusal(info);
    return RefusalOf(decision, info);
}

}  // namespace vaultpack
