#include "tests/zip/ZipTestSupport.h"

#include <cstdlib>
#include <stdexcept>

#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <zip.h>

#include "zip/EntryPath.h"
#include "zip/EntryExtraction.h"
#include "zip/ZipReader.h"
#include "tests/support/TempDir.h"

namespace vaultpack::test {

void WriteRawZip(const std::filesystem::path& archive, const std::vector<RawEntry>& entries) {
    zipFile handle = zipOpen64(archive.c_str(), APPEND_STATUS_CREATE);
    if (handle == nullptr) {
        throw std::runtime_error("cannot create " + archive.string());
    }
    for (const RawEntry& entry : entries) {
        zip_fileinfo info{};
        info.dosDate = entry.dosDateTime;
        info.external_fa = entry.externalAttributes;
        if (zipOpenNewFileInZip4_64(handle, entry.name.c_str(), &info, entry.localExtra.data(),
                                    static_cast<uInt>(entry.localExtra.size()), entry.centralExtra.data(),
                                    static_cast<uInt>(entry.centralExtra.size()), nullptr, Z_DEFLATED, 6, 0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0,
                                    entry.hostSystem << 8 | 20, entry.flags, 0) != ZIP_OK ||
            zipWriteInFileInZip(handle, entry.data.data(), static_cast<unsigned>(entry.data.size())) != ZIP_OK ||
            zipCloseFileInZip(handle) != ZIP_OK) {
            zipClose(handle, nullptr);
            throw std::runtime_error("cannot write entry " + entry.name);
        }
    }
    zipClose(handle, nullptr);
}

std::string ReadText(const std::filesystem::path& path) {
    const std::vector<unsigned char> bytes = ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

std::string MixedText(std::size_t size) {
    std::string fixed;
    for (const unsigned char byte : PseudoRandomBytes(20000, 1)) {
        fixed += static_cast<char>('a' + byte % 26);
    }
    std::string text;
    for (unsigned seed = 2; text.size() < size; ++seed) {
        text += fixed;
        for (const unsigned char byte : PseudoRandomBytes(10000, seed)) {
            text += static_cast<char>('a' + byte % 26);
        }
    }
    text.resize(size);
    return text;
}

std::vector<std::string> ExtractAll(const std::filesystem::path& archive, const std::filesystem::path& destination) {
    const auto reader = ZipReader::Open(archive);
    if (!reader) {
        throw std::runtime_error("cannot open " + archive.string());
    }
    std::vector<std::string> notExtracted;
    ZipEntryInfo info;
    reader->GetEntry(-1, info);
    for (std::int64_t i = 0, count = info.entryCount; i < count; ++i) {
        ZipResult result = reader->GetEntry(i, info);
        const auto target = SafeTargetPath(destination, info.name);
        if (result == ZipResult::Success && target) {
            std::filesystem::create_directories(info.isFolder ? *target : target->parent_path());
            result = ExtractEntry(*reader, i, *target);
        }
        if (result != ZipResult::Success || !target) {
            notExtracted.push_back(info.name);
        }
    }
    return notExtracted;
}

std::vector<std::string> WriteSampleTree(const std::filesystem::path& root) {
    const std::vector<std::string> names = {
        "Folder/Sub/notes.txt", "Folder/Sub/deeper/empty.txt", "random.bin", "name with spaces.txt",
        "Ünïcödé ß.txt",        "data.ZIP",                    "backup.tgz", "readonly.txt"};
    const mode_t modes[] = {0640, 0644, 0644, 0755, 0644, 0644, 0600, 0444};
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::filesystem::path path = root / names[i];
        std::filesystem::create_directories(path.parent_path());
        if (names[i] == "random.bin") {
            WriteFile(path, PseudoRandomBytes(1 << 20));
        } else {
            WriteFile(path, i == 1 ? "" : names[i] + " holds text\n" + std::string(i * 100, 'z'));
        }
        ::chmod(path.c_str(), modes[i]);
        const std::time_t mtime = (i % 2 == 0 ? 1700000001 : 1690000001) + static_cast<std::time_t>(i) * 3600;
        const timeval times[2] = {{mtime - 100, 0}, {mtime, 0}};
        ::utimes(path.c_str(), times);
    }
    return names;
}

std::map<std::string, TreeItem> ReadTree(const std::filesystem::path& root) {
    std::map<std::string, TreeItem> tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        struct stat status {};
        ::lstat(entry.path().c_str(), &status);
        TreeItem& item = tree[entry.path().lexically_relative(root).string()];
        if (S_ISLNK(status.st_mode)) {
            item.content = "-> " + std::filesystem::read_symlink(entry.path()).string();
        } else if (!(item.folder = S_ISDIR(status.st_mode))) {
            item = {false, ReadText(entry.path()), status.st_mtime, static_cast<mode_t>(status.st_mode & 07777)};
        }
    }
    return tree;
}

void PrintTo(const TreeItem& item, std::ostream* out) {
    *out << (item.folder ? "folder, " : "") << item.content.size() << " bytes, time " << item.lastWriteTime
         << ", mode " << std::oct << item.permissions << std::dec;
}

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

int RunCommand(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Capture(const std::string& command) {
    const TempDir scratch;
    RunCommand(command + " >" + Quote(scratch / "stdout"));
    return ReadText(scratch / "stdout");
}

void UseTimeZone(const char* zone) {
    ::setenv("TZ", zone, 1);
    ::tzset();
}

}  // namespace vaultpack::test
