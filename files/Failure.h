#pragma once

#include <stdexcept>
#include <string>

namespace vaultpack {

// The file operations that can fail, so that the layer talking to the user
// can say which one did in the user's language.
enum class FileOperation {
    Open,
    Create,
    Read,
    Write,
    Close,
    Examine,
    Replace,
    CreateTemporaryFileIn,  // the path is the folder
    CreateFolderIn,         // a scratch folder; the path is the folder it is made in
    CreateFolder,           // the path is the folder that could not be made
};

// Why something the engine was asked to do did not happen. The engine only
// names the reason; the jobs say it in the user's language.
enum class FailureReason {
    None,
    // Anything.
    FileAccess,         // `operation` on `path` failed with `systemError`
    OutOfMemory,
    CannotStartThread,  // not one worker thread could be started (`systemError`)
    Internal,           // anything else that was thrown; `detail` is its diagnostic
    // Encrypting and decrypting (`path`: the source, the container or the output).
    NotEncryptedFile,    // the container does not start with the magic
    VersionMismatch,     // magic right, version byte wrong
    WrongPassword,       // the password's digest differs from the stored one
    EmptyPassword,
    SourceTooLarge,      // 4 GiB or more does not fit the 32-bit length field
    NameTooLong,         // the name (`detail`) does not fit the 260-byte field with its terminator
    TargetIsSource,      // the encrypted output would replace the file being read
    TargetIsContainer,   // the decrypted output would replace its own container
    TruncatedContainer,  // fewer cipher bytes than the stored length needs
    UnsafeStoredName,    // the stored name (`detail`) is not a plain file name
    // Adding to an archive (`path`: the source).
    SourceShrank,          // the source became shorter or changed while it was read
    SourceIsArchive,       // the source is the archive being written
    SourceIsOwnTemporary,  // the source is a file this process is still writing
    UnacceptableName,      // the stored name would be refused on extraction; the ZIP code says it
    // Extracting an entry (`path`: where it goes, or the stored name where the
    // kind or the name is refused).
    EntryUnreadable,      // the entry's record cannot be read; the ZIP code says how
    UnsafeName,           // the stored name gives no file below the destination
    PathTooLong,          // the target is beyond the system's limits for a path or a name
    DestinationUnusable,  // the destination cannot be made or opened as a folder (`systemError`)
    FolderIsLink,         // a folder on the way is a symbolic link, which is not followed
    NotAFolder,           // something other than a folder stands where a folder belongs
    NotARegularFile,      // a folder, FIFO or device stands at the target
    IsTheArchive,         // the target is the archive being read
    IsTheContainer,       // the target is the container the archive came from
    Appeared,             // a file appeared at the target after the user was asked
    Encrypted,            // entries this facility does not extract
    EntryWrongPassword,   // the password does not open the encrypted entry
    EntryDataChanged,     // the encrypted entry's authentication code does not match its data
    EntryLocked,          // an encrypted entry skipped: no password was given
    MethodUnsupported,    // `detail`: the method's number
    LinkLeavesFolder,     // `detail`: the link's target
    LinkUnreadable,
    SpecialFile,
    ArchiveData,          // reading the archive or the entry's data failed; the ZIP code says how
    Cancelled,
};

// One failure, whatever part of the engine met it: the reason, and for the
// reasons that have them the operation, the system's error number, the path
// concerned and one more detail (see FailureReason).
struct Failure {
    FailureReason reason = FailureReason::None;
    FileOperation operation = FileOperation::Open;
    int systemError = 0;
    std::string path;
    std::string detail;

    bool Failed() const { return reason != FailureReason::None; }
    static Failure Of(FailureReason reason, std::string path = {}, std::string detail = {}) {
        return {reason, FileOperation::Open, 0, std::move(path), std::move(detail)};
    }
    static Failure OfFile(FileOperation operation, std::string path, int systemError) {
        return {FailureReason::FileAccess, operation, systemError, std::move(path), {}};
    }
};

// A Failure thrown inside the engine. what() is a terse diagnostic for logs,
// not a text for the user.
class FailureError : public std::runtime_error {
public:
    explicit FailureError(Failure failure);
    const Failure& Get() const { return failure_; }

private:
    Failure failure_;
};

// A FileAccess failure: a file that could not be opened, read, written or
// renamed.
class FileError : public FailureError {
public:
    FileError(FileOperation operation, const std::string& path, int errorNumber)
        : FailureError(Failure::OfFile(operation, path, errorNumber)) {}
    FileOperation Operation() const { return Get().operation; }
    const std::string& Path() const { return Get().path; }
    int ErrorNumber() const { return Get().systemError; }
};

}  // namespace vaultpack
