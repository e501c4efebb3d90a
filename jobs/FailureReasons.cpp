#include "jobs/FailureReasons.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "jobs/JobMessages.h"
#include "zip/EntryPath.h"

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
        case FileOperation::CreateFolder: return MessageId::ReasonCannotCreateFolder;
    }
    return MessageId::ReasonCannotOpen;
}

MessageLine AboutFile(MessageId id, const std::string& file) { return MessageLine::Text(id, {file}); }

MessageLine WithCause(MessageId id, const Failure& failure) {
    return MessageLine::Text(id, {failure.path, std::strerror(failure.systemError)});
}

MessageLine FileAccessLine(const Failure& failure) {
    if (failure.operation == FileOperation::Replace && failure.systemError == EEXIST) {
        return AboutFile(MessageId::ReasonOutputAppeared, failure.path);
    }
    return WithCause(FileOperationMessage(failure.operation), failure);
}

// Why a stored entry name gives no file to extract; None stands for a safe
// name that names no file (such as "docs/.").
MessageLine StoredNameLine(StoredNameProblem problem) {
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

}  // namespace

MessageId FailureMessage(FailureReason reason, MessageId generic) {
    switch (reason) {
        case FailureReason::NotEncryptedFile: return MessageId::NotEncryptedFile;
        case FailureReason::VersionMismatch: return MessageId::VersionMismatch;
        case FailureReason::WrongPassword: return MessageId::WrongPassword;
        default: return generic;
    }
}

MessageLine InternalErrorLine(const std::string& diagnostic) {
    return MessageLine::Text(MessageId::ReasonInternalError, {diagnostic});
}

std::optional<MessageLine> ReasonLine(const Failure& failure) {
    using Reason = FailureReason;
    const std::string& path = failure.path;
    switch (failure.reason) {
        case Reason::FileAccess: return FileAccessLine(failure);
        case Reason::OutOfMemory: return MessageLine::Text(MessageId::ReasonOutOfMemory);
        case Reason::CannotStartThread:
            return MessageLine::Text(MessageId::ReasonCannotStartThread, {std::strerror(failure.systemError)});
        case Reason::Internal: return InternalErrorLine(failure.detail);
        case Reason::NotEncryptedFile:
        case Reason::VersionMismatch: return AboutFile(MessageId::ReasonNotEncryptedFile, path);
        case Reason::WrongPassword: return AboutFile(MessageId::ReasonPasswordMismatch, path);
        case Reason::EmptyPassword: return MessageLine::Text(MessageId::ReasonEmptyPassword);
        case Reason::SourceTooLarge: return AboutFile(MessageId::ReasonSourceTooLarge, path);
        case Reason::NameTooLong: return MessageLine::Text(MessageId::ReasonNameTooLong, {failure.detail});
        case Reason::TargetIsSource: return AboutFile(MessageId::ReasonOutputIsSource, path);
        case Reason::TargetIsContainer: return AboutFile(MessageId::ReasonOutputIsContainer, path);
        case Reason::TruncatedContainer: return AboutFile(MessageId::ReasonContainerTruncated, path);
        case Reason::UnsafeStoredName: return MessageLine::Text(MessageId::ReasonUnsafeStoredName, {path, failure.detail});
        case Reason::SourceShrank: return AboutFile(MessageId::ReasonSourceShrank, path);
        case Reason::SourceIsArchive: return AboutFile(MessageId::ReasonSourceIsTheArchive, path);
        case Reason::SourceIsOwnTemporary: return AboutFile(MessageId::ReasonSourceIsUnfinishedOutput, path);
        case Reason::UnsafeName: return StoredNameLine(CheckStoredName(path));
        case Reason::PathTooLong: return AboutFile(MessageId::ReasonPathTooLong, path);
        case Reason::DestinationUnusable: return WithCause(MessageId::ReasonDestinationUnusable, failure);
        case Reason::FolderIsLink: return AboutFile(MessageId::ReasonFolderIsLink, path);
        case Reason::NotAFolder: return AboutFile(MessageId::ReasonNotAFolder, path);
        case Reason::NotARegularFile: return AboutFile(MessageId::ReasonNotARegularFile, path);
        case Reason::IsTheArchive: return AboutFile(MessageId::ReasonEntryIsTheArchive, path);
        case Reason::IsTheContainer: return AboutFile(MessageId::ReasonEntryIsTheContainer, path);
        case Reason::Appeared: return AboutFile(MessageId::ReasonOutputAppeared, path);
        case Reason::Encrypted: return MessageLine::Text(MessageId::ReasonEntryEncrypted, {path});
        case Reason::EntryWrongPassword: return MessageLine::Text(MessageId::ReasonEntryWrongPassword);
        case Reason::EntryDataChanged: return MessageLine::Text(MessageId::ReasonEntryDataChanged);
        case Reason::EntryLocked: return MessageLine::Text(MessageId::ReasonEntryLocked);
        case Reason::MethodUnsupported:
            return MessageLine::Text(MessageId::ReasonEntryMethodUnsupported, {path, failure.detail});
        case Reason::LinkLeavesFolder: return MessageLine::Text(MessageId::ReasonLinkLeavesFolder, {path, failure.detail});
        case Reason::LinkUnreadable: return MessageLine::Text(MessageId::ReasonEntryIsLink, {path});
        case Reason::SpecialFile: return MessageLine::Text(MessageId::ReasonEntryIsSpecialFile, {path});
        case Reason::None:
        case Reason::UnacceptableName:
        case Reason::EntryUnreadable:
        case Reason::ArchiveData:
        case Reason::Cancelled: break;
    }
    return std::nullopt;
}

MessageLine ReasonLine(const std::exception& error) {
    if (const auto* failure = dynamic_cast<const FailureError*>(&error)) {
        return ReasonLine(failure->Get()).value_or(InternalErrorLine(error.what()));
    }
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
        return MessageLine::Text(MessageId::ReasonOutOfMemory);
    }
    return InternalErrorLine(error.what());
}

}  // namespace vaultpack
