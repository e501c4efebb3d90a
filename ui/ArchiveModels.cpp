#include "ui/ArchiveModels.h"

#include <algorithm>
#include <utility>

#include <QApplication>
#include <QDateTime>
#include <QLocale>
#include <QMimeData>
#include <QPointer>
#include <QStyle>
#include <QThreadPool>
#include <QUrl>

#include "app/AmountText.h"
#include "app/PrintableText.h"
#include "files/AsciiCase.h"
#include "ui/CatalogueText.h"

namespace vaultpack {

namespace {

// Names from archives may hold control characters and bytes that are no UTF-8:
// shown as "?" and U+FFFD, never as they are.
QString ShownText(std::string_view name) {
    return QString::fromUtf8(PrintableText(name, false));
}

int CompareNames(std::string_view a, std::string_view b) {
    const auto [left, right] = std::mismatch(a.begin(), a.end(), b.begin(), b.end(),
                                             [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
    if (left == a.end() || right == b.end()) {
        return a.size() == b.size() ? a.compare(b) : (a.size() < b.size() ? -1 : 1);
    }
    return static_cast<unsigned char>(AsciiLower(*left)) < static_cast<unsigned char>(AsciiLower(*right)) ? -1 : 1;
}

// What a row sorts by in each column but the name.
struct RowFigures {
    std::uint64_t size = 0;
    std::uint64_t packed = 0;
    std::int64_t modified = 0;
    int encryption = 0;
    int flag = 0;
};

RowFigures FiguresOf(const ArchiveTree& tree, const ArchiveTree::Row& row) {
    const ArchiveContents& contents = tree.Contents();
    if (row.isFolder) {
        const ArchiveTree::Folder& folder = tree.FolderAt(static_cast<std::int32_t>(row.id));
        RowFigures figures{tree.SizeBelow(static_cast<std::int32_t>(row.id))};
        if (folder.entry >= 0) {
            figures.modified = contents.entries[static_cast<std::size_t>(folder.entry)].modified;
        }
        return figures;
    }
    const ListedEntry& entry = contents.entries[row.id];
    return {entry.size, entry.packed, entry.modified, static_cast<int>(entry.encryption), static_cast<int>(entry.flag)};
}

double RatioOf(const RowFigures& figures) {
    return figures.size == 0 ? 0.0 : static_cast<double>(figures.packed) / static_cast<double>(figures.size);
}

std::string_view NameOfRow(const ArchiveTree& tree, const ArchiveTree::Row& row) {
    return row.isFolder ? tree.FolderAt(static_cast<std::int32_t>(row.id)).name : tree.ShownName(row.id);
}

// Negative, zero or positive as a sorts before, with or after b in the column,
// ascending; ties go by name.
int CompareRows(const ArchiveTree& tree, ArchiveListColumn column, const ArchiveTree::Row& a,
                const ArchiveTree::Row& b) {
    if (column != ArchiveListColumn::Name) {
        const RowFigures x = FiguresOf(tree, a);
        const RowFigures y = FiguresOf(tree, b);
        const auto order = [](auto left, auto right) { return left < right ? -1 : (right < left ? 1 : 0); };
        int result = 0;
        switch (column) {
            case ArchiveListColumn::Size: result = order(x.size, y.size); break;
            case ArchiveListColumn::Packed: result = order(x.packed, y.packed); break;
            case ArchiveListColumn::Ratio: result = order(RatioOf(x), RatioOf(y)); break;
            case ArchiveListColumn::Modified: result = order(x.modified, y.modified); break;
            case ArchiveListColumn::Encrypted: result = order(x.encryption, y.encryption); break;
            case ArchiveListColumn::Problem: result = order(x.flag, y.flag); break;
            case ArchiveListColumn::Name:
            case ArchiveListColumn::Count: break;
        }
        if (result != 0) {
            return result;
        }
    }
    return CompareNames(NameOfRow(tree, a), NameOfRow(tree, b));
}

QString EncryptionText(const MessageCatalogue& catalogue, const ListedEntry& entry) {
    switch (entry.encryption) {
        case EntryEncryption::None: return {};
        case EntryEncryption::Aes:
            return QString::fromStdString(catalogue.Format(MessageId::CellAes, std::to_string(entry.aesKeyBits)));
        case EntryEncryption::Traditional: return CatalogueText(catalogue, MessageId::CellTraditional);
        case EntryEncryption::Unreadable: break;
    }
    return CatalogueText(catalogue, MessageId::CellUnreadable);
}

// Files that a drop target asks for when the user lets go: only then are
// they extracted, once, and handed over as a list of file URLs, which every
// common file manager copies where it was dropped.
class DeferredFiles final : public QMimeData {
public:
    explicit DeferredFiles(std::function<std::vector<std::filesystem::path>()> extract)
        : extract_(std::move(extract)) {}

    QStringList formats() const override { return {kUriList}; }
    bool hasFormat(const QString& mimeType) const override { return mimeType == kUriList; }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
        if (mimeType != kUriList) {
            return {};
        }
        if (!extracted_) {
            for (const std::filesystem::path& path : extract_()) {
                urls_.push_back(QUrl::fromLocalFile(QString::fromStdString(path.string())));
            }
            extracted_ = true;
        }
        if (type.id() == QMetaType::QByteArray) {
            QByteArray list;
            for (const QUrl& url : urls_) {
                list += url.toEncoded() + "\r\n";
            }
            return list;
        }
        QVariantList list;
        for (const QUrl& url : urls_) {
            list.push_back(url);
        }
        return list;
    }

private:
    static inline const QString kUriList = QStringLiteral("text/uri-list");
    std::function<std::vector<std::filesystem::path>()> extract_;
    mutable bool extracted_ = false;
    mutable QList<QUrl> urls_;
};

}  // namespace

MessageId FlagMessage(NameFlag flag) {
    switch (flag) {
        case NameFlag::Absolute: return MessageId::FlagAbsoluteName;
        case NameFlag::ParentFolder: return MessageId::FlagParentFolder;
        case NameFlag::TooLong: return MessageId::FlagNameTooLong;
        case NameFlag::None:
        case NameFlag::Unusable: break;
    }
    return MessageId::FlagUnusableName;
}

ArchiveFolderModel::ArchiveFolderModel(std::shared_ptr<const ArchiveTree> tree, QString topName, QObject* parent)
    : QAbstractItemModel(parent), tree_(std::move(tree)), topName_(std::move(topName)) {}

QModelIndex ArchiveFolderModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) {
        return {};
    }
    if (!parent.isValid()) {
        return row == 0 ? createIndex(0, 0, quintptr{ArchiveTree::kTop}) : QModelIndex();
    }
    const ArchiveTree::Folder& folder = tree_->FolderAt(FolderOf(parent));
    if (static_cast<std::size_t>(row) >= folder.folders.size()) {
        return {};
    }
    return createIndex(row, 0, static_cast<quintptr>(folder.folders[static_cast<std::size_t>(row)]));
}

QModelIndex ArchiveFolderModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || FolderOf(child) == ArchiveTree::kTop) {
        return {};
    }
    return IndexOf(tree_->FolderAt(FolderOf(child)).parent);
}

int ArchiveFolderModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) {
        return 1;
    }
    return static_cast<int>(tree_->FolderAt(FolderOf(parent)).folders.size());
}

int ArchiveFolderModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant ArchiveFolderModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const std::int32_t folder = FolderOf(index);
    if (role == Qt::DisplayRole) {
        return folder == ArchiveTree::kTop ? topName_ : ShownText(tree_->FolderAt(folder).name);
    }
    if (role == Qt::DecorationRole) {
        return QApplication::style()->standardIcon(QStyle::SP_DirIcon);
    }
    return {};
}

QModelIndex ArchiveFolderModel::IndexOf(std::int32_t folder) const {
    if (folder == ArchiveTree::kTop) {
        return createIndex(0, 0, quintptr{ArchiveTree::kTop});
    }
    return createIndex(tree_->FolderAt(folder).rowInParent, 0, static_cast<quintptr>(folder));
}

std::int32_t ArchiveFolderModel::FolderOf(const QModelIndex& index) {
    return static_cast<std::int32_t>(index.internalId());
}

ArchiveListModel::ArchiveListModel(const MessageCatalogue& catalogue, std::shared_ptr<const ArchiveTree> tree,
                                   QObject* parent)
    : QAbstractTableModel(parent), catalogue_(catalogue), tree_(std::move(tree)) {
    Recompute();
}

int ArchiveListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ArchiveListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(ArchiveListColumn::Count);
}

QVariant ArchiveListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static constexpr MessageId kHeaders[] = {MessageId::ColumnName,     MessageId::ColumnSize,
                                             MessageId::ColumnPacked,   MessageId::ColumnRatio,
                                             MessageId::ColumnModified, MessageId::ColumnEncrypted,
                                             MessageId::ColumnProblem};
    return section >= 0 && section < static_cast<int>(std::size(kHeaders)) ? CatalogueText(catalogue_, kHeaders[section])
                                                                           : QVariant();
}

QString ArchiveListModel::CellText(const ArchiveTree::Row& row, ArchiveListColumn column) const {
    const RowFigures figures = FiguresOf(*tree_, row);
    const ListedEntry* entry = row.isFolder ? nullptr : &tree_->Contents().entries[row.id];
    switch (column) {
        case ArchiveListColumn::Name:
            return ShownText(filtered_ ? tree_->PathBelow(folder_, row) : std::string(NameOfRow(*tree_, row)));
        case ArchiveListColumn::Size: return QString::fromStdString(ByteSizeText(catalogue_, figures.size));
        case ArchiveListColumn::Packed:
            return entry ? QString::fromStdString(ByteSizeText(catalogue_, figures.packed)) : QString();
        case ArchiveListColumn::Ratio:
            return entry && figures.size > 0 ? QStringLiteral("%1%").arg(qRound(RatioOf(figures) * 100)) : QString();
        case ArchiveListColumn::Modified:
            return figures.modified == 0
                       ? QString()
                       : QLocale().toString(QDateTime::fromSecsSinceEpoch(figures.modified), QLocale::ShortFormat);
        case ArchiveListColumn::Encrypted: return entry ? EncryptionText(catalogue_, *entry) : QString();
        case ArchiveListColumn::Problem:
            return entry && entry->flag != NameFlag::None ? CatalogueText(catalogue_, FlagMessage(entry->flag))
                                                          : QString();
        case ArchiveListColumn::Count: break;
    }
    return {};
}

QVariant ArchiveListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= rows_.size()) {
        return {};
    }
    const ArchiveTree::Row& row = rows_[static_cast<std::size_t>(index.row())];
    const auto column = static_cast<ArchiveListColumn>(index.column());
    const bool flagged = !row.isFolder && tree_->Contents().entries[row.id].flag != NameFlag::None;
    switch (role) {
        case Qt::DisplayRole: return CellText(row, column);
        case Qt::DecorationRole:
            if (column != ArchiveListColumn::Name) {
                return {};
            }
            return QApplication::style()->standardIcon(flagged      ? QStyle::SP_MessageBoxWarning
                                                       : row.isFolder ? QStyle::SP_DirIcon
                                                                      : QStyle::SP_FileIcon);
        case Qt::ToolTipRole:
            return flagged ? CellText(row, ArchiveListColumn::Problem) : QVariant();
        case Qt::TextAlignmentRole:
            return column == ArchiveListColumn::Size || column == ArchiveListColumn::Packed ||
                           column == ArchiveListColumn::Ratio
                       ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                       : QVariant();
        default: return {};
    }
}

Qt::ItemFlags ArchiveListModel::flags(const QModelIndex& index) const {
    return QAbstractTableModel::flags(index) | (index.isValid() && extract_ ? Qt::ItemIsDragEnabled : Qt::NoItemFlags);
}

QStringList ArchiveListModel::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

QMimeData* ArchiveListModel::mimeData(const QModelIndexList& indexes) const {
    std::vector<ArchiveTree::Row> rows;
    for (const QModelIndex& index : indexes) {
        if (index.column() == 0 && static_cast<std::size_t>(index.row()) < rows_.size()) {
            rows.push_back(rows_[static_cast<std::size_t>(index.row())]);
        }
    }
    return new DeferredFiles([extract = extract_, rows] { return extract(rows); });
}

void ArchiveListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= static_cast<int>(ArchiveListColumn::Count)) {
        return;
    }
    view_.column = static_cast<ArchiveListColumn>(column);
    view_.order = order;
    Recompute();
}

void ArchiveListModel::Show(std::int32_t folder, const QString& filter) {
    view_.folder = folder;
    view_.filter = filter.toStdString();
    Recompute();
}

std::vector<ArchiveTree::Row> ArchiveListModel::RowsFor(const ArchiveTree& tree, const View& view) {
    std::vector<ArchiveTree::Row> rows =
        view.filter.empty() ? tree.RowsOf(view.folder) : tree.RowsMatching(view.folder, view.filter);
    const bool descending = view.order == Qt::DescendingOrder;
    if (!view.filter.empty() && view.column == ArchiveListColumn::Name) {
        // Filtered rows show their paths and sort by them: a file by its
        // stored name, which holds its path, a folder (there are few) by its
        // path made once.
        std::vector<std::string> folderPaths;
        std::vector<std::pair<std::string_view, ArchiveTree::Row>> byPath;
        byPath.reserve(rows.size());
        for (const ArchiveTree::Row& row : rows) {
            if (row.isFolder) {
                folderPaths.push_back(tree.PathBelow(ArchiveTree::kTop, row) + "/");
            }
        }
        auto folderPath = folderPaths.begin();
        for (const ArchiveTree::Row& row : rows) {
            std::string_view path = row.isFolder ? std::string_view(*folderPath++)
                                                 : tree.Contents().NameOf(tree.Contents().entries[row.id]);
            while (path.starts_with("./")) {
                path.remove_prefix(2);
            }
            byPath.emplace_back(path, row);
        }
        std::stable_sort(byPath.begin(), byPath.end(), [&](const auto& a, const auto& b) {
            const int result = CompareNames(a.first, b.first);
            return descending ? result > 0 : result < 0;
        });
        std::transform(byPath.begin(), byPath.end(), rows.begin(), [](const auto& item) { return item.second; });
        return rows;
    }
    // Folders first, whichever way the column sorts.
    std::stable_sort(rows.begin(), rows.end(), [&](const ArchiveTree::Row& a, const ArchiveTree::Row& b) {
        if (a.isFolder != b.isFolder) {
            return a.isFolder;
        }
        const int result = CompareRows(tree, view.column, a, b);
        return descending ? result > 0 : result < 0;
    });
    return rows;
}

// The newest request wins: rows computed for an older one are dropped. One
// computation runs at a time, and of the requests that come meanwhile (a
// filter typed key by key) only the last is computed after it, so that stale
// work never takes the processor from the GUI thread.
void ArchiveListModel::Recompute() {
    const std::uint64_t generation = ++generation_;
    if (tree_->Contents().entries.size() < kEntriesOffThread) {
        TakeRows(generation, view_.folder, RowsFor(*tree_, view_));
    } else if (computing_) {
        waiting_ = true;
    } else {
        ComputeOffThread();
    }
}

void ArchiveListModel::ComputeOffThread() {
    computing_ = true;
    waiting_ = false;
    QPointer<ArchiveListModel> self(this);
    QThreadPool::globalInstance()->start([self, tree = tree_, view = view_, generation = generation_] {
        std::vector<ArchiveTree::Row> rows = RowsFor(*tree, view);
        QMetaObject::invokeMethod(
            QApplication::instance(),
            [self, generation, folder = view.folder, rows = std::move(rows)]() mutable {
                if (self) {
                    self->computing_ = false;
                    if (self->waiting_) {
                        self->ComputeOffThread();
                    }
                    self->TakeRows(generation, folder, std::move(rows));
                }
            },
            Qt::QueuedConnection);
    });
}

void ArchiveListModel::TakeRows(std::uint64_t generation, std::int32_t folder, std::vector<ArchiveTree::Row> rows) {
    if (generation != generation_) {
        return;
    }
    beginResetModel();
    rows_ = std::move(rows);
    folder_ = folder;
    filtered_ = !view_.filter.empty();
    endResetModel();
    emit RowsReady();
}

}  // namespace vaultpack
