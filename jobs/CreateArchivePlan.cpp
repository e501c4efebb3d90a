#include "jobs/CreateArchivePlan.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include <sys/stat.h>

namespace vaultpack {

CreateCombination ChooseCombination(const CreateArchiveParams& params) {
    const bool encrypt = params.encryptEnabled;
    const bool zip = params.zipEnabled || !encrypt;
    if (params.items.size() > 1) {
        return encrypt ? CreateCombination::ZipListThenEncrypt : CreateCombination::ZipList;
    }
    if (!encrypt) {
        return CreateCombination::ZipSingle;
    }
    if (!zip) {
        return CreateCombination::EncryptSingle;
    }
    return params.order == 0 ? CreateCombination::EncryptSingleThenZip : CreateCombination::ZipSingleThenEncrypt;
}

namespace {

// What makes two sources the same file: device and inode, or for a path that
// cannot be examined (the job reports it when it gets there), the path itself.
using SourceKey = std::pair<std::pair<dev_t, ino_t>, std::filesystem::path>;

SourceKey KeyOf(const std::filesystem::path& source) {
    struct stat status {};
    if (::stat(source.c_str(), &status) == 0) {
        return {{status.st_dev, status.st_ino}, {}};
    }
    return {{0, 0}, std::filesystem::absolute(source).lexically_normal()};
}

std::string ArchiveName(const ArchiveItem& item) {
    std::string name = item.StoredName();
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

}  // namespace

std::optional<StoredNameClash> DropRepeatedSources(std::vector<ArchiveItem>& items) {
    // Only a name that repeats needs its files examined, so a long list of
    // distinct names costs no look at the files.
    struct FirstHolder {
        std::filesystem::path source;
        std::optional<SourceKey> key;
    };
    std::unordered_map<std::string, FirstHolder> byName;
    std::optional<StoredNameClash> clash;
    std::erase_if(items, [&](const ArchiveItem& item) {
        const auto [taken, inserted] = byName.try_emplace(ArchiveName(item), FirstHolder{item.sourcePath, {}});
        if (inserted) {
            return false;
        }
        FirstHolder& first = taken->second;
        if (!first.key) {
            first.key = KeyOf(first.source);
        }
        if (*first.key != KeyOf(item.sourcePath) && !clash) {
            clash = StoredNameClash{first.source, item.sourcePath};
        }
        return true;
    });
    return clash;
}

FileFilter OutputKind(CreateCombination combination) {
    switch (combination) {
        case CreateCombination::ZipList:
        case CreateCombination::ZipSingle:
        case CreateCombination::EncryptSingleThenZip:
            return FileFilter::Zip;
        case CreateCombination::ZipListThenEncrypt:
        case CreateCombination::EncryptSingle:
        case CreateCombination::ZipSingleThenEncrypt:
            break;
    }
    return FileFilter::Ezc;
}

namespace {

std::string_view WithoutExtension(std::string_view name) {
    return name.substr(0, name.rfind('.'));
}

}  // namespace

std::string BaseName(const std::filesystem::path& path) {
    return std::string(WithoutExtension(path.filename().string()));
}

std::string DefaultOutputName(std::string_view itemName, FileFilter kind) {
    return std::string(WithoutExtension(itemName)) + "." + std::string(ExtensionOf(kind));
}

}  // namespace vaultpack
