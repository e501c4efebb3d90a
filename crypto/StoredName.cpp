#include "crypto/StoredName.h"

#include "files/AsciiCase.h"
#include "files/FileName.h"

namespace vaultpack {

std::optional<std::string> SafeStoredName(std::string_view storedName) {
    const auto separator = storedName.find_last_of("/\\");
    const std::string_view last = separator == std::string_view::npos ? storedName : storedName.substr(separator + 1);
    if (!IsUsableFileName(last)) {
        return std::nullopt;
    }
    return std::string(last);
}

bool HasZipExtension(std::string_view name) {
    const auto dot = name.find_last_of('.');
    if (dot == std::string_view::npos) {
        return false;
    }
    const std::string_view extension = name.substr(dot + 1);
    return EqualIgnoringAsciiCase(extension, "zip");
}

}  // namespace vaultpack
