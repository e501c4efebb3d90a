#pragma once

#include <filesystem>
#include <memory>

#include <QDialog>

#include "app/MessageCatalogue.h"
#include "jobs/JobHost.h"
#include "jobs/JobRecords.h"

namespace vaultpack {

class IconButton;
class PlatformPickers;
class ProgressDialog;

// The program's main window: three large buttons, Create Archive, Decrypt
// File and Unzip File. Decrypting and unzipping run as jobs on their own
// threads, each with its progress window; a decrypted archive made by the
// program is unzipped beside its container at once. In DecryptAtStart mode
// (started with "-d FILE") the window decrypts that file with every button
// disabled and closes when the work, including any unzip, is done.
//
// The three progress windows (create, decrypt, unzip) are made here, hidden,
// without an owner, and live as long as the window; no dialog of this window
// blocks them. A job's button stays disabled while that job runs; the window
// never waits for a job. Its context menu's Open Archive, and an archive
// dropped with Ctrl held, open an archive window. The window is modeless: the program ends when it
// has closed.
class MainDialog : public QDialog {
    Q_OBJECT

public:
    enum StartMode : int { Normal = 0, DecryptAtStart = 2 };

    // catalogue and pickers must outlive the window and its jobs.
    MainDialog(const MessageCatalogue& catalogue, PlatformPickers& pickers, QWidget* parent = nullptr);
    ~MainDialog() override;

    // Decrypts `container` at once in DecryptAtStart mode: every button is
    // disabled and the window closes when the work is done. Does nothing
    // while a decrypt job runs.
    void DecryptAtStartup(const std::filesystem::path& container);
    int StartModeValue() const { return startMode_; }

    ProgressDialog& CreateArchiveProgress() const { return *createProgress_; }
    ProgressDialog& DecryptProgress() const { return *decryptProgress_; }
    ProgressDialog& UnzipProgress() const { return *unzipProgress_; }

public slots:
    // Escape and the close box: end the program, after asking when a job
    // still runs (its files are removed as the program ends).
    void reject() override;

signals:
    // A job's completion has been handled (buttons, progress window, follow-on).
    void decryptFinished();
    void unzipFinished();

protected:
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void OnCreateArchivePressed();
    void OnDecryptPressed();
    void OnUnzipPressed();
    // The context menu's Open Archive: picks an archive or container and opens its window.
    void OnOpenArchiveChosen();
    void StartDecrypt(FileJobParams params);
    void StartUnzip(FileJobParams params);
    void OnDecryptCompleted(const JobCompletion& completion);
    void OnUnzipCompleted(const JobCompletion& completion);
    // Closes the window without asking.
    void Close();

    const MessageCatalogue& catalogue_;
    PlatformPickers& pickers_;
    std::unique_ptr<ProgressDialog> createProgress_;
    std::unique_ptr<ProgressDialog> decryptProgress_;
    std::unique_ptr<ProgressDialog> unzipProgress_;
    IconButton* createArchiveButton_;
    IconButton* decryptFileButton_;
    IconButton* unzipFileButton_;
    bool decryptRunning_ = false;
    bool unzipRunning_ = false;
    int startMode_ = Normal;
};

}  // namespace vaultpack
