#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractItemModel>
#include <QAbstractTableModel>

#include "app/MessageCatalogue.h"
#include "ui/ArchiveTree.h"

namespace vaultpack {

// The archive window's folder tree: the top (shown with the archive's
// name) and every folder below it. An index's internal id is the folder's number.
class ArchiveFolderModel final : public QAbstractItemModel {
    Q_OBJECT

public:
    ArchiveFolderModel(std::shared_ptr<const ArchiveTree> tree, QString topName, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    QModelIndex IndexOf(std::int32_t folder) const;
    static std::int32_t FolderOf(const QModelIndex& index);

private:
    std::shared_ptr<const ArchiveTree> tree_;
    QString topName_;
};

// The columns of the archive window's list.
enum class ArchiveListColumn : int { Name, Size, Packed, Ratio, Modified, Encrypted, Problem, Count };

// The archive window's list: the rows of one folder, or, while a filter is
// set, every row below it whose name holds the filter text, shown with its
// path. Sorting and filtering an archive of many entries run on a pool
// thread; the list shows the old rows until the new ones are ready, so the
// window never waits for them (RowsReady tells when).
class ArchiveListModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    ArchiveListModel(const MessageCatalogue& catalogue, std::shared_ptr<const ArchiveTree> tree,
                     QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    // The rows dragged out, as files that exist only once a drop asks for
    // them: `extract` puts them on disk then and gives their paths.
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    using Extractor = std::function<std::vector<std::filesystem::path>(const std::vector<ArchiveTree::Row>&)>;
    void SetExtractor(Extractor extract) { extract_ = std::move(extract); }

    // Shows a folder, narrowed by a filter (empty for none).
    void Show(std::int32_t folder, const QString& filter);
    // The folder asked for last; its rows may still be on their way.
    std::int32_t ShownFolder() const { return view_.folder; }
    const ArchiveTree::Row& RowAt(int row) const { return rows_[static_cast<std::size_t>(row)]; }
    // Lists of this many entries and more are sorted and filtered on a pool thread.
    static constexpr std::size_t kEntriesOffThread = 20000;

signals:
    void RowsReady();

private:
    struct View {
        std::int32_t folder = ArchiveTree::kTop;
        std::string filter;
        ArchiveListColumn column = ArchiveListColumn::Name;
        Qt::SortOrder order = Qt::AscendingOrder;
    };
    void Recompute();
    void ComputeOffThread();
    static std::vector<ArchiveTree::Row> RowsFor(const ArchiveTree& tree, const View& view);
    void TakeRows(std::uint64_t generation, std::int32_t folder, std::vector<ArchiveTree::Row> rows);
    QString CellText(const ArchiveTree::Row& row, ArchiveListColumn column) const;

    const MessageCatalogue& catalogue_;
    std::shared_ptr<const ArchiveTree> tree_;
    View view_;
    std::int32_t folder_ = ArchiveTree::kTop;  // the folder the rows shown belong to
    bool filtered_ = false;
    std::vector<ArchiveTree::Row> rows_;
    std::uint64_t generation_ = 0;
    Extractor extract_;
    bool computing_ = false;  // rows are being computed on a pool thread
    bool waiting_ = false;    // and a newer request waits for that to end
};

// What a flag says, for the list and its tooltips.
MessageId FlagMessage(NameFlag flag);

}  // namespace vaultpack
