#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "files/ProgressSink.h"
#include "jobs/MessageLine.h"

namespace vaultpack {

enum class JobKind { CreateArchive, Decrypt, Unzip };

// Which files an open or save dialog offers: "ZIP File (*.zip)" or "EZC File (*.ezc)".
enum class FileFilter { Zip, Ezc };

enum class MessageButtons { Ok, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel };

// The window a message box belongs to: none, the job's progress window, or
// the program's main window.
enum class MessageOwner { None, Progress, MainWindow };

// A message box: caption 107 "Information", 108 "Error" or 123 "Question";
// its lines are shown one below the other.
struct MessageBoxRequest {
    MessageId caption = MessageId::CaptionInformation;
    MessageButtons buttons = MessageButtons::Ok;
    MessageOwner owner = MessageOwner::Progress;
    std::vector<MessageLine> lines;

    bool operator==(const MessageBoxRequest&) const = default;
};

// How a job ended, delivered once at its very end.
struct JobCompletion {
    JobKind kind = JobKind::CreateArchive;
    // Create: nothing was started, because the list was empty or the save
    // dialog was cancelled.
    bool saveDialogCancelled = false;
    // Decrypt: the container whose decryption ran to its end (successfully or
    // not, but not cancelled); empty when nothing follows.
    std::filesystem::path decryptedContainer;
    // Decrypt: the plaintext was written completely beside decryptedContainer.
    // Only then may anything follow on (a failed decryption leaves no new
    // file there, at most an older one that must not be unpacked or removed).
    bool decryptionCompleted = false;
};

// Everything a job asks of and tells the user, so that a job never touches a
// window: the desktop program answers on its GUI thread, the command-line tool
// on the terminal, tests from a script. One host serves one job at a time and
// owns that job's progress display; the ProgressSink part is its progress bar
// (range, position) and cancel flag.
class JobHost : public ProgressSink {
public:
    // An existing file to open; nothing when the user cancels.
    virtual std::optional<std::filesystem::path> ChooseFileToOpen(FileFilter filter) = 0;
    // A file to write, offering defaultName (may be empty); the host confirms
    // replacing an existing file. Nothing when the user cancels.
    virtual std::optional<std::filesystem::path> ChooseFileToSave(FileFilter filter, const std::string& defaultName) = 0;
    // A folder, with the instruction text `title`; nothing when the user cancels.
    virtual std::optional<std::filesystem::path> ChooseFolder(MessageId title) = 0;
    // The decryption password, showing the container's hint; nothing when the
    // user cancels. Asked again after a wrong password.
    virtual std::optional<std::string> AskPassword(const std::string& hint) = 0;
    // Shows a message box and waits for the answer (Ok for an OK box).
    virtual MessageAnswer ShowMessage(const MessageBoxRequest& request) = 0;

    // The progress window: show it in front, its title, its status line and
    // the caption of its Cancel button.
    virtual void ShowProgress() = 0;
    virtual void SetProgressTitle(MessageId title) = 0;
    virtual void SetStatus(const MessageLine& status) = 0;
    virtual void SetCancelCaption(MessageId caption) = 0;

    // The job's last call.
    virtual void Complete(const JobCompletion& completion) = 0;

protected:
    ~JobHost() = default;
};

}  // namespace vaultpack
