#pragma once

#include <memory>
#include <vector>

#include <QDialog>

#include "app/MessageCatalogue.h"
#include "jobs/JobHost.h"
#include "jobs/JobRecords.h"
#include "ui/ArchiveOptions.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace vaultpack {

class AbandonableJobHost;
class PlatformPickers;
class ProgressDialog;

// Asks what to do with the builder's rows: "Encrypt file" (which asks for the
// password at once) and/or "Zip file", and for one file with both, the order.
// OK starts the create job on its own thread while the dialog stays open; it
// closes with OK when the archive was made, and comes back with OK enabled
// when the job was cancelled, failed or its save dialog was cancelled. Cancel
// during a job abandons it: the window closes at once, the job winds down
// without showing anything more.
class ArchiveOptionsDialog : public QDialog {
    Q_OBJECT

public:
    // catalogue, pickers and progress must outlive the dialog and its job.
    ArchiveOptionsDialog(const MessageCatalogue& catalogue, PlatformPickers& pickers, ProgressDialog& progress,
                         std::vector<ArchiveItem> items, QWidget* parent = nullptr);
    ~ArchiveOptionsDialog() override;

    const ArchiveOptions& Options() const { return options_; }

signals:
    // The job's completion has been handled.
    void jobFinished();

public slots:
    void accept() override;
    void reject() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    void OnEncryptClicked(bool checked);
    void OnZipClicked(bool checked);
    void OnAesClicked(bool checked);
    void OnJobCompleted(const JobCompletion& completion);
    // Puts the options into the widgets.
    void ShowOptions();

    const MessageCatalogue& catalogue_;
    PlatformPickers& pickers_;
    ProgressDialog& progress_;
    std::vector<ArchiveItem> items_;
    ArchiveOptions options_;
    std::shared_ptr<AbandonableJobHost> runningJob_;
    QCheckBox* encryptCheckBox_;
    QCheckBox* zipCheckBox_;
    QCheckBox* aesCheckBox_;
    QLabel* aesNote_;
    QGroupBox* orderGroup_;
    QRadioButton* encryptThenZipButton_;
    QRadioButton* zipThenEncryptButton_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
};

}  // namespace vaultpack
