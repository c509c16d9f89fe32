#pragma once
// The result list in the order its header asks for: by running number, title, size in bytes or
// type. The rows keep their captions; rows without a size go last either way. Unsorted, it
// shows the rows as they came.
#include <QCollator>
#include <QSortFilterProxyModel>

namespace melorin {

class SongRowModel;

class ResultSortModel final : public QSortFilterProxyModel {
public:
    ResultSortModel(SongRowModel& rows, QObject* parent);

    // Sorts by the column if it is one that sorts (the address column does not); false when not.
    bool sortByColumn(int column, Qt::SortOrder order);
    // Back to the order the rows came in.
    void unsort();
    [[nodiscard]] bool isSorted() const { return sortColumn() >= 0; }

protected:
    [[nodiscard]] bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    SongRowModel& rows_;
    QCollator collator_;
};

}  // namespace melorin
