#include "zip/EntryPath.h"

#include <string>

namespace vaultpack {

namespace {

// Calls visit for every component between "/" separators, empty ones included.
template <typename Visitor>
void ForEachComponent(std::string_view name, Visitor visit) {
    std::size_t start = 0;
    while (true) {
        const std::size_t end = name.find('/', start);
        visit(name.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) {
            return;
        }
        start = end + 1;
    }
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

StoredNameProblem CheckStoredName(std::string_view storedName) {
    if (storedName.find('\0') != std::string_view::npos) {
        return StoredNameProblem::NulByte;
    }
    if (storedName.find('\\') != std::string_view::npos) {
        return StoredNameProblem::Backslash;
    }
    if (!storedName.empty() && storedName.front() == '/') {
        return StoredNameProblem::Absolute;
    }
    if (storedName.size() >= 2 && IsAsciiLetter(storedName[0]) && storedName[1] == ':') {
        return StoredNameProblem::DriveLetter;
    }
    if (storedName.empty()) {
        return StoredNameProblem::Empty;
    }
    bool parent = false;
    ForEachComponent(storedName, [&](std::string_view component) { parent = parent || component == ".."; });
    return parent ? StoredNameProblem::ParentFolder : StoredNameProblem::None;
}

std::optional<std::filesystem::path> SafeTargetPath(const std::filesystem::path& destination,
                                                    std::string_view storedName) {
    std::optional<std::string> target = SafeTargetString(destination.native(), storedName);
    return target ? std::optional<std::filesystem::path>(std::move(*target)) : std::nullopt;
}

std::optional<std::string> SafeTargetString(const std::string& destination, std::string_view storedName) {
    if (CheckStoredName(storedName) != StoredNameProblem::None) {
        return std::nullopt;
    }
    // Built as a string: appending to a path splits it into components again each time.
    std::string target = destination;
    ForEachComponent(storedName, [&](std::string_view component) {
        if (!component.empty() && component != ".") {
            if (!target.empty() && target.back() != '/') {
                target += '/';
            }
            target += component;
        }
    });
    return target;
}

std::string_view FolderOfTarget(std::string_view target) {
    const std::size_t lastSeparator = target.rfind('/');
    if (lastSeparator == std::string_view::npos) {
        return {};
    }
    const std::size_t folderEnd = target.find_last_not_of('/', lastSeparator);
    return target.substr(0, folderEnd == std::string_view::npos ? 1 : folderEnd + 1);  // "/" alone stays
}

bool LinkTargetStaysBelow(std::string_view storedName, std::string_view linkTarget) {
    if (CheckStoredName(storedName) != StoredNameProblem::None || linkTarget.empty() || linkTarget.front() == '/' ||
        linkTarget.find('\0') != std::string_view::npos) {
        return false;
    }
    int foldersAbove = -1;  // the folders from the destination down to the link's own
    ForEachComponent(storedName, [&](std::string_view component) {
        foldersAbove += !component.empty() && component != "." ? 1 : 0;
    });
    bool descended = false;
    bool below = true;
    ForEachComponent(linkTarget, [&](std::string_view component) {
        if (component == "..") {
            below = below && !descended && foldersAbove-- > 0;
        } else if (!component.empty() && component != ".") {
            descended = true;
        }
    });
    return below;
}

}  // namespace vaultpack
