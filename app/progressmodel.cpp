#include "app/progressmodel.h"

#include <QStringList>

#include "core/qtext.h"

namespace melorin {
namespace {
const QStringList kColumns = {QStringLiteral("歌曲名称"), QStringLiteral("进度"),
                              QStringLiteral("时间"), QStringLiteral("相应序列")};
}  // namespace

ProgressModel::ProgressModel(QObject* parent) : QAbstractTableModel(parent) {}

int ProgressModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown_;
}

int ProgressModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kColumns.size());
}

QVariant ProgressModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    return text(index.row(), index.column());
}

QVariant ProgressModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumns.size())
        return {};
    return kColumns.at(section);
}

QString ProgressModel::text(int row, int column) const {
    if (row < 0 || row >= shown_) return {};
    const download::ProgressRowView& r = board_->rows()[static_cast<std::size_t>(row)];
    switch (column) {
        case 0:
            return QString::fromStdString(r.title);
        case 1:
            return fromUtf8(download::progressText(r.state));
        case 2:
            return QString::number(r.seconds);
        case 3:
            return QString::number(r.queueRow);
        default:
            return {};
    }
}

void ProgressModel::show(const download::ProgressBoard::Changes& changes) {
    if (board_ == nullptr) return;
    const int total = static_cast<int>(board_->rows().size());
    if (total > shown_) {
        beginInsertRows({}, shown_, total - 1);
        shown_ = total;
        endInsertRows();
    }
    for (const int r : changes.changedRows) {
        if (r < 0 || r >= shown_) continue;
        emit dataChanged(index(r, 1), index(r, 2), {Qt::DisplayRole});
    }
}

}  // namespace melorin
