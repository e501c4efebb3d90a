#include "jobs/FailureReasons.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "files/WorkerPool.h"
#include "jobs/JobMessages.h"

namespace vaultpack {
namespace {

MessageId FileOperationMessage(FileOperation operation) {
    switch (operation) {
        case FileOperation::Open: return MessageId::ReasonCannotOpen;
        case FileOperation::Create: return MessageId::ReasonCannotCreate;
        case FileOperation::Read: return MessageId::ReasonCannotRead;
        case FileOperation::Write: return MessageId::ReasonCannotWrite;
        case FileOperation::Close: return MessageId::ReasonCannotClose;
        case FileOperation::Examine: return MessageId::ReasonCannotExamine;
        case FileOperation::Replace: return MessageId::ReasonCannotReplace;
        case FileOperation::CreateTemporaryFileIn: return MessageId::ReasonCannotCreateTemporaryFile;
        case FileOperation::CreateFolderIn: return MessageId::ReasonCannotCreateTemporaryFolder;
    }
    return MessageId::ReasonCannotOpen;
}

MessageLine AboutFile(MessageId id, const std::filesystem::path& file) { return MessageLine::Text(id, {file.string()}); }

MessageLine InternalError(const std::string& diagnostic) {
    return MessageLine::Text(MessageId::ReasonInternalError, {diagnostic});
}

MessageLine ThreadStartLine(int errorNumber) {
    return MessageLine::Text(MessageId::ReasonCannotStartThread, {std::strerror(errorNumber)});
}

}  // namespace

MessageId FailureMessage(CryptoFailure failure, MessageId generic) {
    switch (failure) {
        case CryptoFailure::NotEncryptedFile: return MessageId::NotEncryptedFile;
        case CryptoFailure::VersionMismatch: return MessageId::VersionMismatch;
        case CryptoFailure::WrongPassword: return MessageId::WrongPassword;
        default: return generic;
    }
}

MessageLine ReasonLine(const FileOperationResult& result) {
    const std::filesystem::path& subject = result.subject;
    switch (result.failure) {
        case CryptoFailure::NotEncryptedFile:
        case CryptoFailure::VersionMismatch: return AboutFile(MessageId::ReasonNotEncryptedFile, subject);
        case CryptoFailure::WrongPassword: return AboutFile(MessageId::ReasonPasswordMismatch, subject);
        case CryptoFailure::EmptyPassword: return MessageLine::Text(MessageId::ReasonEmptyPassword);
        case CryptoFailure::SourceTooLarge: return AboutFile(MessageId::ReasonSourceTooLarge, subject);
        case CryptoFailure::NameTooLong: return MessageLine::Text(MessageId::ReasonNameTooLong, {result.name});
        case CryptoFailure::TargetIsSource: return AboutFile(MessageId::ReasonOutputIsSource, subject);
        case CryptoFailure::TargetIsContainer: return AboutFile(MessageId::ReasonOutputIsContainer, subject);
        case CryptoFailure::TruncatedContainer: return AboutFile(MessageId::ReasonContainerTruncated, subject);
        case CryptoFailure::SourceShrank: return AboutFile(MessageId::ReasonSourceShrank, subject);
        case CryptoFailure::UnsafeStoredName:
            return MessageLine::Text(MessageId::ReasonUnsafeStoredName, {subject.string(), result.name});
        case CryptoFailure::OutOfMemory: return MessageLine::Text(MessageId::ReasonOutOfMemory);
        case CryptoFailure::CannotStartThread: return ThreadStartLine(result.threadStartError);
        case CryptoFailure::FileAccess:
            if (result.fileError) {
                return ReasonLine(*result.fileError);
            }
            break;
        case CryptoFailure::None:
        case CryptoFailure::Internal: break;
    }
    return InternalError(result.internalDetail);
}

MessageLine ReasonLine(const FileError& error) {
    if (error.Operation() == FileOperation::Replace && error.ErrorNumber() == EEXIST) {
        return AboutFile(MessageId::ReasonOutputAppeared, error.Path());
    }
    return MessageLine::Text(FileOperationMessage(error.Operation()),
                             {error.Path().string(), std::strerror(error.ErrorNumber())});
}

MessageLine ReasonLine(StoredNameProblem problem) {
    switch (problem) {
        case StoredNameProblem::None: return MessageLine::Text(MessageId::ReasonEntryNamesNoFile);
        case StoredNameProblem::Empty: return MessageLine::Text(MessageId::ReasonEntryHasNoName);
        case StoredNameProblem::NulByte: return MessageLine::Text(MessageId::ReasonEntryNameHasZeroByte);
        case StoredNameProblem::Backslash: return MessageLine::Text(MessageId::ReasonEntryNameHasBackslash);
        case StoredNameProblem::Absolute: return MessageLine::Text(MessageId::ReasonEntryNameAbsolute);
        case StoredNameProblem::DriveLetter: return MessageLine::Text(MessageId::ReasonEntryNameDriveLetter);
        case StoredNameProblem::ParentFolder: return MessageLine::Text(MessageId::ReasonEntryNameLeavesFolder);
    }
    return MessageLine::Text(MessageId::ReasonEntryNamesNoFile);
}

MessageLine ReasonLine(const EntryOutcome& outcome, const std::string& entryName) {
    using Reason = EntryOutcome::Reason;
    const std::string& path = outcome.path;
    const auto withCause = [&](MessageId id) {
        return MessageLine::Text(id, {path, std::strerror(outcome.systemError)});
    };
    switch (outcome.reason) {
        case Reason::NameTooLong: return AboutFile(MessageId::ReasonPathTooLong, path);
        case Reason::DestinationUnusable: return withCause(MessageId::ReasonDestinationUnusable);
        case Reason::FolderIsLink: return AboutFile(MessageId::ReasonFolderIsLink, path);
        case Reason::NotAFolder: return AboutFile(MessageId::ReasonNotAFolder, path);
        case Reason::CannotCreateFolder: return withCause(MessageId::ReasonCannotCreateFolder);
        case Reason::NotARegularFile: return AboutFile(MessageId::ReasonNotARegularFile, path);
        case Reason::IsTheArchive: return AboutFile(MessageId::ReasonEntryIsTheArchive, path);
        case Reason::IsTheContainer: return AboutFile(MessageId::ReasonEntryIsTheContainer, path);
        case Reason::Appeared: return AboutFile(MessageId::ReasonOutputAppeared, path);
        case Reason::CannotCreateTemporaryFile: return withCause(MessageId::ReasonCannotCreateTemporaryFile);
        case Reason::CannotCreateFile: return withCause(MessageId::ReasonCannotCreate);
        case Reason::WriteFailed:
            return outcome.systemError == 0 ? ZipResultLine(outcome.result) : withCause(MessageId::ReasonCannotWrite);
        case Reason::Encrypted: return MessageLine::Text(MessageId::ReasonEntryEncrypted, {entryName});
        case Reason::MethodUnsupported:
            return MessageLine::Text(MessageId::ReasonEntryMethodUnsupported, {entryName, outcome.detail});
        case Reason::LinkLeavesFolder:
            return MessageLine::Text(MessageId::ReasonLinkLeavesFolder, {entryName, outcome.detail});
        case Reason::LinkUnreadable: return MessageLine::Text(MessageId::ReasonEntryIsLink, {entryName});
        case Reason::SpecialFile: return MessageLine::Text(MessageId::ReasonEntryIsSpecialFile, {entryName});
        case Reason::UnsafeName: return ReasonLine(CheckStoredName(entryName));
        case Reason::None:
        case Reason::EntryUnreadable:
        case Reason::ArchiveData:
        case Reason::Cancelled: break;
    }
    return ZipResultLine(outcome.result);
}

std::optional<MessageLine> ReasonLine(const ZipWriteFailure& failure, const std::filesystem::path& source) {
    switch (failure.cause) {
        case ZipWriteFailure::Cause::FileAccess:
            if (failure.fileError) {
                return ReasonLine(*failure.fileError);
            }
            break;
        case ZipWriteFailure::Cause::SourceChanged: return AboutFile(MessageId::ReasonSourceShrank, source);
        case ZipWriteFailure::Cause::SourceIsArchive: return AboutFile(MessageId::ReasonSourceIsTheArchive, source);
        case ZipWriteFailure::Cause::SourceIsOwnTemporary:
            return AboutFile(MessageId::ReasonSourceIsUnfinishedOutput, source);
        case ZipWriteFailure::Cause::OutOfMemory: return MessageLine::Text(MessageId::ReasonOutOfMemory);
        case ZipWriteFailure::Cause::None:
        case ZipWriteFailure::Cause::UnacceptableName: break;
    }
    return std::nullopt;
}

MessageLine ReasonLine(const std::exception& error) {
    if (const auto* fileError = dynamic_cast<const FileError*>(&error)) {
        return ReasonLine(*fileError);
    }
    if (const auto* refusal = dynamic_cast<const CryptoError*>(&error)) {
        return ReasonLine(FailedResult(refusal->Failure(), refusal->Subject(), refusal->Name()));
    }
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
        return MessageLine::Text(MessageId::ReasonOutOfMemory);
    }
    if (const auto* threadStart = dynamic_cast<const ThreadStartError*>(&error)) {
        return ThreadStartLine(threadStart->ErrorNumber());
    }
    return InternalError(error.what());
}

}  // namespace vaultpack
