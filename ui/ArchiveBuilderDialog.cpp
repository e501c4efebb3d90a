#include "ui/ArchiveBuilderDialog.h"

#include <algorithm>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QScreen>
#include <QTreeWidget>
#include <QUrl>

#include "app/AmountText.h"
#include "app/FolderTreeWalk.h"
#include "app/VersionText.h"
#include "ui/AboutDialog.h"
#include "ui/ArchiveOptionsDialog.h"
#include "ui/CatalogueText.h"
#include "ui/ChooseFolder.h"
#include "ui/FileTypeLookup.h"
#include "ui/JobMessageBox.h"
#include "ui/PlatformPickers.h"
#include "ui/ProgramIcons.h"
#include "ui/ProgressDialog.h"
#include "ui/controls/IconButton.h"

namespace vaultpack {
namespace {

// Where a row keeps the bytes of its fields, as file names need not be UTF-8.
constexpr int kNameRole = Qt::UserRole;
constexpr int kArchiveFolderRole = Qt::UserRole + 1;
constexpr int kSourcePathRole = Qt::UserRole + 2;
constexpr int kSizeRole = Qt::UserRole + 3;

constexpr int kMargin = 6;
constexpr int kStatusHeight = 20;
constexpr int kListMinimumHeight = 120;

QString Shown(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

std::string Bytes(const QTreeWidgetItem* row, int role) {
    return row->data(0, role).toByteArray().toStdString();
}

// The last component of a folder's path, also for "dir/".
std::string FolderName(const std::filesystem::path& folder) {
    const std::filesystem::path normal = folder.lexically_normal();
    return (normal.has_filename() ? normal : normal.parent_path()).filename().string();
}

}  // namespace

ArchiveBuilderDialog::ArchiveBuilderDialog(const MessageCatalogue& catalogue, PlatformPickers& pickers,
                                           ProgressDialog& progress, QWidget* parent)
    : ResizableDialogBase(parent),
      catalogue_(catalogue),
      pickers_(pickers),
      progress_(progress),
      fileTypes_(std::make_unique<FileTypeLookup>()) {
    setObjectName(QStringLiteral("archiveBuilderDialog"));
    setWindowModality(Qt::WindowModal);  // blocks the window it belongs to, no other
    setWindowTitle(QStringLiteral("Vaultpack - v%1").arg(QString::fromStdString(ProgramVersionText().ShortVersion())));
    setWindowIcon(ProgramIcon(icon_names::kApplication));
    setAcceptDrops(true);

    auto* frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("buttonFrame"));
    addFilesButton_ = MakeProgramButton(frame, "addFilesButton", icon_names::kAddFiles,
                                 CatalogueText(catalogue, MessageId::AddFiles));
    addFoldersButton_ = MakeProgramButton(frame, "addFoldersButton", icon_names::kAddFolders,
                                   CatalogueText(catalogue, MessageId::AddFolders));
    createArchiveButton_ = MakeProgramButton(frame, "createArchiveButton", icon_names::kCreate,
                                      CatalogueText(catalogue, MessageId::CreateArchiveButton));
    auto* buttons = new QHBoxLayout(frame);
    buttons->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    QSize buttonSize(96, 0);
    for (IconButton* button : {addFilesButton_, addFoldersButton_, createArchiveButton_}) {
        buttonSize = buttonSize.expandedTo(button->sizeHint());
    }
    for (IconButton* button : {addFilesButton_, addFoldersButton_, createArchiveButton_}) {
        button->setFixedSize(buttonSize);
        buttons->addWidget(button);
    }
    buttons->addStretch();

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("fileList"));
    list_->setColumnCount(4);
    list_->setHeaderLabels({CatalogueText(catalogue, MessageId::ColumnName),
                            CatalogueText(catalogue, MessageId::ColumnType),
                            CatalogueText(catalogue, MessageId::ColumnSize),
                            CatalogueText(catalogue, MessageId::ColumnPath)});
    list_->headerItem()->setTextAlignment(static_cast<int>(ArchiveColumn::Size), Qt::AlignRight | Qt::AlignVCenter);
    // The Type column is wide enough for common type names ("plain text
    // document"); a longer one is elided and shown whole as a tooltip. The
    // Size column takes sizes up to 9,999,999,999 bytes.
    const int sizeWidth = list_->fontMetrics().horizontalAdvance(QStringLiteral("9,999,999,999")) + 2 * kMargin + 4;
    const int widths[] = {180, 150, std::max(80, sizeWidth), 120};
    for (int column = 0; column < 4; ++column) {
        list_->setColumnWidth(column, widths[column]);
    }
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setAllColumnsShowFocus(true);
    list_->header()->setSectionsClickable(true);
    list_->header()->setSortIndicatorShown(false);
    connect(list_->header(), &QHeaderView::sectionClicked, this, &ArchiveBuilderDialog::OnHeaderClicked);

    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    statusLine_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

    // The starting layout, which the anchors then keep: the button frame
    // stretches in width, the list grows both ways, the status line stays at
    // the bottom.
    const int frameHeight = buttonSize.height() + 2 * kMargin + 4;
    const QSize starting(std::max(3 * buttonSize.width() + 6 * kMargin + 60, 480),
                         frameHeight + kListMinimumHeight + kStatusHeight + 4 * kMargin);
    frame->setGeometry(kMargin, kMargin, starting.width() - 2 * kMargin, frameHeight);
    list_->setGeometry(kMargin, 2 * kMargin + frameHeight, starting.width() - 2 * kMargin, kListMinimumHeight);
    statusLine_->setGeometry(kMargin, starting.height() - kMargin - kStatusHeight,
                             starting.width() - 2 * kMargin - 16, kStatusHeight);
    SetStartingSize(starting);
    AnchorControl(frame, kAnchorTopLeft, kAnchorTopRight);
    AnchorControl(list_, kAnchorTopLeft, kAnchorBottomRight);
    AnchorControl(statusLine_, kAnchorBottomLeft, kAnchorBottomRight);

    connect(addFilesButton_, &IconButton::clicked, this, &ArchiveBuilderDialog::OnAddFiles);
    connect(addFoldersButton_, &IconButton::clicked, this, &ArchiveBuilderDialog::OnAddFolders);
    connect(createArchiveButton_, &IconButton::clicked, this, &ArchiveBuilderDialog::OnCreateArchive);
    AddAboutAction(this, catalogue);

    // At (100, 100), 600 by 400, within the screen it opens on.
    QRect place(QPoint(100, 100), QSize(600, 400));
    if (const QScreen* screen = QGuiApplication::screenAt(place.topLeft()); screen != nullptr) {
        place = place.intersected(screen->availableGeometry());
    }
    setGeometry(QRect(place.topLeft(), place.size().expandedTo(minimumSize())));
}

ArchiveBuilderDialog::~ArchiveBuilderDialog() = default;

int ArchiveBuilderDialog::ItemCount() const {
    return list_->topLevelItemCount();
}

std::vector<ArchiveItem> ArchiveBuilderDialog::Items() const {
    std::vector<ArchiveItem> items;
    for (int index = 0; index < ItemCount(); ++index) {
        const QTreeWidgetItem* row = list_->topLevelItem(index);
        items.push_back({Bytes(row, kNameRole), Bytes(row, kArchiveFolderRole), Bytes(row, kSourcePathRole)});
    }
    return items;
}

void ArchiveBuilderDialog::AddFile(const std::filesystem::path& path, const std::string& archiveFolder) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    const FileTypeLookup::FileType type = fileTypes_->Of(path);
    const std::string name = path.filename().string();
    const std::uint64_t shownSize = error ? 0 : size;
    auto* row = new QTreeWidgetItem({Shown(name), type.description, QString::fromStdString(SizeText(shownSize)),
                                     Shown(PathColumnText(archiveFolder))});
    row->setIcon(0, type.icon);
    row->setToolTip(static_cast<int>(ArchiveColumn::Type), type.description);
    row->setData(0, kSizeRole, QVariant::fromValue<qulonglong>(shownSize));
    row->setTextAlignment(static_cast<int>(ArchiveColumn::Size), Qt::AlignRight | Qt::AlignVCenter);
    row->setData(0, kNameRole, QByteArray::fromStdString(name));
    row->setData(0, kArchiveFolderRole, QByteArray::fromStdString(archiveFolder));
    row->setData(0, kSourcePathRole, QByteArray::fromStdString(path.native()));
    list_->addTopLevelItem(row);
}

void ArchiveBuilderDialog::AddTree(const std::filesystem::path& folder) {
    const std::error_code error = WalkFolderTree(
        folder, FolderName(folder) + "\\",
        [this](ArchiveItem item) {
            AddFile(item.sourcePath, item.archiveFolder);
            return !Full();
        },
        [this](const std::filesystem::path& path, SkipReason reason) {
            skipped_.push_back(MessageLine::Text(SkippedMessage(reason), {path.string()}));
        });
    if (error) {
        // A folder that cannot be read is named with the rest that was left out.
        skipped_.push_back(MessageLine::Text(MessageId::ReasonCannotRead, {folder.string(), error.message()}));
    }
}

void ArchiveBuilderDialog::AddSingleFile(const std::filesystem::path& path) {
    // A backslash would turn into folders in any archive it is read from.
    if (path.filename().string().find('\\') != std::string::npos) {
        skipped_.push_back(MessageLine::Text(SkippedMessage(SkipReason::NameHasBackslash), {path.string()}));
    } else {
        AddFile(path, {});
    }
}

void ArchiveBuilderDialog::TellSkipped() {
    if (skipped_.empty()) {
        return;
    }
    constexpr std::size_t kShownLines = 20;
    std::vector<MessageLine> lines(skipped_.begin(), skipped_.begin() + std::min(skipped_.size(), kShownLines));
    if (skipped_.size() > kShownLines) {
        lines.push_back(MessageLine::Literal("..."));
    }
    skipped_.clear();
    ShowJobMessage(this, catalogue_, {MessageId::CaptionInformation, MessageButtons::Ok, MessageOwner::None, lines});
}

void ArchiveBuilderDialog::TellIfFull() {
    if (ItemCount() == kMaxArchiveItems) {
        ShowInformation(MessageId::ListLimitReached);
    }
}

void ArchiveBuilderDialog::ShowInformation(MessageId message) {
    ShowJobMessage(this, catalogue_,
                   {MessageId::CaptionInformation, MessageButtons::Ok, MessageOwner::None,
                    {MessageLine::Text(message)}});
}

void ArchiveBuilderDialog::OnAddFiles() {
    const std::vector<std::filesystem::path> chosen = pickers_.OpenFiles(this, QString());
    if (chosen.empty()) {
        return;
    }
    for (const std::filesystem::path& path : chosen) {
        if (Full()) {
            break;
        }
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error)) {
            AddSingleFile(path);
        }
    }
    TellIfFull();
    TellSkipped();
    RowsAdded();
}

void ArchiveBuilderDialog::OnAddFolders() {
    const std::optional<std::filesystem::path> folder =
        ChooseFolder(pickers_, this, CatalogueText(catalogue_, MessageId::ChooseFolderToAdd), true);
    if (!folder) {
        return;
    }
    if (!Full()) {
        AddTree(*folder);
    }
    TellIfFull();
    TellSkipped();
    RowsAdded();
}

void ArchiveBuilderDialog::AddDroppedPaths(const std::vector<std::filesystem::path>& paths) {
    for (const std::filesystem::path& path : paths) {
        if (Full()) {
            break;
        }
        std::error_code error;
        const std::filesystem::file_status status = std::filesystem::status(path, error);
        if (std::filesystem::is_directory(status)) {
            AddTree(path);
        } else if (std::filesystem::is_regular_file(status)) {
            AddSingleFile(path);
        } else {
            continue;
        }
        TellIfFull();
    }
    TellSkipped();
    RowsAdded();
}

void ArchiveBuilderDialog::RowsAdded() {
    list_->header()->setSortIndicatorShown(false);
    UpdateStatusLine();
}

void ArchiveBuilderDialog::UpdateStatusLine() {
    std::uint64_t bytes = 0;
    for (int index = 0; index < ItemCount(); ++index) {
        bytes += list_->topLevelItem(index)->data(0, kSizeRole).toULongLong();
    }
    statusLine_->setText(ItemCount() == 0 ? QString()
                                          : QString::fromStdString(ListSummaryText(
                                                catalogue_, static_cast<std::uint64_t>(ItemCount()), bytes)));
}

void ArchiveBuilderDialog::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void ArchiveBuilderDialog::dropEvent(QDropEvent* event) {
    std::vector<std::filesystem::path> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.emplace_back(QFile::encodeName(url.toLocalFile()).toStdString());
        }
    }
    AddDroppedPaths(paths);
    event->acceptProposedAction();
}

void ArchiveBuilderDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) {
        RemoveSelectedRows();
    } else if (event->matches(QKeySequence::SelectAll)) {
        list_->selectAll();
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        return;  // the dialog has no default action
    } else {
        ResizableDialogBase::keyPressEvent(event);
    }
}

void ArchiveBuilderDialog::RemoveSelectedRows() {
    int lastRemoved = -1;
    for (QTreeWidgetItem* row = list_->selectedItems().value(0); row != nullptr;
         row = list_->selectedItems().value(0)) {
        lastRemoved = list_->indexOfTopLevelItem(row);
        delete row;
    }
    list_->clearSelection();
    if (lastRemoved >= 0 && lastRemoved < ItemCount()) {
        QTreeWidgetItem* next = list_->topLevelItem(lastRemoved);
        next->setSelected(true);
        list_->setCurrentItem(next);
    }
    UpdateStatusLine();
}

void ArchiveBuilderDialog::OnHeaderClicked(int column) {
    order_.Click(static_cast<ArchiveColumn>(column));
    std::vector<QTreeWidgetItem*> rows;
    while (list_->topLevelItemCount() > 0) {
        rows.push_back(list_->takeTopLevelItem(0));
    }
    const ArchiveColumn sorted = order_.Column();
    const bool ascending = order_.Ascending();
    std::stable_sort(rows.begin(), rows.end(), [&](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
        const int comparison = CompareColumnTexts(sorted, a->text(column).toStdString(), b->text(column).toStdString());
        return ascending ? comparison < 0 : comparison > 0;
    });
    for (QTreeWidgetItem* row : rows) {
        list_->addTopLevelItem(row);
    }
    list_->header()->setSortIndicator(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    list_->header()->setSortIndicatorShown(true);
}

void ArchiveBuilderDialog::OnCreateArchive() {
    if (ItemCount() == 0) {
        ShowInformation(MessageId::NoFilesSelected);
        return;
    }
    ArchiveOptionsDialog options(catalogue_, pickers_, progress_, Items(), this);
    if (options.exec() == QDialog::Accepted) {
        reject();
    }
}

}  // namespace vaultpack
