#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include <sys/types.h>

namespace vaultpack {

// How an entry's data is encrypted.
enum class EntryEncryption {
    None,
    Traditional,  // the traditional PKWARE cipher: weak
    Aes,          // AES in the AE-1 or AE-2 framing
    Unreadable,   // strong encryption, or an AES record without a valid 0x9901 field
};

// What ZipReader::GetEntry reports about an archive, or about one entry.
struct ZipEntryInfo {
    // The entry's index; -1 when the record describes the archive, in which
    // case only entryCount is filled.
    std::int64_t index = -1;
    std::int64_t entryCount = 0;

    // The stored name as UTF-8, with the archive's "/" separators; a folder
    // entry's name usually ends with "/".
    std::string name;

    bool isFolder = false;
    // True when the entry carries a Unix mode (in the upper half of its
    // external attributes); otherwise mode is derived from the DOS attributes.
    bool hasUnixMode = false;
    // File type and permission bits (S_IFREG | 0644 and so on).
    mode_t mode = 0;
    std::uint32_t externalAttributes = 0;
    // Compression method (0 stored, 8 deflated; for AES entries the method
    // inside, not the record's 99) and whether the entry is encrypted, how,
    // and for AES with how many key bits.
    std::uint16_t method = 0;
    bool encrypted = false;
    EntryEncryption encryption = EntryEncryption::None;
    unsigned aesKeyBits = 0;

    std::uint64_t uncompressedSize = 0;
    std::uint64_t compressedSize = 0;
    std::uint32_t crc = 0;

    // In whole seconds, from the central record's most exact time field (see
    // ReadEntryTimes), otherwise from its DOS date and time read as local
    // time. Access and creation times fall back to the modification time.
    // ExtractEntry also reads the local header, and keeps sub-second times.
    std::time_t lastWriteTime = 0;
    std::time_t lastAccessTime = 0;
    std::time_t creationTime = 0;
};

}  // namespace vaultpack
