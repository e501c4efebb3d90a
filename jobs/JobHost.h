#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/ProgressSink.h"
#include "jobs/MessageLine.h"

namespace vaultpack {

enum class JobKind { CreateArchive, Decrypt, Unzip };

// Which files an open or save dialog offers: "ZIP File (*.zip)" or "EZC File (*.ezc)".
enum class FileFilter { Zip, Ezc };

// The extension of the files a filter offers, without its dot.
inline std::string_view ExtensionOf(FileFilter filter) { return filter == FileFilter::Zip ? "zip" : "ezc"; }

// YesNoAll and YesNoAllCancel add "Yes to All" and "No to All", for a
// question that may come once per file of a long run.
enum class MessageButtons { Ok, YesNo, YesNoCancel, YesNoAll, YesNoAllCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel, YesToAll, NoToAll };

// The answer that stands for a message box nobody answered (cancelled,
// abandoned, no one to ask): the way out it offers.
inline MessageAnswer CancelledAnswer(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok: return MessageAnswer::Ok;
        case MessageButtons::YesNo:
        case MessageButtons::YesNoAll: return MessageAnswer::No;
        case MessageButtons::YesNoCancel:
        case MessageButtons::YesNoAllCancel: break;
    }
    return MessageAnswer::Cancel;
}

// Which question about replacing an existing file: before a file chosen to
// save (Yes, No), before a decrypted file (Yes, No, Yes to All, No to All),
// before an extracted entry (the same and Cancel, which stops the run).
enum class OverwriteKind { SavedFile, DecryptedFile, UnzippedEntry };
MessageButtons OverwriteButtons(OverwriteKind kind);

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

// The amounts behind a progress bar, for a display that shows a count, a
// rate and the time left: `done` of `total` files or entries, and how many
// bytes the bar's whole range stands for (0 when the bar counts the files or
// entries themselves).
struct ProgressAmounts {
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    std::uint64_t rangeBytes = 0;

    bool operator==(const ProgressAmounts&) const = default;
};

// How a job ended, for callers that need more than what the user was shown
// (the command-line tool's exit status).
enum class JobOutcome {
    Succeeded,      // everything asked for was done
    ItemsLeftOut,   // done, but files that failed were left out because the user chose to go on
    NothingDone,    // the user chose nothing or declined (no file, no folder, overwrite refused)
    Failed,         // a step, an entry or a file failed, or the job broke down
    WrongPassword,  // the password was wrong and the user gave up
    Cancelled,      // stopped through the cancel flag
};

// Whether the job did what was asked: in full, or without the items that
// failed and that the user chose to go on without. A create job's archive is
// then in place.
bool JobDelivered(JobOutcome outcome);

// How a job ended, delivered once at its very end.
struct JobCompletion {
    JobKind kind = JobKind::CreateArchive;
    JobOutcome outcome = JobOutcome::Failed;
    // Decrypt: the container whose decryption ran to its end (successfully or
    // not, but not cancelled); empty when nothing follows.
    std::filesystem::path decryptedContainer;
    // Decrypt: the plaintext was written completely beside decryptedContainer.
    // Only then may anything follow on (a failed decryption leaves no new
    // file there, at most an older one that must not be unpacked or removed).
    bool decryptionCompleted = false;
    // Decrypt: the user answered Yes to All (true) or No to All (false) when
    // asked to replace a file; the unpacking that follows keeps that answer.
    std::optional<bool> replaceAll;
    // Decrypt: the file written, when the container's zip flag marks it as
    // an archive to unpack next and the decryption completed; empty otherwise.
    std::filesystem::path decryptedArchive;
};

// Everything a job asks of and tells the user, so that a job never touches a
// window: the desktop program answers on its GUI thread, the command-line tool
// on the terminal, tests from a script. One host serves one job at a time and
// owns that job's progress display; the ProgressSink part is its progress bar
// (range, position) and cancel flag.
//
// Threads. Every call comes from the job's own thread (see JobRunner), never
// from two threads at once, in the order the job makes them.
// - Questions (ChooseFileToOpen, ChooseFileToSave, ChooseFolder, AskPassword,
//   ShowMessage, AskOverwrite, AskContinueAfterFailure) ask: the job waits for the answer, so the host may take as
//   long as the user does, for example by running a dialog on its GUI thread
//   and waiting for it there. A host that cannot ask answers as if cancelled.
// - Progress calls (ShowProgress, SetProgressTitle, SetStatus,
//   SetCancelCaption, SetRange, SetPosition, SetAmounts) only tell: the host may apply
//   them later and coalesce them (only the last position matters), but keeps
//   their order relative to each other and to the questions, so a message box
//   never shows with an older status behind it. They must be cheap, as a job
//   calls SetPosition once per chunk and SetAmounts once per file or entry;
//   amounts may be coalesced like positions.
// - CancelRequested is polled between chunks and entries; it reads a flag
//   (an atomic) and never blocks.
// - Complete is the last call. It must not block: a GUI host queues it to its
//   GUI thread, which may be the very thread that is waiting for nothing but
//   must never wait for the job.
// Abandoned jobs (AbandonableJobHost): once abandoned, every question answers
// as cancelled (no file, no folder, no password; Cancel, or No where there is
// no Cancel, Ok for an OK box), progress calls do nothing, CancelRequested is
// true and no completion arrives.
// Lifetime. JobRunner holds the host by shared ownership until the job's thread
// has ended, so the host outlives every call the job makes; a host that refers
// to windows must itself cope with those windows having gone.
class JobHost : public ProgressSink {
public:
    // An existing file to open; nothing when the user cancels.
    virtual std::optional<std::filesystem::path> ChooseFileToOpen(FileFilter filter) = 0;
    // A file to write, offering defaultName (may be empty) in startFolder (may
    // be empty); a name typed without an extension gets the filter's. The host
    // confirms replacing an existing file. Nothing when the user cancels.
    virtual std::optional<std::filesystem::path> ChooseFileToSave(FileFilter filter, const std::string& defaultName,
                                                                  const std::filesystem::path& startFolder) = 0;
    // A folder, with the instruction text `title`; nothing when the user cancels.
    virtual std::optional<std::filesystem::path> ChooseFolder(MessageId title) = 0;
    // The decryption password, showing the container's hint; nothing when the
    // user cancels. Asked again after a wrong password.
    virtual std::optional<std::string> AskPassword(const std::string& hint) = 0;
    // Shows a message box and waits for the answer (Ok for an OK box).
    virtual MessageAnswer ShowMessage(const MessageBoxRequest& request) = 0;
    // Whether to replace the existing file at path, with an answer that
    // OverwriteButtons(kind) offers. A message box, unless the host has an
    // answer of its own (a command line's --overwrite).
    virtual MessageAnswer AskOverwrite(const std::filesystem::path& path, OverwriteKind kind);
    // After a failed file or entry, shown with the lines that say why:
    // whether to go on with the next one. A message box, unless the host has
    // an answer of its own.
    virtual bool AskContinueAfterFailure(std::vector<MessageLine> reason);

    // The progress window: show it in front, its title, its status line and
    // the caption of its Cancel button.
    virtual void ShowProgress() = 0;
    virtual void SetProgressTitle(MessageId title) = 0;
    virtual void SetStatus(const MessageLine& status) = 0;
    virtual void SetCancelCaption(MessageId caption) = 0;
    // What the bar stands for; a job sets it after SetRange and again
    // whenever a file or entry is done.
    virtual void SetAmounts(const ProgressAmounts& amounts) = 0;

    // The job's last call, with how it ended.
    virtual void Complete(const JobCompletion& completion) = 0;

    virtual ~JobHost() = default;
};

}  // namespace vaultpack
