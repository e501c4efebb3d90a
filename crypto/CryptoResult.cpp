#include "crypto/CryptoResult.h"

#include <new>
#include <utility>

namespace vaultpack {

FileOperationResult FailedResult(Failure failure) {
    FileOperationResult result;
    result.status = FileOperationStatus::Failed;
    result.failure = std::move(failure);
    return result;
}

FileOperationResult RunFileOperation(const std::function<FileOperationResult()>& operation) {
    try {
        return operation();
    } catch (const FailureError& error) {
        return FailedResult(error.Get());
    } catch (const std::bad_alloc&) {
        return FailedResult(Failure::Of(FailureReason::OutOfMemory));
    } catch (const std::exception& error) {
        return FailedResult(Failure::Of(FailureReason::Internal, {}, error.what()));
    }
}

}  // namespace vaultpack
