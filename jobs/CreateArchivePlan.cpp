#include "jobs/CreateArchivePlan.h"

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

std::string_view ExtensionOf(FileFilter kind) {
    return kind == FileFilter::Zip ? "zip" : "ezc";
}

}  // namespace

std::string BaseName(const std::filesystem::path& path) {
    return std::string(WithoutExtension(path.filename().string()));
}

std::string DefaultOutputName(std::string_view itemName, FileFilter kind) {
    return std::string(WithoutExtension(itemName)) + "." + std::string(ExtensionOf(kind));
}

}  // namespace vaultpack
