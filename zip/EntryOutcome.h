#pragma once

#include <string>
#include <utility>

#include "files/Failure.h"
#include "zip/ZipResult.h"

namespace vaultpack {

// How putting one entry on disk ended: the ZIP facility's code and, beside
// it, why it failed (reason None: the code says all there is), so that the
// job can say exactly what went wrong without looking again.
struct EntryOutcome {
    ZipResult result = ZipResult::Success;
    Failure failure;

    bool Succeeded() const { return result == ZipResult::Success; }
    static EntryOutcome Done() { return {}; }
    static EntryOutcome Failed(ZipResult result, Failure failure) { return {result, std::move(failure)}; }
    static EntryOutcome Failed(ZipResult result, FailureReason reason, std::string path, int systemError = 0) {
        return {result, {reason, FileOperation::Open, systemError, std::move(path), {}}};
    }
};

}  // namespace vaultpack
