#include "cli/ArchiveItemList.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace vaultpack {
namespace {

// Each row as "archiveFolder|name <- source".
std::vector<std::string> Rows(const ArchiveItemList& list, const std::filesystem::path& base) {
    std::vector<std::string> rows;
    for (const ArchiveItem& item : list.items) {
        rows.push_back(item.archiveFolder + "|" + item.name + " <- " + item.sourcePath.lexically_relative(base).string());
    }
    return rows;
}

TEST(ArchiveItemList, FilesStandAloneAndFoldersBringTheirSortedTreeUnderTheirOwnName) {
    test::TempDir folder;
    const auto tree = folder / "Photos";
    std::filesystem::create_directories(tree / "b" / "deep");
    std::filesystem::create_directories(tree / "a");
    std::filesystem::create_directories(tree / "empty");
    for (const char* name : {"z.txt", "B.txt", "b/deep/x.txt", "a/y.txt", "b/c.txt"}) {
        test::WriteFile(tree / name, std::string(name));
    }
    test::WriteFile(folder / "single.txt", std::string("s"));

    const ArchiveItemList list = CollectArchiveItems({folder / "single.txt", tree.string() + "/"}, {});
    EXPECT_TRUE(list.failure.empty());
    EXPECT_EQ(Rows(list, folder.Path()),
              (std::vector<std::string>{"|single.txt <- single.txt", "Photos\\|B.txt <- Photos/B.txt",
                                        "Photos\\a\\|y.txt <- Photos/a/y.txt", "Photos\\b\\|c.txt <- Photos/b/c.txt",
                                        "Photos\\b\\deep\\|x.txt <- Photos/b/deep/x.txt", "Photos\\|z.txt <- Photos/z.txt"}));
    EXPECT_EQ(list.items[2].StoredName(), "Photos\\a\\y.txt");

    // "." is known by the folder's real name.
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(tree / "a");
    const ArchiveItemList dot = CollectArchiveItems({"."}, {});
    std::filesystem::current_path(here);
    ASSERT_EQ(dot.items.size(), 1u);
    EXPECT_EQ(dot.items[0].archiveFolder, "a\\");
}

TEST(ArchiveItemList, LeavesOutTheOutputAndWhatIsNoRegularFile) {
    test::TempDir folder;
    const auto tree = folder / "t";
    std::filesystem::create_directories(tree / "sub");
    test::WriteFile(tree / "keep.txt", std::string("k"));
    test::WriteFile(tree / "out.zip", std::string("the archive being written"));
    ASSERT_EQ(::mkfifo((tree / "pipe").c_str(), 0600), 0);
    std::filesystem::create_symlink(tree / "missing", tree / "broken");
    std::filesystem::create_symlink(tree / "keep.txt", tree / "link.txt");
    std::filesystem::create_directory_symlink(tree, tree / "sub" / "loop");

    const ArchiveItemList list = CollectArchiveItems({tree}, tree / "out.zip");
    EXPECT_EQ(Rows(list, folder.Path()), (std::vector<std::string>{"t\\|keep.txt <- t/keep.txt", "t\\|link.txt <- t/link.txt"}));
    std::vector<std::filesystem::path> skipped = list.skipped;
    std::sort(skipped.begin(), skipped.end());
    EXPECT_EQ(skipped, (std::vector<std::filesystem::path>{tree / "broken", tree / "pipe", tree / "sub/loop"}));
}

}  // namespace
}  // namespace vaultpack
