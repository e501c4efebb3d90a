#include "ui/ArchiveWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableView>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/AmountText.h"
#include "app/PrintableText.h"
#include "files/Failure.h"
#include "jobs/FailureReasons.h"
#include "files/PrivateFolder.h"
#include "files/WorkerPool.h"
#include "jobs/ArchiveContents.h"
#include "jobs/Jobs.h"
#include "ui/ArchiveModels.h"
#include "ui/ArchiveTree.h"
#include "ui/CatalogueText.h"
#include "ui/DialogJobHost.h"
#include "ui/JobMessageBox.h"
#include "ui/PlatformPickers.h"
#include "ui/ProgramIcons.h"
#include "ui/ProgressDialog.h"
#include "ui/controls/IconButton.h"
#include "zip/EntryPath.h"

namespace vaultpack {

namespace {

// The folder an archive with several items at its top unpacks into, beside
// them: named after the archive, with " (2)" and so on when that is taken.
// Nothing when the folder cannot be looked into (a name too long, no
// permission): the first name free is not known then.
std::optional<std::filesystem::path> NewFolderIn(const std::filesystem::path& parent, const std::string& name) {
    constexpr int kMostTries = 1000;
    for (int number = 1; number <= kMostTries; ++number) {
        const std::filesystem::path candidate =
            parent / (number == 1 ? name : name + " (" + std::to_string(number) + ")");
        std::error_code error;
        const std::filesystem::file_type type = std::filesystem::symlink_status(candidate, error).type();
        if (type == std::filesystem::file_type::not_found) {
            return candidate;
        }
        if (error) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// The catalogue's text with a name from the archive for "%1", cut short with
// "…" where it would make `widget`, and so the window, wider than the screen.
QString TextWithName(const MessageCatalogue& catalogue, MessageId id, const QWidget& widget, std::string_view name) {
    return CatalogueText(catalogue, id).replace(
        QStringLiteral("%1"),
        widget.fontMetrics().elidedText(QString::fromUtf8(PrintableText(name, false)), Qt::ElideMiddle, 360));
}

QString FormatText(const MessageCatalogue& catalogue, MessageId id, std::string_view first,
                   std::string_view second = {}) {
    return QString::fromStdString(catalogue.Format(id, first, second));
}

// The host of an extraction for a drop, which nobody watches: every question
// gets its way out (no password, no going on after a failure).
class UnattendedJobHost final : public JobHost {
public:
    Answer Ask(const Question& question) override { return CancelledAnswer(question); }
    void Report(const Progress&) override {}
    void Complete(const JobCompletion&) override {}
};

}  // namespace

ArchiveWindow* ArchiveWindow::Open(const MessageCatalogue& catalogue, PlatformPickers& pickers,
                                   const std::filesystem::path& file) {
    auto* window = new ArchiveWindow(catalogue, pickers, file);
    window->StartReading();
    return window;
}

ArchiveWindow::ArchiveWindow(const MessageCatalogue& catalogue, PlatformPickers& pickers, std::filesystem::path file)
    : QWidget(nullptr, Qt::Window),
      catalogue_(catalogue),
      pickers_(pickers),
      file_(std::move(file)),
      progress_(std::make_unique<ProgressDialog>()) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("archiveWindow"));
    setWindowTitle(QString::fromStdString(file_.filename().string()) + QStringLiteral(" - Vaultpack"));
    setWindowIcon(ProgramIcon(icon_names::kApplication));
    progress_->setObjectName(QStringLiteral("archiveProgress"));

    extractAllButton_ = MakeProgramButton(this, "extractAllButton", icon_names::kUnzip,
                                          CatalogueText(catalogue, MessageId::ExtractAllButton));
    extractSelectedButton_ = MakeProgramButton(this, "extractSelectedButton", icon_names::kUnzip,
                                               CatalogueText(catalogue, MessageId::ExtractSelectedButton));
    for (IconButton* button : {extractAllButton_, extractSelectedButton_}) {
        button->setMinimumWidth(96);
        button->setEnabled(false);
    }
    const std::string stem = file_.stem().string();
    newFolderCheckBox_ = new QCheckBox(this);
    newFolderCheckBox_->setText(TextWithName(catalogue, MessageId::ExtractIntoNewFolder, *newFolderCheckBox_, stem));
    newFolderCheckBox_->setObjectName(QStringLiteral("newFolderCheckBox"));
    newFolderCheckBox_->setChecked(true);
    newFolderCheckBox_->hide();
    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("filterEdit"));
    filter_->setPlaceholderText(CatalogueText(catalogue, MessageId::FilterPlaceholder));
    filter_->setClearButtonEnabled(true);
    filter_->setMinimumWidth(200);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("summaryLabel"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("statusLabel"));

    folders_ = new QTreeView(this);
    folders_->setObjectName(QStringLiteral("folderTree"));
    folders_->setHeaderHidden(true);
    // A table, not a tree: a flat list of many rows costs a tree view a
    // record per row and a walk over all of them at every reset.
    list_ = new QTableView(this);
    list_->setObjectName(QStringLiteral("entryList"));
    list_->setShowGrid(false);
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
    list_->horizontalHeader()->setHighlightSections(false);
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSortingEnabled(true);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->setDragEnabled(true);
    list_->setDragDropMode(QAbstractItemView::DragOnly);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(folders_);
    splitter->addWidget(list_);
    splitter->setStretchFactor(1, 4);
    splitter->setSizes({180, 720});

    auto* top = new QHBoxLayout;
    top->addWidget(extractAllButton_);
    top->addWidget(extractSelectedButton_);
    top->addWidget(newFolderCheckBox_);
    top->addStretch();
    top->addWidget(filter_, 0, Qt::AlignVCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(summary_);
    layout->addWidget(splitter, 1);
    layout->addWidget(status_);
    resize(900, 540);

    connect(extractAllButton_, &IconButton::clicked, this, &ArchiveWindow::ExtractAll);
    connect(extractSelectedButton_, &IconButton::clicked, this, &ArchiveWindow::ExtractSelected);
    connect(newFolderCheckBox_, &QCheckBox::toggled, this, &ArchiveWindow::UpdateSummary);
    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (listModel_ != nullptr) {
            listModel_->Show(listModel_->ShownFolder(), text);
        }
    });
    connect(list_, &QTableView::customContextMenuRequested, this, &ArchiveWindow::ShowListMenu);
    connect(list_, &QTableView::activated, this, [this](const QModelIndex& index) {
        const ArchiveTree::Row& row = listModel_->RowAt(index.row());
        if (row.isFolder) {
            ShowFolder(static_cast<std::int32_t>(row.id));
        } else {
            OpenEntry(row.id);
        }
    });
    auto* copy = new QShortcut(QKeySequence::Copy, list_);
    connect(copy, &QShortcut::activated, this, &ArchiveWindow::CopySelectedNames);
    auto* closing = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), this);
    connect(closing, &QShortcut::activated, this, &QWidget::close);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, filter_, qOverload<>(&QLineEdit::setFocus));
}

ArchiveWindow::~ArchiveWindow() = default;

std::filesystem::path ArchiveWindow::PrivateFolderPath() const {
    return privateFolder_ ? privateFolder_->Path() : std::filesystem::path();
}

void ArchiveWindow::StartReading() {
    try {
        privateFolder_ = std::make_unique<PrivateFolder>("vaultpack-view-");
    } catch (const FailureError& error) {
        ShowJobMessage(this, catalogue_,
                       {MessageId::CaptionError, MessageButtons::Ok, MessageOwner::MainWindow, {ReasonLine(error)}});
        close();
        return;
    }
    OpenArchiveParams params{file_, privateFolder_->Path(), std::make_shared<ArchiveContents>()};
    auto tree = std::make_shared<std::shared_ptr<const ArchiveTree>>();
    // The tree is built on the job's thread too: for many entries it takes a while.
    RunJob(
        JobKind::OpenArchive,
        [params, tree](JobHost& host) {
            JobCompletion completion = RunOpenArchiveJob(params, host);
            if (completion.outcome == JobOutcome::Succeeded) {
                *tree = std::make_shared<const ArchiveTree>(params.contents);
            }
            return completion;
        },
        [this, tree](const JobCompletion& completion) {
            if (completion.outcome != JobOutcome::Succeeded || !*tree) {
                emit Opened(false);
                close();
                return;
            }
            ShowContents(*tree);
            show();
            emit Opened(true);
        });
}

void ArchiveWindow::ShowContents(std::shared_ptr<const ArchiveTree> tree) {
    tree_ = std::move(tree);
    folderModel_ = new ArchiveFolderModel(tree_, QString::fromStdString(file_.filename().string()), this);
    folders_->setModel(folderModel_);
    folders_->expand(folderModel_->IndexOf(ArchiveTree::kTop));
    folders_->setCurrentIndex(folderModel_->IndexOf(ArchiveTree::kTop));
    listModel_ = new ArchiveListModel(catalogue_, tree_, this);
    listModel_->SetExtractor([window = QPointer<ArchiveWindow>(this)](const std::vector<ArchiveTree::Row>& rows) {
        return window ? window->ExtractForDrop(rows) : std::vector<std::filesystem::path>();
    });
    list_->setModel(listModel_);
    {
        // The model's rows come sorted by name already: only the indicator is set.
        const QSignalBlocker quiet(list_->horizontalHeader());
        list_->horizontalHeader()->setSortIndicator(static_cast<int>(ArchiveListColumn::Name), Qt::AscendingOrder);
    }
    // Sized to the rows in view (the header's text at least), but the name
    // column: laying out names of any length would hold the window.
    for (int column = 1; column < static_cast<int>(ArchiveListColumn::Count); ++column) {
        list_->resizeColumnToContents(column);
    }
    list_->setColumnWidth(static_cast<int>(ArchiveListColumn::Name), 240);
    const auto& entries = tree_->Contents().entries;
    const bool anyFlagged =
        std::any_of(entries.begin(), entries.end(), [](const ListedEntry& entry) { return entry.flag != NameFlag::None; });
    list_->setColumnHidden(static_cast<int>(ArchiveListColumn::Problem), !anyFlagged);
    connect(folders_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && ArchiveFolderModel::FolderOf(current) != listModel_->ShownFolder()) {
                    listModel_->Show(ArchiveFolderModel::FolderOf(current), filter_->text());
                }
            });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &ArchiveWindow::UpdateStatus);
    connect(listModel_, &ArchiveListModel::RowsReady, this, &ArchiveWindow::UpdateStatus);
    const ArchiveTree::Folder& top = tree_->FolderAt(ArchiveTree::kTop);
    newFolderCheckBox_->setVisible(top.folders.size() + top.files.size() > 1);
    UpdateSummary();
    UpdateStatus();
}

void ArchiveWindow::ShowFolder(std::int32_t folder) {
    folders_->setCurrentIndex(folderModel_->IndexOf(folder));
    folders_->scrollTo(folderModel_->IndexOf(folder));
    listModel_->Show(folder, filter_->text());
}

void ArchiveWindow::UpdateSummary() {
    if (!tree_) {
        return;
    }
    const ArchiveTree::Folder& top = tree_->FolderAt(ArchiveTree::kTop);
    const std::size_t count = top.folders.size() + top.files.size();
    QString text;
    if (count == 1 && top.folders.size() == 1) {
        text = TextWithName(catalogue_, MessageId::OneFolderAtTop, *summary_,
                            tree_->FolderAt(top.folders.front()).name);
    } else if (count == 1) {
        text = TextWithName(catalogue_, MessageId::OneFileAtTop, *summary_, tree_->ShownName(top.files.front()));
    } else if (count > 1) {
        text = FormatText(catalogue_,
                          newFolderCheckBox_->isChecked() ? MessageId::ItemsAtTopIntoNewFolder : MessageId::ItemsAtTop,
                          std::to_string(count));
    }
    summary_->setText(text);
}

void ArchiveWindow::UpdateStatus() {
    if (!tree_) {
        return;
    }
    const std::vector<ArchiveTree::Row> selected = SelectedRows();
    std::uint64_t selectedBytes = 0;
    for (const ArchiveTree::Row& row : selected) {
        selectedBytes += row.isFolder ? tree_->SizeBelow(static_cast<std::int32_t>(row.id))
                                      : tree_->Contents().entries[row.id].size;
    }
    const std::size_t selectedCount = selected.size();
    const auto& entries = tree_->Contents().entries;
    status_->setText(FormatText(catalogue_, MessageId::ArchiveStatusLine, std::to_string(entries.size()),
                                ByteSizeText(catalogue_, tree_->SizeBelow(ArchiveTree::kTop))) +
                     QStringLiteral("    ") +
                     FormatText(catalogue_, MessageId::SelectionStatus, std::to_string(selectedCount),
                                ByteSizeText(catalogue_, selectedBytes)));
    extractAllButton_->setEnabled(!jobRunning_);
    extractSelectedButton_->setEnabled(!jobRunning_ && selectedCount > 0);
}

// Read from the selection's ranges: a list of all 600,000 rows selected is a
// handful of ranges, where a list of indexes would be 600,000 of them.
std::vector<ArchiveTree::Row> ArchiveWindow::SelectedRows() const {
    std::vector<ArchiveTree::Row> rows;
    for (const QItemSelectionRange& range : list_->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.push_back(listModel_->RowAt(row));
        }
    }
    return rows;
}

void ArchiveWindow::ExtractAll() {
    if (tree_ && !jobRunning_) {
        Extract({});
    }
}

void ArchiveWindow::ExtractSelected() {
    if (!tree_ || jobRunning_) {
        return;
    }
    std::vector<std::int64_t> entries = tree_->EntriesOf(SelectedRows());
    if (!entries.empty()) {
        Extract(std::move(entries));
    }
}

void ArchiveWindow::Extract(std::vector<std::int64_t> entries) {
    const std::optional<std::filesystem::path> chosen = pickers_.ExistingFolder(
        this, CatalogueText(catalogue_, MessageId::ChooseFolderToUnzip), file_.parent_path());
    if (!chosen) {
        return;
    }
    const ArchiveContents& contents = tree_->Contents();
    FileJobParams params;
    params.destinationFolders = {*chosen};
    if (newFolderCheckBox_->isVisible() && newFolderCheckBox_->isChecked()) {
        // Where no free name can be found, the unzip job says why the folder cannot be made.
        params.destinationFolders = {NewFolderIn(*chosen, file_.stem().string()).value_or(*chosen / file_.stem())};
    }
    if (!contents.plainFile.empty()) {
        // The container's one file: restored again, where the user chose.
        params.sourceFiles = {contents.opened};
        params.password = contents.password;
        RunJob(JobKind::Decrypt, [params](JobHost& host) { return RunDecryptJob(params, host); }, {});
        return;
    }
    params.sourceFiles = {contents.archive};
    params.container = contents.FromContainer() ? contents.opened : std::filesystem::path();
    params.entries = std::move(entries);
    RunJob(JobKind::Unzip, [params](JobHost& host) { return RunUnzipJob(params, host); }, {});
}

void ArchiveWindow::OpenSelected() {
    if (!tree_ || jobRunning_) {
        return;
    }
    // The one file selected, else the row the keyboard is on.
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    const QModelIndex index = rows.size() == 1 ? rows.front() : list_->currentIndex();
    if (rows.size() <= 1 && index.isValid() && !listModel_->RowAt(index.row()).isFolder) {
        OpenEntry(listModel_->RowAt(index.row()).id);
    }
}

void ArchiveWindow::OpenEntry(std::uint32_t entry) {
    if (!tree_ || jobRunning_) {
        return;
    }
    const ArchiveContents& contents = tree_->Contents();
    if (!contents.plainFile.empty()) {
        QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromStdString(contents.plainFile.string())});
        return;
    }
    const std::optional<std::string> target = SafeTargetString({}, contents.NameOf(contents.entries[entry]));
    if (!target || contents.entries[entry].flag != NameFlag::None) {
        ShowJobMessage(this, catalogue_,
                       {MessageId::CaptionError, MessageButtons::Ok, MessageOwner::MainWindow,
                        {MessageLine::Text(FlagMessage(contents.entries[entry].flag))}});
        return;
    }
    // Each opening gets a folder of its own, so that an application still
    // showing an earlier one keeps its file.
    const std::filesystem::path folder = privateFolder_->Path() / ("open-" + std::to_string(++entriesOpened_));
    FileJobParams params;
    params.sourceFiles = {contents.archive};
    params.destinationFolders = {folder};
    params.container = contents.FromContainer() ? contents.opened : std::filesystem::path();
    params.entries = {entry};
    params.replaceAll = true;
    params.announce = false;
    const std::filesystem::path opened = folder / *target;
    RunJob(JobKind::Unzip, [params](JobHost& host) { return RunUnzipJob(params, host); },
           [opened](const JobCompletion& completion) {
               if (completion.outcome == JobOutcome::Succeeded) {
                   QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromStdString(opened.string())});
               }
           });
}

// Runs on the GUI thread while the drop target waits for the files, so a
// large selection holds the window for as long as it takes to extract.
std::vector<std::filesystem::path> ArchiveWindow::ExtractForDrop(const std::vector<ArchiveTree::Row>& rows) {
    const ArchiveContents& contents = tree_->Contents();
    if (!contents.plainFile.empty()) {
        return {contents.plainFile};
    }
    if (!privateFolder_) {
        return {};
    }
    // A folder of its own for each drag, as for each entry opened.
    const std::filesystem::path folder = privateFolder_->Path() / ("drag-" + std::to_string(++dragsMade_));
    std::vector<ArchiveTree::Row> dropped;
    std::vector<std::filesystem::path> paths;
    for (const ArchiveTree::Row& row : rows) {
        if (row.isFolder) {
            dropped.push_back(row);
            paths.push_back(folder / tree_->PathBelow(ArchiveTree::kTop, row));
        } else if (const auto target = SafeTargetString({}, contents.NameOf(contents.entries[row.id]));
                   target && contents.entries[row.id].flag == NameFlag::None) {
            dropped.push_back(row);
            paths.push_back(folder / *target);
        }
    }
    FileJobParams params;
    params.sourceFiles = {contents.archive};
    params.destinationFolders = {folder};
    params.container = contents.FromContainer() ? contents.opened : std::filesystem::path();
    params.entries = tree_->EntriesOf(dropped);
    params.replaceAll = true;
    params.announce = false;
    // On a thread of its own with the termination signals blocked, as every
    // job: a handler run on a thread inside a file's creation would wait for
    // that thread forever. The GUI thread waits for it.
    UnattendedJobHost host;
    if (!params.entries.empty()) {
        try {
            StartThreadWithTerminationSignalsBlocked([&] {
                RunJobBody(JobKind::Unzip, host, [&params](JobHost& jobHost) { return RunUnzipJob(params, jobHost); });
            }).join();
        } catch (const ThreadStartError&) {
            return {};  // nothing extracted, nothing dropped
        }
    }
    std::erase_if(paths, [](const std::filesystem::path& path) {
        std::error_code ignored;
        return !std::filesystem::exists(path, ignored);
    });
    return paths;
}

void ArchiveWindow::CopySelectedNames() {
    if (!tree_) {
        return;
    }
    QStringList names;
    for (const ArchiveTree::Row& row : SelectedRows()) {
        // Escaped as shown: a name pasted into a terminal must not run anything.
        names << QString::fromUtf8(PrintableText(tree_->PathBelow(ArchiveTree::kTop, row), false));
    }
    QApplication::clipboard()->setText(names.join(QLatin1Char('\n')));
}

void ArchiveWindow::ShowListMenu(const QPoint& position) {
    if (!tree_) {
        return;
    }
    QMenu menu(this);
    menu.addAction(CatalogueText(catalogue_, MessageId::OpenEntryAction), this, &ArchiveWindow::OpenSelected);
    menu.addAction(CatalogueText(catalogue_, MessageId::ExtractSelectedButton), this, &ArchiveWindow::ExtractSelected);
    menu.addAction(CatalogueText(catalogue_, MessageId::CopyNamesAction), this, &ArchiveWindow::CopySelectedNames);
    menu.exec(list_->viewport()->mapToGlobal(position));
}

void ArchiveWindow::RunJob(JobKind kind, JobBody body, std::function<void(const JobCompletion&)> afterwards) {
    jobRunning_ = true;
    extractAllButton_->setEnabled(false);
    extractSelectedButton_->setEnabled(false);
    StartDesktopJob(kind,
                    MakeDesktopJobHost(catalogue_, pickers_, *progress_, this, this,
                                       [this, afterwards = std::move(afterwards)](const JobCompletion& completion) {
                                           jobRunning_ = false;
                                           progress_->hide();
                                           progress_->ClearCancel();
                                           UpdateStatus();
                                           if (afterwards) {
                                               afterwards(completion);
                                           }
                                           emit JobFinished(completion.outcome);
                                           if (closeWhenJobEnds_) {
                                               close();
                                           }
                                       }),
                    std::move(body), this, catalogue_);
}

// A running job is cancelled first; the window closes when it has ended, so
// that the private folder goes only once nothing writes into it.
void ArchiveWindow::closeEvent(QCloseEvent* event) {
    if (jobRunning_) {
        closeWhenJobEnds_ = true;
        progress_->reject();
        event->ignore();
        return;
    }
    privateFolder_.reset();
    progress_->hide();
    event->accept();
}

}  // namespace vaultpack
