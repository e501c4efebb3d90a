#include "files/TemporaryFileRegistry.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/FileHandle.h"
#include "files/OutputFile.h"
#include "files/PrivateFolder.h"
#include "tests/support/ResourceLimits.h"
#include "tests/support/TempDir.h"

namespace vaultpack {
namespace {

using Names = std::vector<std::string>;

// Removals run in a child process, as in a program ending abruptly: in this
// process, nothing could be created after a removal.
void RemoveInChild() {
    EXPECT_EQ(test::ExitStatusInChild([] {
                  RemoveRegisteredFiles();
                  return 0;
              }),
              0);
}

// A folder registered before its file and before a folder inside it, a second
// file, and a third unregistered again.
TEST(TemporaryFileRegistry, RemovesWhatIsRegisteredInAnyOrder) {
    const test::TempDir dir;
    std::filesystem::create_directories(dir / "folder/sub");
    const std::string folder = dir / "folder", inner = dir / "folder/a", sub = dir / "folder/sub",
                      second = dir / "b", kept = dir / "c";
    for (const std::string* file : {&inner, &second, &kept}) {
        test::WriteFile(*file, "x");
    }
    const int tokens[] = {RegisterTemporaryPath(folder.c_str()), RegisterTemporaryPath(inner.c_str()),
                          RegisterTemporaryPath(sub.c_str()), RegisterTemporaryPath(second.c_str())};
    UnregisterTemporaryPath(RegisterTemporaryPath(kept.c_str()));
    RemoveInChild();
    EXPECT_EQ(test::FolderEntries(dir.Path()), Names{"c"});
    for (const int token : tokens) {
        EXPECT_GE(token, 0);
        UnregisterTemporaryPath(token);
    }
}

// A tree goes whole, however deep, and a link in it goes without what it
// points to; a private folder does the same when it goes out of scope.
TEST(TemporaryFileRegistry, RemovesARegisteredTreeButNotWhatItsLinksPointTo) {
    const test::TempDir dir;
    const std::string tree = dir / "tree", outside = dir / "outside";
    std::filesystem::create_directories(tree);
    std::filesystem::create_directories(outside);
    // Deeper than a path may name, than a walk with a folder open per level
    // could go, or a stack frame per level: made one level at a time.
    int folder = ::open(tree.c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < 3000 && folder >= 0; ++level) {
        ASSERT_EQ(::mkdirat(folder, "d", 0700), 0);
        const int next = ::openat(folder, "d", O_RDONLY | O_DIRECTORY);
        ::close(folder);
        folder = next;
    }
    ASSERT_GE(folder, 0);
    const int file = ::openat(folder, "file", O_CREAT | O_WRONLY, 0600);
    EXPECT_GE(file, 0);
    ::close(file);
    ::close(folder);
    test::WriteFile(tree + "/top", "x");
    test::WriteFile(outside + "/kept", "x");
    std::filesystem::create_directory_symlink(outside, tree + "/link");
    const int token = RegisterTemporaryTree(tree.c_str());
    EXPECT_GE(token, 0);
    RemoveInChild();
    UnregisterTemporaryPath(token);
    EXPECT_EQ(test::FolderEntries(dir.Path()), Names{"outside"});
    EXPECT_EQ(test::FolderEntries(outside), Names{"kept"});

    std::filesystem::path made;
    {
        const PrivateFolder folder("vaultpack-test-");
        made = folder.Path();
        std::filesystem::create_directories(made / "sub/sub/sub");
        test::WriteFile(made / "sub/sub/sub/file", "x");
        EXPECT_EQ(std::filesystem::status(made).permissions(), std::filesystem::perms::owner_all);
    }
    EXPECT_FALSE(std::filesystem::exists(made));
}

TEST(TemporaryFileRegistry, AFullRegistryLeavesTheNextPathAlone) {
    const test::TempDir dir;
    const std::string extra = dir / "extra";
    test::WriteFile(extra, "x");
    std::vector<int> tokens(kTemporaryPathSlots);
    for (int& token : tokens) {
        token = RegisterTemporaryPath("/nonexistent/vaultpack-slot");
    }
    EXPECT_EQ(RegisterTemporaryPath(extra.c_str()), -1);
    RemoveInChild();
    EXPECT_TRUE(std::filesystem::exists(extra));
    for (const int token : tokens) {
        UnregisterTemporaryPath(token);
    }
}

// An output has its final name only once committed; until then it has no
// name or a registered temporary one, which a removal takes away. The
// committed one stays.
TEST(TemporaryFileRegistry, HoldsAnOutputFileUntilItsCommit) {
    const test::TempDir dir;
    {
        OutputFile abandoned(dir / "abandoned");
        abandoned.File().WriteAll("x", 1);
        OutputFile committed(dir / "done");
        committed.Commit();
        for (const std::string& name : test::FolderEntries(dir.Path())) {
            EXPECT_TRUE(name == "done" || name.starts_with(".vaultpack-")) << name << " is named before its commit";
        }
        RemoveInChild();
        EXPECT_EQ(test::FolderEntries(dir.Path()), Names{"done"});
    }
    EXPECT_EQ(test::FolderEntries(dir.Path()), Names{"done"});
}

// Once a removal has begun, the process makes nothing new: no temporary
// output file, no file at a path created or truncated.
TEST(TemporaryFileRegistry, NothingIsCreatedOnceARemovalHasBegun) {
    const test::TempDir dir;
    EXPECT_EQ(test::ExitStatusInChild([&] {
                  RemoveRegisteredFiles();
                  const auto refused = [](const std::function<void()>& create) {
                      try {
                          create();
                      } catch (const FileError& error) {
                          return error.ErrorNumber() == ECANCELED;
                      }
                      return false;
                  };
                  const bool outputRefused = refused([&] { OutputFile output(dir / "out"); });
                  const bool fileRefused = refused([&] { FileHandle::CreateOrTruncate(dir / "new"); });
                  return outputRefused && fileRefused && test::FolderEntries(dir.Path()).empty() ? 0 : 1;
              }),
              0);
}

}  // namespace
}  // namespace vaultpack
