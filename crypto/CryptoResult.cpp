#include "crypto/CryptoResult.h"

#include "files/FileHandle.h"

namespace vaultpack {
namespace {

MessageId MessageFor(CryptoFailure failure, MessageId genericMessage) {
    switch (failure) {
    case CryptoFailure::NotEncryptedFile:
        return MessageId::NotEncryptedFile;
    case CryptoFailure::VersionMismatch:
        return MessageId::VersionMismatch;
    case CryptoFailure::WrongPassword:
        return MessageId::WrongPassword;
    default:
        return genericMessage;
    }
}

FileOperationResult Failed(CryptoFailure failure, MessageId genericMessage, const std::string& detail) {
    FileOperationResult result;
    result.status = FileOperationStatus::Failed;
    result.failure = failure;
    result.message = MessageFor(failure, genericMessage);
    result.detail = detail;
    return result;
}

}  // namespace

FileOperationResult RunFileOperation(MessageId genericMessage, const std::function<FileOperationResult()>& operation) {
    try {
        FileOperationResult result = operation();
        result.message = MessageFor(result.failure, genericMessage);
        return result;
    } catch (const CryptoError& error) {
        return Failed(error.Failure(), genericMessage, error.what());
    } catch (const FileError& error) {
        return Failed(CryptoFailure::FileAccess, genericMessage, error.what());
    } catch (const std::exception& error) {
        return Failed(CryptoFailure::Internal, genericMessage, error.what());
    }
}

}  // namespace vaultpack
