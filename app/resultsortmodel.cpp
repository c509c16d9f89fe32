#include "app/resultsortmodel.h"

#include <optional>

#include "app/songrowmodel.h"
#include "search/resultsort.h"

namespace melorin {
namespace {

template <typename T>
int compareKnown(const std::optional<T>& a, const std::optional<T>& b) {
    if (a && b) return *a < *b ? -1 : (*b < *a ? 1 : 0);
    return 0;
}

}  // namespace

ResultSortModel::ResultSortModel(SongRowModel& rows, QObject* parent)
    : QSortFilterProxyModel(parent), rows_(rows) {
    // Titles in the reader's order (pinyin for Chinese locales), "歌2" before "歌10".
    collator_.setNumericMode(true);
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
    setDynamicSortFilter(true);  // rows of later pages find their places as they come
    setSourceModel(&rows);
}

bool ResultSortModel::sortByColumn(int column, Qt::SortOrder order) {
    if (!search::sortKeyOfColumn(column)) return false;
    sort(column, order);
    return true;
}

void ResultSortModel::unsort() {
    sort(-1);
}

bool ResultSortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const core::SongRow& a = rows_.rows()[static_cast<std::size_t>(left.row())];
    const core::SongRow& b = rows_.rows()[static_cast<std::size_t>(right.row())];
    const std::optional<search::ResultSortKey> key = search::sortKeyOfColumn(left.column());
    if (!key) return false;
    switch (*key) {
        case search::ResultSortKey::Number:
            return compareKnown(search::runningNumber(a.caption),
                                search::runningNumber(b.caption)) < 0;
        case search::ResultSortKey::Title:
            return collator_.compare(QString::fromStdString(a.title),
                                     QString::fromStdString(b.title)) < 0;
        case search::ResultSortKey::Size: {
            const std::optional<std::int64_t> sa = search::sizeInBytes(a.size);
            const std::optional<std::int64_t> sb = search::sizeInBytes(b.size);
            // Rows without a size go last in both directions; the view reverses this answer
            // when it sorts descending.
            if (sa.has_value() != sb.has_value())
                return sa.has_value() == (sortOrder() == Qt::AscendingOrder);
            return compareKnown(sa, sb) < 0;
        }
        case search::ResultSortKey::Type:
            return collator_.compare(QString::fromStdString(a.type),
                                     QString::fromStdString(b.type)) < 0;
    }
    return false;
}

}  // namespace melorin
