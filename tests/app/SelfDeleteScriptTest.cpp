// The self-delete script run for real: a copy of a program running in the
// background, the script started detached, the copy removed only once that
// process has ended; paths with characters a shell would otherwise read.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "app/SelfDeleteScript.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace vaultpack {
namespace {

using namespace std::chrono_literals;

// Characters that end a word, start an expansion or a command in a shell.
const std::string kAwkwardName = "a b'c\"d $(touch injected) `touch injected` $HOME\nend";

pid_t StartProgram(const std::filesystem::path& program) {
    const std::string path = program.string();
    char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>("30"), nullptr};
    pid_t process = 0;
    EXPECT_EQ(::posix_spawn(&process, path.c_str(), nullptr, nullptr, argv, environ), 0);
    return process;
}

bool GoneWithin(const std::filesystem::path& file, std::chrono::seconds limit) {
    for (const auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;) {
        if (!std::filesystem::exists(std::filesystem::symlink_status(file))) {
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

TEST(SelfDeleteScript, RemovesTheProgramAfterItEndsThenAnEmptyFolderThenItself) {
    struct Row {
        const char* name;
        bool folderHoldsFiles;
    };
    for (const Row row : {Row{"empty default folder", false}, Row{"default folder in use", true}}) {
        test::TempDir dir;
        // The script inherits the working folder: a name read as a command would make "injected" here.
        const std::filesystem::path previousFolder = std::filesystem::current_path();
        std::filesystem::current_path(dir.Path());
        const std::filesystem::path awkward = dir / kAwkwardName;
        std::filesystem::create_directories(awkward / "bin");
        std::filesystem::create_directories(awkward / "Vaultpack Drive");
        if (row.folderHoldsFiles) {
            test::WriteFile(awkward / "Vaultpack Drive" / "kept.txt", "kept");
        }
        const std::filesystem::path program = awkward / "bin" / "vaultpack";
        std::filesystem::copy_file("/bin/sleep", program);
        const pid_t process = StartProgram(program);
        const SelfDeleteScript script{program, awkward / "Vaultpack Drive", awkward / "_uninsep.sh", process};
        test::WriteFile(script.scriptFile, "an old script, replaced");

        WriteSelfDeleteScript(script);
        ASSERT_FALSE(StartSelfDeleteScript(script)) << row.name;
        std::this_thread::sleep_for(1500ms);
        EXPECT_TRUE(std::filesystem::exists(program)) << row.name << ": removed while the program runs";

        ::kill(process, SIGTERM);
        ::waitpid(process, nullptr, 0);
        EXPECT_TRUE(GoneWithin(script.scriptFile, 10s)) << row.name;
        EXPECT_FALSE(std::filesystem::exists(program)) << row.name;
        EXPECT_EQ(std::filesystem::exists(awkward / "Vaultpack Drive"), row.folderHoldsFiles) << row.name;
        EXPECT_EQ(test::FolderEntries(awkward), (row.folderHoldsFiles ? std::vector<std::string>{"Vaultpack Drive", "bin"}
                                                                   : std::vector<std::string>{"bin"}))
            << row.name << ": nothing made by a name read as a command";
        EXPECT_EQ(test::FolderEntries(dir.Path()), std::vector<std::string>{kAwkwardName}) << row.name;
        std::filesystem::current_path(previousFolder);
    }
}

TEST(SelfDeleteScript, NeverWritesThroughALinkInItsPlace) {
    test::TempDir dir;
    test::WriteFile(dir / "victim", "precious");
    std::filesystem::create_symlink(dir / "victim", dir / "_uninsep.sh");
    WriteSelfDeleteScript({dir / "vaultpack", dir / "folder", dir / "_uninsep.sh", 1});
    EXPECT_EQ(test::ReadFile(dir / "victim"), std::vector<unsigned char>({'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "_uninsep.sh"));
}

}  // namespace
}  // namespace vaultpack
