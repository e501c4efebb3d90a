#pragma once

#include <filesystem>
#include <vector>

#include "app/MessageCatalogue.h"
#include "jobs/JobRecords.h"
#include "jobs/MessageLine.h"
#include "ui/ArchiveListOrder.h"
#include "ui/controls/ResizableDialogBase.h"

class QLabel;
class QTreeWidget;

namespace vaultpack {

class FileTypeLookup;
class IconButton;
class PlatformPickers;
class ProgressDialog;

// Collects what goes into a new archive: files through the file picker,
// whole folder trees through the folder chooser, or both dropped from the
// file manager, one row per file (name, type, size, folder inside the
// archive), at most 1000 rows. The list sorts by any column and loses its
// selected rows to Delete. Create Archive hands the rows to the options
// dialog; once that has run its job, the builder closes.
class ArchiveBuilderDialog : public ResizableDialogBase {
    Q_OBJECT

public:
    // catalogue, pickers and progress (the create job's progress window) must
    // outlive the dialog.
    ArchiveBuilderDialog(const MessageCatalogue& catalogue, PlatformPickers& pickers, ProgressDialog& progress,
                         QWidget* parent = nullptr);
    ~ArchiveBuilderDialog() override;

    // The rows in display order, as the create job reads them.
    std::vector<ArchiveItem> Items() const;
    int ItemCount() const;
    const ArchiveListOrder& Order() const { return order_; }

    // The paths of a drop from the file manager, in order: folders add their
    // trees, files themselves, missing paths are skipped.
    void AddDroppedPaths(const std::vector<std::filesystem::path>& paths);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void OnAddFiles();
    void OnAddFolders();
    void OnCreateArchive();
    void OnHeaderClicked(int column);

    bool Full() const { return ItemCount() >= kMaxArchiveItems; }
    // One row at the end of the list.
    void AddFile(const std::filesystem::path& path, const std::string& archiveFolder);
    // A file added on its own, unless its name cannot go into an archive.
    void AddSingleFile(const std::filesystem::path& path);
    // Every file below folder, under its own name, until the list is full;
    // what the walk leaves out is noted for TellSkipped.
    void AddTree(const std::filesystem::path& folder);
    // One message naming what the last addition left out, and why.
    void TellSkipped();
    // Message 106, when the list has just become full.
    void TellIfFull();
    void RemoveSelectedRows();
    // After rows were added: the header's arrow goes, the status line follows.
    void RowsAdded();
    // The number of rows and their total size.
    void UpdateStatusLine();
    void ShowInformation(MessageId message);

    const MessageCatalogue& catalogue_;
    PlatformPickers& pickers_;
    ProgressDialog& progress_;
    std::unique_ptr<FileTypeLookup> fileTypes_;
    ArchiveListOrder order_;
    std::vector<MessageLine> skipped_;
    IconButton* addFilesButton_;
    IconButton* addFoldersButton_;
    IconButton* createArchiveButton_;
    QTreeWidget* list_;
    QLabel* statusLine_;
};

}  // namespace vaultpack
