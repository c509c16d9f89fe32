#include "ui/reportview.h"

#include <QHeaderView>
#include <algorithm>

namespace melorin::ui {
namespace {
constexpr int kSubItemCountRole = Qt::UserRole + 1;
constexpr int kImageIndexRole = Qt::UserRole + 2;
}  // namespace

ReportView::ReportView(QWidget* parent, const QString& objectName, const QStringList& columns)
    : QTreeWidget(parent) {
    setObjectName(objectName);
    setColumnCount(static_cast<int>(columns.size()));
    setHeaderLabels(columns);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setIconSize(QSize(16, 16));
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    for (int c = 0; c < columns.size(); ++c)
        header()->setSectionResizeMode(c, QHeaderView::Interactive);
    fitColumns();
}

void ReportView::appendRow(const ListRow& row) {
    auto* item = new QTreeWidgetItem();
    item->setText(0, row.caption);
    item->setData(0, kSubItemCountRole, static_cast<int>(row.subItems.size()));
    item->setData(0, kImageIndexRole, row.imageIndex);
    if (icons_ != nullptr && row.imageIndex >= 0 && row.imageIndex < icons_->size()) {
        item->setIcon(0, icons_->at(row.imageIndex));
    }
    for (int i = 0; i < row.subItems.size() && i + 1 < columnCount(); ++i) {
        item->setText(i + 1, row.subItems.at(i));
    }
    addTopLevelItem(item);
}

ListRow ReportView::row(int index) const {
    ListRow r;
    const QTreeWidgetItem* item = topLevelItem(index);
    if (item == nullptr) return r;
    r.caption = item->text(0);
    r.imageIndex = item->data(0, kImageIndexRole).toInt();
    const int n = item->data(0, kSubItemCountRole).toInt();
    for (int i = 0; i < n; ++i) r.subItems.push_back(item->text(i + 1));
    return r;
}

QString ReportView::subItem(int row, int i) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr || i < 0 || i >= item->data(0, kSubItemCountRole).toInt()) return {};
    return item->text(i + 1);
}

void ReportView::setHeaderImageIndex(int index) {
    headerImage_ = index;
    const bool hasIcon = icons_ != nullptr && index >= 0 && index < icons_->size();
    headerItem()->setIcon(0, hasIcon ? icons_->at(index) : QIcon());
}

QList<int> ReportView::selectedRowIndexes() const {
    QList<int> rows;
    for (QTreeWidgetItem* item : selectedItems()) rows.push_back(indexOfTopLevelItem(item));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ReportView::fitColumns() {
    for (int c = 0; c < columnCount(); ++c) {
        resizeColumnToContents(c);
        const int least = c == 0 ? leastFirstWidth_ : leastWidth_;
        if (columnWidth(c) < least) setColumnWidth(c, least);
    }
}

void ReportView::fitColumnsToRows(int firstRow) {
    const QAbstractItemModel* m = model();
    for (int c = 0; c < columnCount(); ++c) {
        int width = std::max(columnWidth(c), header()->sectionSizeHint(c));
        for (int r = std::max(0, firstRow); r < m->rowCount(); ++r)
            width = std::max(width, sizeHintForIndex(m->index(r, c)).width());
        const int least = c == 0 ? leastFirstWidth_ : leastWidth_;
        setColumnWidth(c, std::max(width, least));
    }
}

void ReportView::scaleColumnMinimum(int num, int den) {
    leastFirstWidth_ = static_cast<int>(static_cast<long long>(leastFirstWidth_) * num / den);
    leastWidth_ = static_cast<int>(static_cast<long long>(leastWidth_) * num / den);
}

}  // namespace melorin::ui
