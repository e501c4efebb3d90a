#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vaultpack {

// The user's default applications, as the file mimeapps.list holds them in
// its [Default Applications] group ("type=entry.desktop" lines). Only the
// lines asked for are looked at or removed; every other byte of the file
// stays as it is.
class MimeAppsList {
public:
    explicit MimeAppsList(std::filesystem::path file) : file_(std::move(file)) {}

    // The value of the type's line, without the blanks around it; nothing
    // when the file, the group or the line is missing. Throws FileError when
    // the file exists but cannot be read.
    std::optional<std::string> DefaultApplication(std::string_view mimeType) const;

    // Removes the type's lines whose value names exactly desktopEntry (with
    // or without the list's closing ";"), and returns whether there were any.
    // The file is rewritten under a temporary name in its own folder, with
    // its permissions, and renamed over itself (over the link's target, when
    // it is a symbolic link), so a failure leaves it whole. Throws FileError.
    bool RemoveDefaultApplication(std::string_view mimeType, std::string_view desktopEntry) const;

    // Whether a line's value names exactly desktopEntry: the same bytes, in
    // the same letter case, with nothing after it but the list's closing ";".
    static bool NamesEntry(std::string_view value, std::string_view desktopEntry);

private:
    std::filesystem::path file_;
};

}  // namespace vaultpack
