#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"
#include "tests/ui/ScriptedPlatformPickers.h"
#include "ui/ChooseFolder.h"

namespace vaultpack {
namespace {

// Points HOME at a folder for the length of a test.
class HomeOverride {
public:
    explicit HomeOverride(const std::filesystem::path& home) {
        if (const char* old = std::getenv("HOME")) {
            old_ = old;
        }
        ::setenv("HOME", home.c_str(), 1);
    }
    ~HomeOverride() {
        if (old_) {
            ::setenv("HOME", old_->c_str(), 1);
        } else {
            ::unsetenv("HOME");
        }
    }

private:
    std::optional<std::string> old_;
};

class ChooseFolderTest : public ::testing::Test {
protected:
    test::TempDir home_;
    HomeOverride override_{home_.Path()};
    test::ScriptedPlatformPickers pickers_;
    const std::filesystem::path defaultFolder_ = home_.Path() / "Vaultpack Drive";
};

TEST_F(ChooseFolderTest, CreateDefaultMakesAndPreselectsTheFolderEvenWhenCancelled) {
    pickers_.AnswerFolder(std::nullopt);
    EXPECT_EQ(ChooseFolder(pickers_, nullptr, QStringLiteral("Add"), true), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_directory(defaultFolder_));
    ASSERT_EQ(pickers_.FolderRequests().size(), 1u);
    EXPECT_EQ(pickers_.FolderRequests()[0].title, "Add");
    EXPECT_EQ(pickers_.FolderRequests()[0].preselect, defaultFolder_);
}

TEST_F(ChooseFolderTest, WithoutCreateDefaultNothingIsCreatedOrPreselected) {
    pickers_.AnswerFolder(std::nullopt);
    pickers_.AnswerFolder(home_.Path());
    EXPECT_EQ(ChooseFolder(pickers_, nullptr, QStringLiteral("Unzip to"), false), std::nullopt);
    EXPECT_EQ(ChooseFolder(pickers_, nullptr, QStringLiteral("Unzip to"), false), home_.Path());
    EXPECT_FALSE(std::filesystem::exists(defaultFolder_));
    ASSERT_EQ(pickers_.FolderRequests().size(), 2u);
    for (const auto& request : pickers_.FolderRequests()) {
        EXPECT_EQ(request.title, "Unzip to");
        EXPECT_TRUE(request.preselect.empty());
    }
}

TEST_F(ChooseFolderTest, MissingHomeFolderGivesNoPreselectionAndCreatesNothing) {
    const std::filesystem::path missingHome = home_.Path() / "gone";
    HomeOverride missing(missingHome);
    pickers_.AnswerFolder(std::nullopt);
    EXPECT_EQ(ChooseFolder(pickers_, nullptr, QStringLiteral("Add"), true), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(missingHome));
    EXPECT_TRUE(pickers_.FolderRequests()[0].preselect.empty());
}

}  // namespace
}  // namespace vaultpack
