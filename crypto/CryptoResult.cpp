#include "crypto/CryptoResult.h"

#include <new>
#include <utility>

#include "files/WorkerPool.h"

namespace vaultpack {

CryptoError::CryptoError(CryptoFailure failure, std::filesystem::path subject, std::string name)
    : std::runtime_error("refused (" + std::to_string(static_cast<int>(failure)) + "): " + subject.string()),
      failure_(failure),
      subject_(std::move(subject)),
      name_(std::move(name)) {}

FileOperationResult FailedResult(CryptoFailure failure, std::filesystem::path subject, std::string name) {
    FileOperationResult result;
    result.status = FileOperationStatus::Failed;
    result.failure = failure;
    result.subject = std::move(subject);
    result.name = std::move(name);
    return result;
}

FileOperationResult RunFileOperation(const std::function<FileOperationResult()>& operation) {
    try {
        return operation();
    } catch (const CryptoError& error) {
        return FailedResult(error.Failure(), error.Subject(), error.Name());
    } catch (const FileError& error) {
        FileOperationResult result = FailedResult(CryptoFailure::FileAccess, error.Path());
        result.fileError = error;
        return result;
    } catch (const std::bad_alloc&) {
        return FailedResult(CryptoFailure::OutOfMemory, {});
    } catch (const ThreadStartError& error) {
        FileOperationResult result = FailedResult(CryptoFailure::CannotStartThread, {});
        result.threadStartError = error.ErrorNumber();
        return result;
    } catch (const std::exception& error) {
        FileOperationResult result = FailedResult(CryptoFailure::Internal, {});
        result.internalDetail = error.what();
        return result;
    }
}

}  // namespace vaultpack
