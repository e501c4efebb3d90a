#include "jobs/EntryPath.h"

#include <gtest/gtest.h>

#include <string>

namespace vaultpack {
namespace {

struct NameCase {
    const char* label;
    std::string name;
    StoredNameProblem problem;
    const char* target;  // below "/dest", for safe names
};

class StoredNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(StoredNameTest, ChecksNameAndBuildsTargetBelowDestination) {
    const NameCase& row = GetParam();
    EXPECT_EQ(CheckStoredName(row.name), row.problem);
    const auto target = SafeTargetPath("/dest", row.name);
    if (row.problem == StoredNameProblem::None) {
        ASSERT_TRUE(target.has_value());
        EXPECT_EQ(target->string(), row.target);
    } else {
        EXPECT_FALSE(target.has_value());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, StoredNameTest,
    testing::Values(
        NameCase{"Plain", "a.txt", StoredNameProblem::None, "/dest/a.txt"},
        NameCase{"Nested", "Folder/Sub/a.txt", StoredNameProblem::None, "/dest/Folder/Sub/a.txt"},
        NameCase{"FolderEntry", "Folder/Sub/", StoredNameProblem::None, "/dest/Folder/Sub"},
        NameCase{"DotAndEmptyComponents", "./a//./b", StoredNameProblem::None, "/dest/a/b"},
        NameCase{"DotsInsideNames", "..a/b..", StoredNameProblem::None, "/dest/..a/b.."},
        NameCase{"ColonLater", "a/C:x", StoredNameProblem::None, "/dest/a/C:x"},
        NameCase{"NonAscii", "Fotos/Ünïcödé ß.jpg", StoredNameProblem::None, "/dest/Fotos/Ünïcödé ß.jpg"},
        NameCase{"Empty", "", StoredNameProblem::Empty, ""},
        NameCase{"OnlyDots", "././/", StoredNameProblem::None, "/dest"},
        NameCase{"Parent", "../evil", StoredNameProblem::ParentFolder, ""},
        NameCase{"ParentInside", "a/../../evil", StoredNameProblem::ParentFolder, ""},
        NameCase{"ParentAtEnd", "a/..", StoredNameProblem::ParentFolder, ""},
        NameCase{"Absolute", "/etc/x", StoredNameProblem::Absolute, ""},
        NameCase{"DriveLetter", "C:/Windows/x", StoredNameProblem::DriveLetter, ""},
        NameCase{"DriveRelative", "c:evil", StoredNameProblem::DriveLetter, ""},
        NameCase{"BackslashParent", "..\\evil", StoredNameProblem::Backslash, ""},
        NameCase{"BackslashAbsolute", "\\etc\\x", StoredNameProblem::Backslash, ""},
        NameCase{"NulByte", std::string("a\0/../../x", 10), StoredNameProblem::NulByte, ""}),
    [](const testing::TestParamInfo<NameCase>& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace vaultpack
