#pragma once

// Details of the ZIP format that the writer and the reader share: which
// entries are stored uncompressed, how names are encoded, and how times are
// held (DOS date and time, and the extra fields that hold times).

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace vaultpack {

// The DOS read-only attribute, in the low byte of the external attributes.
inline constexpr std::uint32_t kDosReadOnly = 0x01;
// The Unix host, in the high byte of "version made by".
inline constexpr unsigned kHostUnix = 3;
// General purpose flag bit 11: the name is UTF-8.
inline constexpr std::uint16_t kUtf8NameFlag = 1u << 11;
// The signatures of the records, and the tag of the Zip64 extra field.
inline constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
inline constexpr std::uint32_t kCentralHeaderSignature = 0x02014b50;
inline constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
inline constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
inline constexpr std::uint32_t kEndSignature = 0x06054b50;
inline constexpr std::uint16_t kZip64Tag = 0x0001;
// The compression methods written and extracted.
inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflated = 8;
// The method number of AES-encrypted entries; the method inside is in their 0x9901 field.
inline constexpr std::uint16_t kMethodAes = 99;

// The unsigned little-endian number in count bytes (at most 8). Inline: the
// reader calls it for every field of every entry.
inline std::uint64_t LittleEndian(const unsigned char* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

// True when the stored name's text from its last full stop on is, ignoring
// case, the extension of an already compressed format (.zip, .gz, ...).
bool IsStoredExtension(std::string_view storedName);

bool IsValidUtf8(std::string_view text);

// True for a name that needs the UTF-8 flag (general purpose bit 11): it has
// bytes outside ASCII and is valid UTF-8.
bool NeedsUtf8Flag(std::string_view name);

// A stored name as the name to restore. Names written on DOS or Windows
// without the UTF-8 flag (fromDosHost) are kept when they are valid UTF-8 and
// otherwise decoded from code page 437, as those systems wrote them; all
// other names are kept byte for byte, as Unix tools store file names.
std::string DecodeEntryName(std::string_view rawName, bool fromDosHost);

// DOS date (high 16 bits) and time (low 16 bits) in local time, as ZIP tools
// on this platform read them; times outside 1980 to 2107 are clamped.
std::uint32_t DosDateTimeFromTime(std::time_t time);
std::time_t TimeFromDosDateTime(std::uint32_t dosDateTime);

// The extended-timestamp extra field. The local header's copy holds the
// modification, access and creation times, the central directory's only the
// modification time; both carry flags 7. Times before 1970 are stored as 1970
// and times after 2037 as the last second of 2037.
inline constexpr std::size_t kLocalTimestampExtraSize = 17;
inline constexpr std::size_t kCentralTimestampExtraSize = 9;
std::array<unsigned char, kLocalTimestampExtraSize> LocalTimestampExtra(std::time_t modification,
                                                                        std::time_t access,
                                                                        std::time_t creation);
std::array<unsigned char, kCentralTimestampExtraSize> CentralTimestampExtra(std::time_t modification);

// Calls visit(tag, data) for every field of an extra-field block, each found
// by its own length; a field that claims more bytes than the block holds gets
// the bytes there are and ends the walk.
template <typename Visit>
void ForEachExtraField(std::span<const unsigned char> block, Visit&& visit) {
    for (std::size_t pos = 0; pos + 4 <= block.size();) {
        const auto tag = static_cast<std::uint16_t>(LittleEndian(&block[pos], 2));
        const auto length = std::min<std::size_t>(LittleEndian(&block[pos + 2], 2), block.size() - pos - 4);
        visit(tag, block.subspan(pos + 4, length));
        pos += 4 + length;
    }
}

// A time as the file system holds it: whole seconds since 1970 and nanoseconds (0 to 999999999).
struct FileTime {
    std::time_t seconds = 0;
    long nanoseconds = 0;
    bool operator==(const FileTime&) const = default;
};

struct EntryTimes {
    FileTime modification;
    FileTime access;
    FileTime creation;
};

// An entry's times. Every field of the extra-field blocks is walked by its
// own length, and each time comes from the most exact field that holds it:
// the NTFS field (100 ns ticks, UTC), then the extended timestamp "UT", then
// the old Info-ZIP Unix field "UX"; of two blocks holding the same kind of
// field, the earlier one wins. A modification time found in none of them is
// the DOS date and time read as local time; access and creation times found
// in none are the modification time. Truncated fields give what they hold.
EntryTimes ReadEntryTimes(std::uint32_t dosDateTime,
                          std::initializer_list<std::span<const unsigned char>> extraBlocks);

}  // namespace vaultpack
