#include "zip/ZipResult.h"

#include <algorithm>
#include <cstring>

namespace vaultpack {

std::string_view ZipResultText(ZipResult code) {
    switch (code) {
        case ZipResult::Success: return "Success";
        // The spelling of this text is part of the fixed table.
        case ZipResult::DuplicateHandleFailed: return "Culdn't duplicate handle";
        case ZipResult::CannotOpenFile: return "Couldn't create/open file";
        case ZipResult::OutOfMemory: return "Failed to allocate memory";
        case ZipResult::WriteFailed: return "Error writing to file";
        case ZipResult::EntryNotFound: return "File not found in the zipfile";
        case ZipResult::MoreDataToUnzip: return "Still more data to unzip";
        case ZipResult::CorruptArchive: return "Zipfile is corrupt or not a zipfile";
        case ZipResult::ReadFailed: return "Error reading file";
        case ZipResult::FaultyArguments: return "Caller: faulty arguments";
        case ZipResult::NotMemoryArchive: return "Caller: can only get memory of a memory zipfile";
        case ZipResult::MemoryTooSmall: return "Caller: not enough space allocated for memory zipfile";
        case ZipResult::PreviousError: return "Caller: there was a previous error";
        case ZipResult::AdditionsEnded: return "Caller: additions to the zip have already been ended";
        case ZipResult::SizeMismatch: return "Zip-bug: the anticipated size turned out wrong";
        case ZipResult::PartiallyUnzipped: return "Caller: the file had already been partially unzipped";
        case ZipResult::MixedCreateAndOpen: return "Caller: mixing creation and opening of zip";
        case ZipResult::NotInitialised: return "Zip-bug: internal initialisation not completed";
        case ZipResult::UnseekableSeek: return "Zip-bug: trying to seek the unseekable";
        case ZipResult::ChangeOfMindRefused: return "Zip-bug: tried to change mind, but not allowed";
        case ZipResult::FlationError: return "Zip-bug: an internal error during flation";
    }
    return "unknown zip result code";
}

std::size_t ZipResultText(ZipResult code, char* buffer, std::size_t bufferSize) {
    const std::string_view text = ZipResultText(code);
    if (buffer != nullptr && bufferSize > 0) {
        const std::size_t copied = std::min(text.size(), bufferSize - 1);
        std::memcpy(buffer, text.data(), copied);
        buffer[copied] = '\0';
    }
    return text.size();
}

}  // namespace vaultpack
