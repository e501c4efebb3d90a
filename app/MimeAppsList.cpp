#include "app/MimeAppsList.h"

#include <cerrno>
#include <functional>

#include <sys/stat.h>

#include "files/FileHandle.h"
#include "files/OutputFile.h"

namespace vaultpack {

namespace {

constexpr std::string_view kDefaultsGroup = "Default Applications";
constexpr std::string_view kBlanks = " \t\r";

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The whole file; nothing when it does not exist.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file) {
    FileHandle handle;
    try {
        handle = FileHandle::OpenForReading(file);
    } catch (const FileError& error) {
        if (error.ErrorNumber() == ENOENT) {
            return std::nullopt;
        }
        throw;
    }
    std::string content;
    char buffer[16384];
    while (const std::size_t count = handle.Read(buffer, sizeof buffer)) {
        content.append(buffer, count);
    }
    return content;
}

// Calls visit(line, value) for each line of the type in the defaults group;
// `line` spans the line with its line feed.
void ForEachDefaultLine(std::string_view content, std::string_view mimeType,
                        const std::function<void(std::string_view line, std::string_view value)>& visit) {
    bool inDefaults = false;
    for (std::size_t start = 0; start < content.size();) {
        const std::size_t feed = content.find('\n', start);
        const std::size_t end = feed == std::string_view::npos ? content.size() : feed + 1;
        const std::string_view line = content.substr(start, end - start);
        const std::string_view text = Trimmed(line.substr(0, line.find('\n')));
        if (text.starts_with('[')) {
            inDefaults = text == "[" + std::string(kDefaultsGroup) + "]";
        } else if (const std::size_t equals = text.find('=');
                   inDefaults && equals != std::string_view::npos && Trimmed(text.substr(0, equals)) == mimeType) {
            visit(line, Trimmed(text.substr(equals + 1)));
        }
        start = end;
    }
}

}  // namespace

bool MimeAppsList::NamesEntry(std::string_view value, std::string_view desktopEntry) {
    if (value.ends_with(';')) {
        value.remove_suffix(1);
    }
    return value == desktopEntry;
}

std::optional<std::string> MimeAppsList::DefaultApplication(std::string_view mimeType) const {
    const std::optional<std::string> content = ReadWholeFile(file_);
    std::optional<std::string> found;
    if (content) {
        ForEachDefaultLine(*content, mimeType, [&](std::string_view, std::string_view value) {
            if (!found) {
                found = std::string(value);  // the first line counts, as for the desktop's own readers
            }
        });
    }
    return found;
}

bool MimeAppsList::RemoveDefaultApplication(std::string_view mimeType, std::string_view desktopEntry) const {
    const std::optional<std::string> content = ReadWholeFile(file_);
    if (!content) {
        return false;
    }
    std::string kept;
    std::size_t copiedUpTo = 0;
    bool removed = false;
    ForEachDefaultLine(*content, mimeType, [&](std::string_view line, std::string_view value) {
        if (NamesEntry(value, desktopEntry)) {
            const std::size_t lineStart = static_cast<std::size_t>(line.data() - content->data());
            kept.append(*content, copiedUpTo, lineStart - copiedUpTo);
            copiedUpTo = lineStart + line.size();
            removed = true;
        }
    });
    if (!removed) {
        return false;
    }
    kept.append(*content, copiedUpTo);

    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(file_, error);
    if (error) {
        throw FileError(FileOperation::Examine, file_, error.value());
    }
    struct stat status {};
    if (::stat(target.c_str(), &status) != 0) {
        ThrowLastError(FileOperation::Examine, target);
    }
    OutputFile output(target);
    output.File().WriteAll(kept.data(), kept.size());
    if (::fchmod(output.File().Descriptor(), status.st_mode & 07777) != 0) {
        ThrowLastError(FileOperation::Write, target);
    }
    output.Commit({.replaceExisting = true, .durable = true});
    return true;
}

}  // namespace vaultpack
