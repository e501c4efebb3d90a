#include "app/InstalledFiles.h"

#include <array>

namespace vaultpack {

namespace {

// The build passes the names that its install rules use.
constexpr std::string_view kApplicationId = VAULTPACK_APPLICATION_ID;
constexpr std::string_view kEncryptedMimeType = VAULTPACK_ENCRYPTED_MIME_TYPE;
constexpr std::string_view kZipMimeType = "application/zip";
constexpr std::array kIconSizes = {VAULTPACK_ICON_SIZES};

// An icon in the hicolor theme, scalable and at every size.
std::vector<std::filesystem::path> ThemeIcons(std::string_view context, const std::string& name) {
    const std::filesystem::path theme = "icons/hicolor";
    std::vector<std::filesystem::path> files;
    for (const int size : kIconSizes) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        files.push_back(theme / folder / context / (name + ".png"));
    }
    files.push_back(theme / "scalable" / context / (name + ".svg"));
    return files;
}

}  // namespace

std::string_view ApplicationId() { return kApplicationId; }

std::string DesktopEntryName() { return std::string(kApplicationId) + ".desktop"; }

// Named to sort after the menu entry: the desktop database lists each type's
// entries by name, and a type with no default opens with the first, which for
// a container must stay the menu entry's "-d".
std::string OpenEntryName() { return std::string(kApplicationId) + "Open.desktop"; }

std::string_view EncryptedFileMimeType() { return kEncryptedMimeType; }

std::string_view ZipMimeType() { return kZipMimeType; }

std::vector<std::filesystem::path> DesktopEntryFiles() {
    const std::filesystem::path folder = "applications";
    return {folder / DesktopEntryName(), folder / OpenEntryName()};
}

std::vector<std::filesystem::path> EncryptedFileTypeFiles() {
    std::string iconName(kEncryptedMimeType);
    iconName[iconName.find('/')] = '-';
    std::vector<std::filesystem::path> files = ThemeIcons("mimetypes", iconName);
    files.push_back(std::filesystem::path("mime/packages") / (std::string(kApplicationId) + ".xml"));
    return files;
}

std::vector<std::filesystem::path> ProgramDataFiles() {
    std::vector<std::filesystem::path> files = ThemeIcons("apps", std::string(kApplicationId));
    files.push_back(std::filesystem::path("metainfo") / (std::string(kApplicationId) + ".metainfo.xml"));
    files.push_back("man/man1/vaultpack.1.gz");
    files.push_back("man/man1/vaultpack-cli.1.gz");
    files.push_back("bash-completion/completions/vaultpack-cli");
    return files;
}

std::string_view CommandLineProgramName() { return "vaultpack-cli"; }

}  // namespace vaultpack
