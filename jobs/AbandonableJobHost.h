#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "jobs/JobHost.h"

namespace vaultpack {

// Wraps the host of a job that its starter may abandon (the options window
// closed while its create job runs). Until Abandon, every call goes to the
// wrapped host. From Abandon on, no call reaches it any more: questions are
// answered as cancelled (no file, no folder, no password, Cancel or No for a
// message box, Ok for an OK box), the progress calls do nothing,
// CancelRequested is true so the job winds down at its next check, and the
// completion is swallowed.
//
// Abandon may be called from any thread while the job calls the host on its
// own thread, and it returns at once: it never waits for a call in progress
// (the starter may be the very thread that answers that call). A question
// already being asked when Abandon comes gets the abandoned answer whatever
// the user chose. Once Abandon has returned, Complete never reaches the
// wrapped host.
class AbandonableJobHost final : public JobHost {
public:
    explicit AbandonableJobHost(std::shared_ptr<JobHost> wrapped) : wrapped_(std::move(wrapped)) {}

    void Abandon();

    std::optional<std::filesystem::path> ChooseFileToOpen(FileFilter filter) override;
    std::optional<std::filesystem::path> ChooseFileToSave(FileFilter filter, const std::string& defaultName,
                                                          const std::filesystem::path& startFolder) override;
    std::optional<std::filesystem::path> ChooseFolder(MessageId title) override;
    std::optional<std::string> AskPassword(const std::string& hint) override;
    MessageAnswer ShowMessage(const MessageBoxRequest& request) override;
    MessageAnswer AskOverwrite(const std::filesystem::path& path, OverwriteKind kind) override;
    bool AskContinueAfterFailure(std::vector<MessageLine> reason) override;

    void ShowProgress() override;
    void SetProgressTitle(MessageId title) override;
    void SetStatus(const MessageLine& status) override;
    void SetCancelCaption(MessageId caption) override;
    void SetAmounts(const ProgressAmounts& amounts) override;
    void SetRange(std::uint32_t high) override;
    void SetPosition(std::uint32_t position) override;
    bool CancelRequested() const override;

    void Complete(const JobCompletion& completion) override;

private:
    // Shared, so that a call in progress when the starter abandons the job and
    // goes away still has its host.
    std::shared_ptr<JobHost> wrapped_;
    std::atomic<bool> abandoned_{false};
    // Held while a completion is handed on (a quick, non-blocking call) and by
    // Abandon, so that no completion slips through after Abandon returns.
    std::mutex completionMutex_;
};

}  // namespace vaultpack
