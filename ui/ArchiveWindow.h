#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include <QWidget>

#include "app/MessageCatalogue.h"
#include "jobs/JobHost.h"
#include "jobs/JobRecords.h"
#include "jobs/JobRunner.h"
#include "ui/ArchiveTree.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QTableView;
class QTreeView;

namespace vaultpack {

class ArchiveFolderModel;
class ArchiveListModel;
class IconButton;
class PlatformPickers;
class PrivateFolder;
class ProgressDialog;

// A window that shows what a ZIP archive or a container holds before anything
// is unpacked: a folder tree beside a sortable list, a filter, a summary of
// what lies at the top, and Extract All, Extract Selected, Open and dragging
// rows out to a file manager. Reading
// the list and every extraction run as jobs on their own threads, with the
// window's progress window and the jobs' usual questions. Entries opened are
// extracted into a private folder that goes when the window closes (or the
// program ends). It deletes itself when closed.
class ArchiveWindow : public QWidget {
    Q_OBJECT

public:
    // Starts reading `file` (with a progress window for many entries, and
    // the password dialog for a container) and shows the window with what it
    // holds; the window closes unseen when the file cannot be read or its
    // password is not given.
    // catalogue and pickers must outlive the window.
    static ArchiveWindow* Open(const MessageCatalogue& catalogue, PlatformPickers& pickers,
                               const std::filesystem::path& file);
    ~ArchiveWindow() override;

    ProgressDialog& Progress() const { return *progress_; }
    ArchiveListModel* List() const { return listModel_; }
    QTableView* ListView() const { return list_; }
    // The private folder, while the window has one.
    std::filesystem::path PrivateFolderPath() const;

    // What the buttons and menu do, on the list's selection.
    void ExtractAll();
    void ExtractSelected();
    void OpenSelected();
    void CopySelectedNames();

signals:
    // The list has been read (or reading failed, and the window closes).
    void Opened(bool succeeded);
    // A job started from the window has ended and its completion is handled.
    void JobFinished(JobOutcome outcome);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    ArchiveWindow(const MessageCatalogue& catalogue, PlatformPickers& pickers, std::filesystem::path file);
    void StartReading();
    void ShowContents(std::shared_ptr<const ArchiveTree> tree);
    void ShowFolder(std::int32_t folder);
    void UpdateSummary();
    void UpdateStatus();
    void Extract(std::vector<std::int64_t> entries);
    // Extracts the entry into the private folder and hands it to the desktop's application.
    void OpenEntry(std::uint32_t entry);
    // Extracts dragged rows into the private folder when a drop asks for
    // them; the paths of the files and folders made for the rows.
    std::vector<std::filesystem::path> ExtractForDrop(const std::vector<ArchiveTree::Row>& rows);
    // Runs a job with the window's progress window; afterwards(outcome) on completion.
    void RunJob(JobKind kind, JobBody body, std::function<void(const JobCompletion&)> afterwards);
    std::vector<ArchiveTree::Row> SelectedRows() const;
    void ShowListMenu(const QPoint& position);

    const MessageCatalogue& catalogue_;
    PlatformPickers& pickers_;
    const std::filesystem::path file_;
    std::unique_ptr<PrivateFolder> privateFolder_;
    std::unique_ptr<ProgressDialog> progress_;
    std::shared_ptr<const ArchiveTree> tree_;
    ArchiveFolderModel* folderModel_ = nullptr;
    ArchiveListModel* listModel_ = nullptr;
    IconButton* extractAllButton_;
    IconButton* extractSelectedButton_;
    QCheckBox* newFolderCheckBox_;
    QLineEdit* filter_;
    QLabel* summary_;
    QTreeView* folders_;
    QTableView* list_;
    QLabel* status_;
    bool jobRunning_ = false;
    bool closeWhenJobEnds_ = false;
    int entriesOpened_ = 0;
    int dragsMade_ = 0;
};

}  // namespace vaultpack
