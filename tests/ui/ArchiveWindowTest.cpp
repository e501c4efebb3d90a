// The archive window and its models with the real dialogs: only the
// platform's pickers are scripted; password dialogs and message boxes are
// answered as a user would.

#include "ui/ArchiveWindow.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTableView>

#include "crypto/EncryptFile.h"
#include "tests/jobs/JobTestSupport.h"
#include "tests/support/BoundedWait.h"
#include "tests/support/ScopedEnvironmentVariable.h"
#include "tests/ui/ScriptedPlatformPickers.h"
#include "tests/ui/UiTestSupport.h"
#include "tests/zip/ZipTestSupport.h"
#include "ui/ArchiveModels.h"
#include "ui/ArchiveTree.h"
#include "ui/DecryptionPasswordDialog.h"
#include "zip/ZipWriter.h"

namespace vaultpack {
namespace {

using Path = std::filesystem::path;

constexpr int kWaitMs = static_cast<int>(std::chrono::milliseconds(test::kWaitLimit).count());

std::shared_ptr<const ArchiveTree> TreeOf(const std::vector<std::pair<std::string, bool>>& names) {
    auto contents = std::make_shared<ArchiveContents>();
    for (const auto& [name, isFolder] : names) {
        ListedEntry entry;
        entry.nameStart = contents->names.size();
        entry.nameLength = static_cast<std::uint32_t>(name.size());
        entry.isFolder = isFolder;
        entry.size = name.size();
        entry.flag = FlagOf(name, isFolder);
        contents->names += name;
        contents->entries.push_back(entry);
    }
    return std::make_shared<const ArchiveTree>(contents);
}

std::vector<std::string> Shown(const ArchiveListModel& model) {
    std::vector<std::string> rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        rows.push_back(model.index(row, 0).data().toString().toStdString());
    }
    return rows;
}

TEST(ArchiveTreeTest, FoldersAreMadeUpJoinedAndFlaggedNamesStayAtTheTop) {
    const auto tree = TreeOf({{"b/x.txt", false},
                              {"a/", true},
                              {"a/deep/one.txt", false},
                              {"./a/two.TXT", false},
                              {"../evil", false},
                              {"/etc/passwd", false},
                              {"c\x01.txt", false},
                              {std::string(300, 'n') + "/f", false},
                              {"win\\path.txt", false}});
    ArchiveListModel list(test::EnglishCatalogue(), tree);
    EXPECT_EQ(Shown(list), (std::vector<std::string>{"a", "b", "../evil", "/etc/passwd", "c?.txt",
                                                      std::string(300, 'n') + "/f", "win\\path.txt"}));
    // The folder entry "a/" is the made-up folder "a" of "./a/two.TXT", not a second one.
    const std::int32_t a = list.RowAt(0).id;
    EXPECT_EQ(tree->FolderAt(a).entry, 1);
    EXPECT_EQ(tree->EntriesOf({list.RowAt(0)}), (std::vector<std::int64_t>{1, 2, 3}));

    list.Show(ArchiveTree::kTop, QStringLiteral("TXT"));
    EXPECT_EQ(Shown(list),
              (std::vector<std::string>{"a/deep/one.txt", "a/two.TXT", "b/x.txt", "c?.txt", "win\\path.txt"}));
    list.Show(a, QStringLiteral("o"));
    EXPECT_EQ(Shown(list), (std::vector<std::string>{"deep/one.txt", "two.TXT"}));

    list.Show(ArchiveTree::kTop, {});
    const auto problem = [&](int row) {
        return list.index(row, static_cast<int>(ArchiveListColumn::Problem)).data().toString().toStdString();
    };
    const MessageCatalogue& english = test::EnglishCatalogue();
    EXPECT_EQ((std::vector<std::string>{problem(0), problem(2), problem(3), problem(4), problem(5), problem(6)}),
              (std::vector<std::string>{"", english.Load(MessageId::FlagParentFolder),
                                        english.Load(MessageId::FlagAbsoluteName), "",
                                        english.Load(MessageId::FlagNameTooLong),
                                        english.Load(MessageId::FlagUnusableName)}));
}

TEST(ArchiveTreeTest, SortingKeepsFoldersFirstAndLargeListsSortOffTheGuiThread) {
    std::vector<std::pair<std::string, bool>> names{{"sub/a", false}};
    for (std::size_t i = 0; i < ArchiveListModel::kEntriesOffThread; ++i) {
        names.emplace_back(std::string(i % 7 + 1, 'x') + std::to_string(i), false);
    }
    ArchiveListModel list(test::EnglishCatalogue(), TreeOf(names));
    QSignalSpy ready(&list, &ArchiveListModel::RowsReady);
    if (list.rowCount() == 0) {
        ASSERT_TRUE(ready.wait(kWaitMs));
    }
    list.sort(static_cast<int>(ArchiveListColumn::Size), Qt::DescendingOrder);
    ASSERT_TRUE(ready.wait(kWaitMs)) << "the sorted rows";
    const std::vector<std::string> rows = Shown(list);
    ASSERT_EQ(rows.size(), names.size());
    EXPECT_EQ(rows.front(), "sub");
    EXPECT_EQ(rows[1].size(), std::string("xxxxxxx19999").size());  // the longest names are the largest entries

    // The folder asked for counts at once, before its rows arrive, so that
    // going back to it before then is not taken as nothing to do.
    const std::int32_t sub = list.RowAt(0).id;
    list.Show(sub, {});
    EXPECT_EQ(list.ShownFolder(), sub);
    ASSERT_TRUE(ready.wait(kWaitMs)) << "the folder's rows";
    EXPECT_EQ(Shown(list), std::vector<std::string>{"a"});
}

// Answers the password dialogs with each password in turn, and every message
// box with its first button, noting what each said.
class User {
public:
    explicit User(std::vector<std::string> passwords)
        : passwords_(std::move(passwords)),
          answerer_([this](QWidget* widget) {
              if (auto* dialog = qobject_cast<DecryptionPasswordDialog*>(widget)) {
                  dialog->findChild<QLineEdit*>(QStringLiteral("passwordEdit"))
                      ->setText(QString::fromStdString(passwords_.at(asked_++)));
                  dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
                  return true;
              }
              return test::ConfirmMessageBox(widget, messages);
          }) {}

    std::vector<std::string> messages;

private:
    std::vector<std::string> passwords_;
    std::size_t asked_ = 0;
    test::WindowAnswerer answerer_;
};

class ArchiveWindowTest : public testing::Test {
public:
    ArchiveWindow* OpenWindow(const Path& file) {
        ArchiveWindow* window = ArchiveWindow::Open(test::EnglishCatalogue(), pickers, file);
        QSignalSpy opened(window, &ArchiveWindow::Opened);
        EXPECT_TRUE(opened.wait(kWaitMs)) << "the archive's list";
        return window;
    }
    static void WaitForJob(ArchiveWindow* window) {
        QSignalSpy finished(window, &ArchiveWindow::JobFinished);
        ASSERT_TRUE(finished.wait(kWaitMs)) << "the window's job";
    }

    test::JobSandbox sandbox;
    test::ScriptedPlatformPickers pickers;
};

TEST_F(ArchiveWindowTest, AFilteredSelectionAcrossFoldersLandsInANewFolderNamedAfterTheArchive) {
    const Path archive = sandbox / "photos-2026.zip";
    test::WriteRawZip(archive, {{"docs/report.txt", "r1"}, {"docs/notes.txt", "n"}, {"pics/report.jpg", "r2"},
                                {"pics/cat.jpg", "c"}, {"top.txt", "t"}});
    User user({});
    ArchiveWindow* window = OpenWindow(archive);
    auto* summary = test::Child<QLabel>(window, "summaryLabel");
    EXPECT_EQ(summary->text().toStdString(),
              test::EnglishCatalogue().Format(MessageId::ItemsAtTopIntoNewFolder, "3"));
    EXPECT_TRUE(test::Child<QCheckBox>(window, "newFolderCheckBox")->isChecked());

    test::Child<QLineEdit>(window, "filterEdit")->setText(QStringLiteral("REPORT"));
    window->ListView()->selectAll();
    // Dragged out, the rows become files only when the drop asks for them.
    const std::unique_ptr<QMimeData> dragged(
        window->List()->mimeData(window->ListView()->selectionModel()->selectedRows()));
    EXPECT_FALSE(std::filesystem::exists(window->PrivateFolderPath() / "drag-1"));
    std::vector<std::string> droppedFiles;
    for (const QUrl& url : dragged->urls()) {
        const Path file = url.toLocalFile().toStdString();
        droppedFiles.push_back(file.lexically_relative(window->PrivateFolderPath()).string() + "=" + test::ReadText(file));
    }
    EXPECT_EQ(droppedFiles, (std::vector<std::string>{"drag-1/docs/report.txt=r1", "drag-1/pics/report.jpg=r2"}));

    pickers.AnswerFolder(sandbox / "out");
    window->ExtractSelected();
    WaitForJob(window);
    EXPECT_EQ(test::FolderContents(sandbox / "out"),
              (test::Files{{"photos-2026", "<folder>"},
                           {"photos-2026/docs", "<folder>"},
                           {"photos-2026/docs/report.txt", "r1"},
                           {"photos-2026/pics", "<folder>"},
                           {"photos-2026/pics/report.jpg", "r2"}}));

    window->close();
}

TEST_F(ArchiveWindowTest, AContainerIsRestoredPrivatelyAfterAWrongPasswordAndItsFolderGoesWithTheWindow) {
    const Path archive = sandbox / "bundle.zip";
    test::WriteRawZip(archive, {{"bundle/", ""}, {"bundle/one.txt", "first"}, {"bundle/docs/two.txt", "second"}});
    const Path container = sandbox / "bundle.ezc";
    ASSERT_TRUE(EncryptFile(archive, container, "pw", "the hint", true).Completed());
    std::filesystem::remove(archive);

    User user({"wrong", "pw"});
    ArchiveWindow* window = OpenWindow(container);
    ASSERT_NE(window->List(), nullptr) << testing::PrintToString(user.messages);
    ASSERT_EQ(window->List()->rowCount(), 1);
    EXPECT_EQ(test::Child<QLabel>(window, "summaryLabel")->text().toStdString(),
              test::EnglishCatalogue().Format(MessageId::OneFolderAtTop, "bundle"));
    EXPECT_FALSE(test::Child<QCheckBox>(window, "newFolderCheckBox")->isVisible());
    const Path privateFolder = window->PrivateFolderPath();
    EXPECT_EQ(std::filesystem::status(privateFolder).permissions(), std::filesystem::perms::owner_all);

    pickers.AnswerFolder(sandbox / "out");
    window->ExtractAll();
    WaitForJob(window);
    EXPECT_EQ(test::FolderContents(sandbox / "out"),
              (test::Files{{"bundle", "<folder>"},
                           {"bundle/docs", "<folder>"},
                           {"bundle/docs/two.txt", "second"},
                           {"bundle/one.txt", "first"}}));
    EXPECT_EQ(user.messages.front(), test::EnglishCatalogue().Load(MessageId::WrongPassword));

    window->close();
    EXPECT_FALSE(std::filesystem::exists(privateFolder));
}

// A container of one plain file shows that file, and extracting it restores
// it again where the user chose, with the password given at opening.
TEST_F(ArchiveWindowTest, AContainerOfOnePlainFileIsRestoredWhereChosenWithoutAskingAgain) {
    const Path container = sandbox / "note.ezc";
    ASSERT_TRUE(EncryptFile(sandbox.Write("note.txt", "hello"), container, "pw", "", false).Completed());
    std::filesystem::remove(sandbox / "note.txt");
    User user({"pw"});
    ArchiveWindow* window = OpenWindow(container);
    ASSERT_NE(window->List(), nullptr) << testing::PrintToString(user.messages);
    EXPECT_EQ(Shown(*window->List()), std::vector<std::string>{"note.txt"});
    std::filesystem::create_directory(sandbox / "out");
    pickers.AnswerFolder(sandbox / "out");
    window->ExtractAll();
    WaitForJob(window);
    EXPECT_EQ(test::FolderContents(sandbox / "out"), (test::Files{{"note.txt", "hello"}}));
    window->close();
}

TEST_F(ArchiveWindowTest, OpenHandsAPrivateCopyToTheDesktopsApplicationAndAHostileArchiveExtractsNothingOutside) {
    // A stand-in for xdg-open that notes the file it was given.
    const Path record = sandbox / "opened";
    const Path stub = sandbox.Write("bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > '" + record.string() + ".part'\n"
                                                   "mv '" + record.string() + ".part' '" + record.string() + "'\n");
    std::filesystem::permissions(stub, std::filesystem::perms::owner_all);
    const test::ScopedEnvironmentVariable path("PATH", ((sandbox / "bin").string() + ":/usr/bin:/bin").c_str());

    const Path archive = sandbox / "box/hostile.zip";
    std::filesystem::create_directories(archive.parent_path());
    test::WriteRawZip(archive, {{"../x", "out"}, {"/tmp/abs", "abs"}, {"ok.txt", "fine"}});
    User user({});
    ArchiveWindow* window = OpenWindow(archive);
    ASSERT_NE(window->List(), nullptr) << testing::PrintToString(user.messages);
    ASSERT_EQ(window->List()->rowCount(), 3);
    EXPECT_FALSE(window->ListView()->isColumnHidden(static_cast<int>(ArchiveListColumn::Problem)));

    window->List()->Show(ArchiveTree::kTop, QStringLiteral("ok"));
    window->ListView()->selectAll();
    window->OpenSelected();
    WaitForJob(window);
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(record); }, kWaitMs)) << "xdg-open to be run";
    const Path opened = test::ReadText(record);
    EXPECT_EQ(test::ReadText(opened), "fine");
    EXPECT_TRUE(opened.string().starts_with(window->PrivateFolderPath().string()));

    window->List()->Show(ArchiveTree::kTop, {});
    pickers.AnswerFolder(sandbox / "box/out");
    window->ExtractAll();
    WaitForJob(window);
    EXPECT_EQ(test::FolderContents(sandbox / "box"),
              (test::Files{{"hostile.zip", test::ReadText(archive)},
                           {"out", "<folder>"},
                           {"out/hostile", "<folder>"},
                           {"out/hostile/ok.txt", "fine"}}));
    EXPECT_EQ(user.messages.size(), 3u);  // each refused entry, and the summary

    window->close();
    EXPECT_FALSE(std::filesystem::exists(opened));
}

}  // namespace
}  // namespace vaultpack
