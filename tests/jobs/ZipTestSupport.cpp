#include "tests/jobs/ZipTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <stdexcept>

#include <sys/stat.h>
#include <sys/wait.h>
#include <zip.h>

#include "jobs/EntryPath.h"
#include "jobs/ZipReader.h"
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
        if (zipOpenNewFileInZip4_64(handle, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                    Z_DEFLATED, 6, 0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0,
                                    entry.hostSystem << 8 | 20, entry.flags, 0) != ZIP_OK ||
            zipWriteInFileInZip(handle, entry.data.data(), static_cast<unsigned>(entry.data.size())) != ZIP_OK ||
            zipCloseFileInZip(handle) != ZIP_OK) {
            zipClose(handle, nullptr);
            throw std::runtime_error("cannot write entry " + entry.name);
        }
    }
    zipClose(handle, nullptr);
}

ExtractionReport ExtractAll(const std::filesystem::path& archive, const std::filesystem::path& destination) {
    ExtractionReport report;
    const auto reader = ZipReader::Open(archive);
    if (!reader) {
        throw std::runtime_error("cannot open " + archive.string());
    }
    ZipEntryInfo info;
    reader->GetEntry(-1, info);
    const std::int64_t count = info.entryCount;
    for (std::int64_t i = 0; i < count; ++i) {
        ZipResult result = reader->GetEntry(i, info);
        const auto target = SafeTargetPath(destination, info.name);
        if (result == ZipResult::Success && !target) {
            ++report.refused;
            continue;
        }
        if (result == ZipResult::Success) {
            std::filesystem::create_directories(info.isFolder ? *target : target->parent_path());
            result = reader->ExtractEntry(i, *target);
        }
        if (result == ZipResult::Success) {
            ++report.extracted;
        } else {
            report.failures.push_back(result);
        }
    }
    reader->Close();
    return report;
}

std::map<std::string, TreeItem> ReadTree(const std::filesystem::path& root) {
    std::map<std::string, TreeItem> tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        struct stat status {};
        ::lstat(entry.path().c_str(), &status);
        TreeItem item;
        item.folder = S_ISDIR(status.st_mode);
        if (!item.folder) {
            const auto bytes = ReadFile(entry.path());
            item.content.assign(bytes.begin(), bytes.end());
            item.lastWriteTime = status.st_mtime;
            item.permissions = status.st_mode & 07777;
        }
        tree[std::filesystem::relative(entry.path(), root).string()] = item;
    }
    return tree;
}

void PrintTo(const TreeItem& item, std::ostream* out) {
    if (item.folder) {
        *out << "folder";
    } else {
        *out << item.content.size() << " bytes, time " << item.lastWriteTime << ", mode " << std::oct
             << item.permissions << std::dec;
    }
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
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        throw std::runtime_error("cannot run " + command);
    }
    char buffer[4096];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        output.append(buffer, count);
    }
    ::pclose(pipe);
    return output;
}

void UseTimeZone(const char* zone) {
    ::setenv("TZ", zone, 1);
    ::tzset();
}

}  // namespace vaultpack::test
