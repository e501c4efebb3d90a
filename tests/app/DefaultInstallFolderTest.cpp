// The default folder in the user's home folder, with HOME pointed at a
// temporary folder.

#include <gtest/gtest.h>

#include <string>

#include "app/DefaultInstallFolder.h"
#include "tests/support/ScopedEnvironmentVariable.h"
#include "tests/support/TempDir.h"

namespace vaultpack {
namespace {

class DefaultInstallFolderTest : public testing::Test {
protected:
    void UseHome(const std::filesystem::path& home) { home_.Set(home.c_str()); }

    test::TempDir dir;

private:
    test::ScopedEnvironmentVariable home_{"HOME", nullptr};
};

TEST_F(DefaultInstallFolderTest, CreatedInTheHomeFolderOnce) {
    UseHome(dir.Path());
    const std::filesystem::path expected = dir / "Vaultpack Drive";
    EXPECT_EQ(DefaultInstallFolder(), expected);
    EXPECT_FALSE(std::filesystem::exists(expected)) << "only asking creates nothing";

    EXPECT_EQ(EnsureDefaultInstallFolder(), expected);
    EXPECT_TRUE(std::filesystem::is_directory(expected));
    test::WriteFile(expected / "kept.txt", "kept");
    EXPECT_EQ(EnsureDefaultInstallFolder(), expected) << "an existing folder is used as it is";
    EXPECT_EQ(test::FolderEntries(expected), std::vector<std::string>{"kept.txt"});
}

TEST_F(DefaultInstallFolderTest, NothingWhenItCannotBeAFolder) {
    UseHome(dir / "missing-home");
    EXPECT_EQ(EnsureDefaultInstallFolder(), std::filesystem::path());
    EXPECT_FALSE(std::filesystem::exists(dir / "missing-home")) << "the home folder is never created";

    UseHome(dir.Path());
    test::WriteFile(dir / "Vaultpack Drive", "a file in the way");
    EXPECT_EQ(EnsureDefaultInstallFolder(), std::filesystem::path());
}

}  // namespace
}  // namespace vaultpack
