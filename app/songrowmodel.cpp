#include "app/songrowmodel.h"

#include <QFont>
#include <utility>

#include "core/qtext.h"

namespace melorin {
namespace {
constexpr int kSavePathColumn = 5;
}  // namespace

QString songRowCell(const core::SongRow& row, int column) {
    if (column == 0) return fromUtf8(row.caption);
    switch (row.shape) {
        case core::RowShape::File:
            switch (column) {
                case 1:
                    return fromUtf8(row.title);
                case 2:
                    return fromUtf8(row.address);
                case 3:
                    return fromUtf8(row.size);
                case 4:
                    return fromUtf8(row.type);
                default:
                    return {};
            }
        case core::RowShape::ListEntry:
            if (column == 1) return fromUtf8(row.title);
            if (column == 2) return fromUtf8(row.address);
            return {};
        case core::RowShape::FileLine:
            return {};
    }
    return {};
}

std::vector<core::SongRow> withoutRows(const std::vector<core::SongRow>& rows,
                                       const QList<int>& indexes) {
    std::vector<core::SongRow> kept;
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (!indexes.contains(static_cast<int>(r))) kept.push_back(rows[r]);
    return kept;
}

SongRowModel::SongRowModel(QStringList columns, const QVector<QIcon>* kindIcons, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns)), icons_(kindIcons) {}

int SongRowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : size();
}

int SongRowModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant SongRowModel::iconAt(int index) const {
    // An index without an icon shows none.
    if (icons_ == nullptr || index < 0 || index >= icons_->size()) return {};
    return icons_->at(index);
}

QVariant SongRowModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= size() || index.column() >= columnCount()) return {};
    const bool marked = index.row() == markedRow_;
    if (role == Qt::DisplayRole) {
        const QString shown = text(index.row(), index.column());
        return marked && index.column() == 0 ? QStringLiteral("▶ ") + shown : shown;
    }
    if (role == Qt::DecorationRole && index.column() == 0)
        return iconAt(rows_[static_cast<std::size_t>(index.row())].icon);
    if (role == Qt::FontRole && marked) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    return {};
}

void SongRowModel::setMarkedRow(int row) {
    if (row < 0 || row >= size()) row = -1;
    if (row == markedRow_) return;
    const int before = std::exchange(markedRow_, row);
    for (const int r : {before, row}) {
        if (r >= 0) emit dataChanged(index(r, 0), index(r, columnCount() - 1));
    }
}

QVariant SongRowModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size()) return {};
    if (role == Qt::DisplayRole) return columns_.at(section);
    if (role == Qt::DecorationRole && section == 0 && headerIconSet_) return iconAt(headerIcon_);
    return {};
}

core::SongRow SongRowModel::row(int index) const {
    if (index < 0 || index >= size()) return {};
    return rows_[static_cast<std::size_t>(index)];
}

std::vector<core::SongRow> SongRowModel::rowsAt(const QList<int>& indexes) const {
    std::vector<core::SongRow> picked;
    for (const int i : indexes)
        if (i >= 0 && i < size()) picked.push_back(rows_[static_cast<std::size_t>(i)]);
    return picked;
}

QString SongRowModel::text(int row, int column) const {
    if (row < 0 || row >= size() || column < 0 || column >= columnCount()) return {};
    if (column == kSavePathColumn) return fromUtf8(savePaths_[static_cast<std::size_t>(row)]);
    return songRowCell(rows_[static_cast<std::size_t>(row)], column);
}

void SongRowModel::setRows(std::vector<core::SongRow> rows, std::vector<std::string> savePaths) {
    beginResetModel();
    markedRow_ = -1;  // its owner marks again what plays among the new rows
    rows_ = std::move(rows);
    savePaths_ = std::move(savePaths);
    savePaths_.resize(rows_.size());
    endResetModel();
}

void SongRowModel::appendRows(const std::vector<core::SongRow>& rows,
                              const std::vector<std::string>& savePaths) {
    if (rows.empty()) return;
    beginInsertRows({}, size(), size() + static_cast<int>(rows.size()) - 1);
    rows_.insert(rows_.end(), rows.begin(), rows.end());
    savePaths_.insert(savePaths_.end(), savePaths.begin(), savePaths.end());
    savePaths_.resize(rows_.size());
    endInsertRows();
}

void SongRowModel::setSavePath(int row, const std::string& path) {
    if (row < 0 || row >= size()) return;
    savePaths_[static_cast<std::size_t>(row)] = path;
    if (columnCount() <= kSavePathColumn) return;
    const QModelIndex cell = index(row, kSavePathColumn);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

std::string SongRowModel::savePath(int row) const {
    if (row < 0 || row >= size()) return {};
    return savePaths_[static_cast<std::size_t>(row)];
}

void SongRowModel::setHeaderIcon(int index) {
    headerIcon_ = index;
    headerIconSet_ = true;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

}  // namespace melorin
