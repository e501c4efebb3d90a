#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "files/ProgressSink.h"
#include "jobs/MessageLine.h"

namespace vaultpack {

// OpenArchive: the archive window reading what an archive or container holds.
enum class JobKind { CreateArchive, Decrypt, Unzip, OpenArchive };

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
    // Decrypt: the plaintext written, archive or not, when the decryption completed.
    std::filesystem::path decryptedFile{};
};

// The questions a job asks. Each has its own type, so that a host shows each
// the way it should (a picker, the password dialog, a message box) or answers
// it from what it already knows (a command line's --overwrite). Hosts answer
// them with std::visit, so a new kind does not build until every host
// answers it.

// Whether to replace the existing file at `path`, with an answer that
// OverwriteButtons(kind) offers.
struct ReplaceQuestion {
    std::filesystem::path path;
    OverwriteKind kind = OverwriteKind::UnzippedEntry;
};
// After a failed file or entry, with the lines that say why: whether to go
// on with the next one (Yes or No).
struct GoOnQuestion {
    std::vector<MessageLine> reason;
};
// The decryption password, showing the container's hint. Asked again after a
// wrong password. A ZIP archive's password (forArchive) has no hint.
struct PasswordQuestion {
    std::string hint;
    bool forArchive = false;
};
// An existing file to open.
struct OpenFileQuestion {
    FileFilter filter = FileFilter::Zip;
};
// A file to write, offering defaultName (may be empty) in startFolder (may be
// empty); a name typed without an extension gets the filter's. The host
// confirms replacing an existing file.
struct SaveFileQuestion {
    FileFilter filter = FileFilter::Zip;
    std::string defaultName;
    std::filesystem::path startFolder;
};
// A folder, with the instruction text `title`.
struct FolderQuestion {
    MessageId title = MessageId::ChooseFolderToUnzip;
};

using Question = std::variant<MessageBoxRequest, ReplaceQuestion, GoOnQuestion, PasswordQuestion, OpenFileQuestion,
                              SaveFileQuestion, FolderQuestion>;

// A path chosen, or nothing when the picker was cancelled.
using PathAnswer = std::optional<std::filesystem::path>;
// A password given, or nothing when the dialog was cancelled.
using PasswordAnswer = std::optional<std::string>;
// The answer to a question: a button (a message box, ReplaceQuestion,
// GoOnQuestion), a path (open, save, folder) or a password.
using Answer = std::variant<MessageAnswer, PathAnswer, PasswordAnswer>;

// The answer that stands for a question nobody answered (cancelled,
// abandoned, no one to ask): no path, no password, the way out of a box.
Answer CancelledAnswer(const Question& question);

// The message boxes that ask these questions where no better way exists.
MessageBoxRequest MessageBoxFor(const ReplaceQuestion& question);
MessageBoxRequest MessageBoxFor(const GoOnQuestion& question);

// What a job's progress display shows, as a whole: a host compares it with
// what it shows already and changes only what differs (TakeChanges).
struct Progress {
    bool shown = false;                       // up, brought in front once
    std::optional<MessageId> title;           // nothing: not set yet
    std::optional<MessageId> cancelCaption;
    std::optional<MessageLine> status;
    // The bars begun so far: each range starts a new one at position 0, and
    // its rate and time left over, even when the range is the same.
    std::uint32_t bar = 0;
    std::uint32_t range = 0;
    std::uint32_t position = 0;
    ProgressAmounts amounts;  // what the bar stands for

    bool operator==(const Progress&) const = default;
};

// What differs between two progress snapshots.
struct ProgressChanges {
    bool shown = false;
    bool title = false;
    bool cancelCaption = false;
    bool status = false;
    bool bar = false;       // a new bar (and range)
    bool position = false;  // also set with a new bar
    bool amounts = false;

    bool Any() const { return shown || title || cancelCaption || status || bar || position || amounts; }
    // Only the bar moved: what a host may coalesce.
    bool OnlyMoved() const { return !shown && !title && !cancelCaption && !status && !bar; }
};

// Brings `shown` up to `latest`, copying only what differs (a position copies
// no text), and says what did.
ProgressChanges TakeChanges(Progress& shown, const Progress& latest);

// Everything a job asks of and tells the user, so that a job never touches a
// window: the desktop program answers on its GUI thread, the command-line tool
// on the terminal, tests from a script. One host serves one job at a time and
// owns that job's progress display. A host implements three calls: Ask (every
// question), Report (the progress display as a whole) and Complete. The jobs
// use the helpers below, which build a question or update the snapshot the
// base keeps, and the ProgressSink part (range, position, cancel flag), which
// the engine drives.
//
// Threads. Every call comes from the job's own thread (see JobRunner), never
// from two threads at once, in the order the job makes them; only
// CancelRequested may be called from any thread.
// - Ask asks: the job waits for the answer, so the host may take as long as
//   the user does, for example by running a dialog on its GUI thread and
//   waiting for it there. A host that cannot ask answers CancelledAnswer.
// - Report only tells, with the whole snapshot after each change: the host
//   may apply it later and skip snapshots (only the latest matters), but
//   shows the latest before anything the job does after it, so a message box
//   never shows with an older status behind it. It must be cheap, as a job
//   moves the bar once per chunk; TakeChanges copies only what differs.
// - Cancel. CancelRequested is polled between chunks and entries, from any
//   thread; it reads atomics and never blocks. It is true when
//   the base's own flag is set (RequestCancel, from any thread), when the
//   flag a host named at construction is set (a Cancel button's, Ctrl-C's),
//   or, for a wrapper, when its wrapped host's CancelRequested is.
// - Complete is the last call. It must not block: a GUI host queues it to its
//   GUI thread, which may be the very thread that is waiting for nothing but
//   must never wait for the job.
// Abandoned jobs (AbandonableJobHost): once abandoned, every question answers
// CancelledAnswer, reports do nothing, CancelRequested is true and no
// completion arrives.
// Lifetime. JobRunner holds the host by shared ownership until the job's thread
// has ended, so the host outlives every call the job makes; a host that refers
// to windows must itself cope with those windows having gone.
class JobHost : public ProgressSink {
public:
    // Asks and waits for the answer.
    virtual Answer Ask(const Question& question) = 0;
    // Tells what the progress display shows now.
    virtual void Report(const Progress& progress) = 0;
    // The job's last call, with how it ended.
    virtual void Complete(const JobCompletion& completion) = 0;

    // Hosts leave it as it is; a test host may add to it, to act when a job polls.
    bool CancelRequested() const override {
        return cancelled_.load(std::memory_order_relaxed) ||
               (cancelFlag_ != nullptr && cancelFlag_->load(std::memory_order_relaxed)) ||
               (wrapped_ != nullptr && wrapped_->CancelRequested());
    }

    // For the jobs: each asks one question and returns its answer.
    std::optional<std::filesystem::path> ChooseFileToOpen(FileFilter filter);
    std::optional<std::filesystem::path> ChooseFileToSave(FileFilter filter, const std::string& defaultName,
                                                          const std::filesystem::path& startFolder);
    std::optional<std::filesystem::path> ChooseFolder(MessageId title);
    std::optional<std::string> AskPassword(const std::string& hint);
    std::optional<std::string> AskArchivePassword();
    MessageAnswer ShowMessage(const MessageBoxRequest& request);
    MessageAnswer AskOverwrite(const std::filesystem::path& path, OverwriteKind kind);
    bool AskContinueAfterFailure(std::vector<MessageLine> reason);

    // For the jobs: each changes the snapshot and reports it. The progress
    // window: show it in front, its title, its status line, the caption of
    // its Cancel button, and what the bar stands for (set after SetRange and
    // again whenever a file or entry is done).
    void ShowProgress();
    void SetProgressTitle(MessageId title);
    void SetStatus(const MessageLine& status);
    void SetCancelCaption(MessageId caption);
    void SetAmounts(const ProgressAmounts& amounts);
    // A new bar at position 0.
    void SetRange(std::uint32_t high) final;
    void SetPosition(std::uint32_t position) final;

    virtual ~JobHost() = default;

protected:
    JobHost() = default;
    // Cancelled also while `cancelFlag` is set; it outlives the host.
    explicit JobHost(const std::atomic<bool>& cancelFlag) : cancelFlag_(&cancelFlag) {}
    // A wrapper: cancelled also while `wrapped` is; it outlives the wrapper.
    explicit JobHost(const JobHost* wrapped) : wrapped_(wrapped) {}

    void RequestCancel() { cancelled_.store(true, std::memory_order_relaxed); }

private:
    template <typename Given>
    Given AskFor(const Question& question);
    // Sets one field of the snapshot and reports it.
    template <typename Field>
    void Update(Field Progress::*field, const Field& value);

    std::atomic<bool> cancelled_{false};
    const std::atomic<bool>* cancelFlag_ = nullptr;
    const JobHost* wrapped_ = nullptr;
    Progress progress_;  // job thread only
};

}  // namespace vaultpack
