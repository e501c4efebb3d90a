// The main window with the real dialogs: only the platform's file and folder
// pickers are scripted; password dialogs and message boxes are answered by
// typing and clicking, as a user would.

#include "ui/MainDialog.h"

#include <algorithm>
#include <iterator>
#include <set>

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>

#include "crypto/EncryptFile.h"
#include "tests/jobs/JobTestSupport.h"
#include "tests/ui/ScriptedPlatformPickers.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ArchiveWindow.h"
#include "ui/DecryptionPasswordDialog.h"
#include "ui/ProgressDialog.h"
#include "ui/controls/IconButton.h"
#include "zip/ZipWriter.h"

namespace vaultpack {
namespace {

using test::Child;

using Path = std::filesystem::path;
using test::Files;

// Answers the decryption password dialogs with `password` (cancelling them
// when it is empty) and every message box with its first button, noting
// what each box said.
class User {
public:
    explicit User(std::string password)
        : answerer_([this, password = QString::fromStdString(password)](QWidget* widget) {
              if (auto* dialog = qobject_cast<DecryptionPasswordDialog*>(widget)) {
                  if (password.isEmpty()) {
                      dialog->reject();
                  } else {
                      dialog->findChild<QLineEdit*>(QStringLiteral("passwordEdit"))->setText(password);
                      dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
                  }
                  return true;
              }
              return test::ConfirmMessageBox(widget, messages);
          }) {}

    std::vector<std::string> messages;

private:
    test::WindowAnswerer answerer_;
};

class MainDialogTest : public testing::Test {
public:
    // An archive of two files, encrypted as the create job does it.
    Path ArchiveContainer() {
        const Path archive = sandbox / "box/bundle.zip";
        std::filesystem::create_directories(archive.parent_path());
        const std::unique_ptr<ZipWriter> writer = ZipWriter::Create(archive);
        EXPECT_EQ(writer->AddFile("one.txt", sandbox.Write("src/one.txt", "first")), ZipResult::Success);
        EXPECT_EQ(writer->AddFile("docs/two.txt", sandbox.Write("src/two.txt", "second")), ZipResult::Success);
        EXPECT_EQ(writer->Close(), ZipResult::Success);
        const Path container = sandbox / "box/bundle.ezc";
        EXPECT_TRUE(EncryptFile(archive, container, "pw", "", true).Completed());
        std::filesystem::remove(archive);
        return container;
    }

    Path PlainContainer() {
        const Path container = sandbox / "box/note.ezc";
        EXPECT_TRUE(EncryptFile(sandbox.Write("box/note.txt", "hello"), container, "pw", "", false).Completed());
        std::filesystem::remove(sandbox / "box/note.txt");
        return container;
    }

    IconButton* Button(const char* name) const { return window.findChild<IconButton*>(QString::fromLatin1(name)); }
    std::vector<bool> ButtonsEnabled() const {
        return {Button("createArchiveButton")->isEnabled(), Button("decryptFileButton")->isEnabled(),
                Button("unzipFileButton")->isEnabled()};
    }

    test::JobSandbox sandbox;
    test::ScriptedPlatformPickers pickers;
    MainDialog window{test::EnglishCatalogue(), pickers};
};

TEST_F(MainDialogTest, DecryptThenTheFollowOnUnzipWithButtonStates) {
    const Path container = ArchiveContainer();
    pickers.AnswerOpenFile(container);
    User user("pw");
    window.show();
    QSignalSpy decrypted(&window, &MainDialog::decryptFinished);
    QSignalSpy unzipped(&window, &MainDialog::unzipFinished);

    Button("decryptFileButton")->click();
    EXPECT_EQ(ButtonsEnabled(), (std::vector<bool>{true, false, true}));
    ASSERT_TRUE(decrypted.wait());
    // The decrypted archive belongs to the unzip that follows.
    EXPECT_EQ(ButtonsEnabled(), (std::vector<bool>{true, true, false}));
    EXPECT_FALSE(window.DecryptProgress().isVisible());
    ASSERT_TRUE(unzipped.count() == 1 || unzipped.wait());

    EXPECT_EQ(ButtonsEnabled(), (std::vector<bool>{true, true, true}));
    EXPECT_FALSE(window.UnzipProgress().isVisible());
    EXPECT_EQ(user.messages, std::vector<std::string>{"2 out of 2 files have been unzipped successfully"});
    EXPECT_EQ(test::FolderContents(sandbox / "box"),
              (Files{{"bundle.ezc", test::ReadText(container)},
                     {"docs", "<folder>"},
                     {"docs/two.txt", "second"},
                     {"one.txt", "first"}}))
        << "extracted beside the container, the decrypted archive removed";
    EXPECT_TRUE(window.isVisible()) << "a normal start stays open";
    EXPECT_FALSE(window.DecryptProgress().geometry().intersects(window.UnzipProgress().geometry()))
        << "a decrypt and an unzip show their progress side by side";
}

// Started with "-d FILE": all buttons off, and the window closes when the
// work is done, however it ended.
TEST_F(MainDialogTest, DecryptAtStartClosesAfterTheWork) {
    struct Row {
        const char* name;
        std::string password;  // empty: the user cancels the password dialog
        bool plainFile;
        std::vector<std::string> messages;
        bool restored;
    };
    const std::vector<Row> rows{
        {"Success", "pw", true, {"Your file has been Decrypted successfully"}, true},
        {"Cancelled", "", true, {}, false},
        {"NotAContainer", "pw", false, {"Cannot decrypt; file is not an encrypted file."}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MainDialog started(test::EnglishCatalogue(), pickers);
        const Path file = row.plainFile ? PlainContainer() : sandbox.Write("box/plain.ezc", "just text");
        User user(row.password);
        QSignalSpy closed(&started, &QDialog::finished);
        started.show();
        started.DecryptAtStartup(file);
        EXPECT_EQ(started.StartModeValue(), MainDialog::DecryptAtStart);
        EXPECT_FALSE(started.findChild<IconButton*>(QStringLiteral("decryptFileButton"))->isEnabled());
        EXPECT_FALSE(started.findChild<IconButton*>(QStringLiteral("createArchiveButton"))->isEnabled());
        ASSERT_TRUE(closed.wait());
        EXPECT_EQ(user.messages, row.messages);
        EXPECT_EQ(std::filesystem::exists(sandbox / "box/note.txt"), row.restored);
        std::filesystem::remove(sandbox / "box/note.txt");
    }
}

TEST_F(MainDialogTest, DecryptAtStartOfAnArchiveClosesAfterTheUnzip) {
    const Path container = ArchiveContainer();
    User user("pw");
    QSignalSpy closed(&window, &QDialog::finished);
    QSignalSpy unzipped(&window, &MainDialog::unzipFinished);
    window.show();
    window.DecryptAtStartup(container);
    ASSERT_TRUE(closed.wait());
    EXPECT_EQ(unzipped.count(), 1) << "closed only once the unzip had ended";
    EXPECT_EQ(test::ReadText(sandbox / "box/one.txt"), "first");
}

// A file dropped from the file manager: a container is decrypted, an archive
// unzipped into the folder the user picks, anything else refused.
TEST_F(MainDialogTest, DroppedFilesStartTheirJobs) {
    const auto drop = [this](const Path& file) { return test::DropFiles(&window, {file}); };
    User user("pw");
    window.show();
    QSignalSpy decrypted(&window, &MainDialog::decryptFinished);
    QSignalSpy unzipped(&window, &MainDialog::unzipFinished);

    EXPECT_FALSE(drop(sandbox.Write("notes.txt", "text")));
    ASSERT_TRUE(drop(PlainContainer()));
    ASSERT_TRUE(decrypted.wait());
    EXPECT_EQ(test::ReadText(sandbox / "box/note.txt"), "hello");

    const Path archive = sandbox / "in.zip";
    test::WriteRawZip(archive, {{"a.txt", "alpha"}});
    pickers.AnswerFolder(sandbox / "out");
    ASSERT_TRUE(drop(archive));
    ASSERT_TRUE(unzipped.wait());
    EXPECT_EQ(test::ReadText(sandbox / "out/a.txt"), "alpha");

    // With Ctrl held, the archive opens in a window of its own, even while its button is busy.
    const auto archiveWindows = [] {
        std::set<QWidget*> windows;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<ArchiveWindow*>(widget) != nullptr) {
                windows.insert(widget);
            }
        }
        return windows;
    };
    const std::set<QWidget*> before = archiveWindows();
    window.findChild<IconButton*>(QStringLiteral("unzipFileButton"))->setEnabled(false);
    ASSERT_TRUE(test::DropFiles(&window, {archive}, Qt::ControlModifier));
    std::vector<QWidget*> opened;
    std::ranges::set_difference(archiveWindows(), before, std::back_inserter(opened));
    ASSERT_EQ(opened.size(), 1u);
    QSignalSpy shown(opened.front(), SIGNAL(Opened(bool)));
    ASSERT_TRUE(shown.wait());
    EXPECT_EQ(opened.front()->windowTitle().toStdString(), "in.zip - Vaultpack");
    EXPECT_TRUE(opened.front()->isVisible());
    opened.front()->close();
}

}  // namespace
}  // namespace vaultpack
