#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <utility>

#include "crypto/CryptoResult.h"
#include "crypto/EncryptedFileHeader.h"
#include "files/FileHandle.h"

namespace vaultpack {

// Whether a file starts with the magic "EZC" and version 2.
struct HeaderCheck {
    FailureReason failure = FailureReason::None;  // None, NotEncryptedFile or VersionMismatch

    bool Valid() const { return failure == FailureReason::None; }
};

// A container opened once, its clear header read once. Every question about
// it (is it a container of this version, is a password right, its hint, the
// name it restores to, its size) is answered from that one read, and the
// decoder reads the ciphertext through the same open file: all of them
// concern one file, even when another file takes its path meanwhile.
class EncryptedContainer {
public:
    // Opens the file and reads its header. A file that ends before its header
    // does is no error here: the missing bytes read as zero and
    // HeaderComplete() is false. Throws FileError when the file can't be
    // opened or read; anything but a regular file is refused.
    static EncryptedContainer Open(const std::filesystem::path& path);

    const std::filesystem::path& Path() const { return path_; }
    HeaderCheck CheckHeader() const;
    bool HeaderComplete() const { return headerLength_ == EncryptedFileHeader::kSize; }
    // True when the MD5 of the password's bytes equals the stored digest;
    // false when the file ends before the digest does.
    bool PasswordMatches(std::string_view password) const;
    // The fields, as far as the file holds them.
    const EncryptedFileHeader& Header() const { return header_; }
    // What followed the header when the file was opened.
    std::uint64_t CipherBytes() const;
    // Where decrypting writes: the container's folder and the stored name
    // reduced to a plain file name. Throws FailureError(UnsafeStoredName) when
    // no usable name is left.
    std::filesystem::path TargetPath() const;
    // True when `path` names this very file (also through links).
    bool IsAt(const std::filesystem::path& path) const;
    // The open file the ciphertext is read from.
    FileHandle& File() { return file_; }

private:
    EncryptedContainer(std::filesystem::path path, FileHandle file) : path_(std::move(path)), file_(std::move(file)) {}

    std::filesystem::path path_;
    FileHandle file_;
    EncryptedFileHeader::Bytes bytes_{};
    std::size_t headerLength_ = 0;  // how many of the header's bytes the file holds
    std::uint64_t fileLength_ = 0;
    EncryptedFileHeader header_;
};

}  // namespace vaultpack
