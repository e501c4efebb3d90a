#pragma once

#include <atomic>
#include <memory>

#include <QDialog>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vaultpack {

// The window in which a running job shows its title, a status text, a bar
// and a Cancel button. Created hidden, without a parent, and reused for
// every run of one job kind; modeless. Cancel, Escape and the close box only
// raise the cancel flag: the window stays until the job's completion handler
// hides it (and clears the flag). Enter does nothing.
//
// Every method runs on the GUI thread, except CancelRequested, which the
// job's worker thread may read at any time.
class ProgressDialog : public QDialog {
    Q_OBJECT

public:
    ProgressDialog();

    void SetTitle(const QString& title);
    // Replaces the status text. The window stays where it is: only
    // ShowInFront brings it to the front, so that a running job does not take
    // the focus from the user's other windows with every file.
    void SetStatus(const QString& status);
    // The line under the bar: count, percentage, rate and time left.
    void SetDetails(const QString& details);
    void SetCancelCaption(const QString& caption);

    // The bar runs from 0 to high; positions above high show as high.
    void SetRange(quint32 high);
    void SetPosition(quint32 position);

    // Makes the window visible, in front, with the focus.
    void ShowInFront();

    bool CancelRequested() const { return cancelRequested_->load(std::memory_order_relaxed); }
    void ClearCancel() { cancelRequested_->store(false, std::memory_order_relaxed); }
    // The flag itself, for a job's host on another thread that may outlive
    // this window (the program closing while the job runs).
    std::shared_ptr<const std::atomic<bool>> CancelFlag() const { return cancelRequested_; }

public slots:
    // Escape and the Cancel button arrive here; they ask, never close.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* statusLabel_;
    QProgressBar* progressBar_;
    QLabel* detailsLabel_;
    QPushButton* cancelButton_;
    quint32 high_ = 0;
    // QProgressBar counts in int; a range above INT_MAX is halved, with the
    // positions, to fit.
    int rangeShift_ = 0;
    std::shared_ptr<std::atomic<bool>> cancelRequested_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace vaultpack
