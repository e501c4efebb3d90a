// The whole uninstall against temporary user folders and a program in a
// prefix of its own: everything of ours goes, nothing of another program's;
// a program file of the system's stays, with its prefix, and the final
// message says so.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>

#include "app/InstalledFiles.h"
#include "app/Uninstall.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace vaultpack {
namespace {

using namespace std::chrono_literals;

// The id of a process that has ended, so that the script does not wait.
pid_t EndedProcess() {
    char* argv[] = {const_cast<char*>("true"), nullptr};
    pid_t process = 0;
    ::posix_spawnp(&process, "true", nullptr, nullptr, argv, environ);
    ::waitpid(process, nullptr, 0);
    return process;
}

TEST(Uninstall, RemovesWhatAUserInstallPutInPlaceAndLeavesTheRest) {
    struct Row {
        const char* name;
        bool listedByPackageManager;
    };
    for (const Row row : {Row{"user's program", false}, Row{"package's program", true}}) {
        test::TempDir dir;
        const std::filesystem::path prefix = dir / "prefix";
        UninstallTarget target{dir / "data", dir / "config", prefix / "bin/vaultpack", EndedProcess(),
                               dir / "Vaultpack Drive", dir / "_uninsep.sh", dir / "dpkg"};
        std::vector<std::filesystem::path> ours = DesktopEntryFiles();
        for (const auto& list : {EncryptedFileTypeFiles(), ProgramDataFiles()}) {
            ours.insert(ours.end(), list.begin(), list.end());
        }
        const std::vector<std::filesystem::path> others = {"applications/other.desktop", "mime/packages/other.xml",
                                                           "icons/hicolor/48x48/apps/other.png"};
        for (const std::filesystem::path& share : {target.dataHome, prefix / "share"}) {
            for (const auto& list : {ours, others}) {
                for (const std::filesystem::path& file : list) {
                    std::filesystem::create_directories((share / file).parent_path());
                    test::WriteFile(share / file, "x");
                }
            }
        }
        std::filesystem::create_directories(dir / "config");
        const std::string otherDefaults = "[Default Applications]\ntext/plain=gedit.desktop\n";
        test::WriteFile(dir / "config/mimeapps.list", otherDefaults + "application/zip=org.vaultpack.Vaultpack.desktop\n" +
                                                           std::string(EncryptedFileMimeType()) +
                                                           "=org.vaultpack.Vaultpack.desktop\n");
        std::filesystem::create_directories(prefix / "bin");
        std::filesystem::create_directories(dir / "dpkg/info");
        std::filesystem::create_directories(dir / "dpkg/updates");
        test::WriteFile(dir / "dpkg/status", "Package: vaultpack\nStatus: install ok installed\nArchitecture: amd64\n"
                                             "Version: 1.05-1\nMaintainer: V <v@example.org>\nDescription: v\n\n");
        test::WriteFile(target.programFile, "program");
        test::WriteFile(prefix / "bin/vaultpack-cli", "cli");
        test::WriteFile(prefix / "bin/other-program", "other");
        test::WriteFile(dir / "dpkg/info/vaultpack.list",
                        "/.\n/usr\n" + (row.listedByPackageManager ? target.programFile.string() + "\n" : ""));

        const std::vector<MessageId> message = Uninstall(target);

        for (const std::filesystem::path& file : ours) {
            EXPECT_FALSE(std::filesystem::exists(target.dataHome / file)) << row.name << ": " << file;
            EXPECT_EQ(std::filesystem::exists(prefix / "share" / file), row.listedByPackageManager)
                << row.name << ": prefix's " << file;
        }
        for (const std::filesystem::path& file : others) {
            EXPECT_TRUE(std::filesystem::exists(target.dataHome / file)) << row.name << ": " << file;
            EXPECT_TRUE(std::filesystem::exists(prefix / "share" / file)) << row.name << ": prefix's " << file;
        }
        const std::vector<unsigned char> defaults = test::ReadFile(dir / "config/mimeapps.list");
        EXPECT_EQ(std::string(defaults.begin(), defaults.end()), otherDefaults) << row.name;
        EXPECT_TRUE(std::filesystem::exists(prefix / "bin/other-program")) << row.name;
        if (row.listedByPackageManager) {
            EXPECT_EQ(message, (std::vector{MessageId::ProgramUninstalled, MessageId::ProgramBelongsToSystem}));
            EXPECT_TRUE(std::filesystem::exists(target.programFile));
            EXPECT_TRUE(std::filesystem::exists(prefix / "bin/vaultpack-cli"));
            EXPECT_FALSE(std::filesystem::exists(target.scriptFile)) << "no script that could not succeed";
        } else {
            EXPECT_EQ(message, std::vector{MessageId::ProgramUninstalled});
            EXPECT_FALSE(std::filesystem::exists(prefix / "bin/vaultpack-cli"));
            for (int wait = 0; wait < 100 && std::filesystem::exists(target.scriptFile); ++wait) {
                std::this_thread::sleep_for(50ms);
            }
            EXPECT_FALSE(std::filesystem::exists(target.scriptFile)) << "the script ends by removing itself";
            EXPECT_FALSE(std::filesystem::exists(target.programFile));
        }
    }
}

}  // namespace
}  // namespace vaultpack
