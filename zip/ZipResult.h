#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vaultpack {

// Result of a ZIP facility operation; Success is 0. The values are fixed:
// the jobs show the matching text from ZipResultText inside their messages.
enum class ZipResult : std::uint32_t {
    Success = 0,
    DuplicateHandleFailed = 0x100,
    CannotOpenFile = 0x200,
    OutOfMemory = 0x300,
    WriteFailed = 0x400,
    EntryNotFound = 0x500,
    MoreDataToUnzip = 0x600,
    CorruptArchive = 0x700,
    ReadFailed = 0x800,
    FaultyArguments = 0x10000,
    NotMemoryArchive = 0x20000,
    MemoryTooSmall = 0x30000,
    PreviousError = 0x40000,
    AdditionsEnded = 0x50000,
    SizeMismatch = 0x60000,
    PartiallyUnzipped = 0x70000,
    MixedCreateAndOpen = 0x80000,
    NotInitialised = 0x1000000,
    UnseekableSeek = 0x2000000,
    ChangeOfMindRefused = 0x4000000,
    FlationError = 0x5000000,
};

// The fixed English text of a code; "unknown zip result code" for any value
// that is not in the table.
std::string_view ZipResultText(ZipResult code);

// Copies the code's text into buffer, cut to bufferSize - 1 bytes and
// zero-terminated, and returns the full length of the text. With no buffer or
// a size of 0 it only returns the length.
std::size_t ZipResultText(ZipResult code, char* buffer, std::size_t bufferSize);

}  // namespace vaultpack
