#include "ui/reportview.h"

#include <QHeaderView>
#include <algorithm>

namespace melorin::ui {

ReportView::ReportView(QWidget* parent, const QString& objectName) : QTreeView(parent) {
    setObjectName(objectName);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setIconSize(QSize(16, 16));
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
}

void ReportView::setModel(QAbstractItemModel* model) {
    QTreeView::setModel(model);
    for (int c = 0; c < header()->count(); ++c)
        header()->setSectionResizeMode(c, QHeaderView::Interactive);
    fitColumns();
}

int ReportView::rowCount() const {
    return model() != nullptr ? model()->rowCount() : 0;
}

int ReportView::columnCount() const {
    return model() != nullptr ? model()->columnCount() : 0;
}

QString ReportView::columnCaption(int column) const {
    return model() != nullptr ? model()->headerData(column, Qt::Horizontal).toString() : QString();
}

QList<int> ReportView::selectedRowIndexes() const {
    QList<int> rows;
    if (selectionModel() == nullptr) return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ReportView::selectRow(int row) {
    if (model() == nullptr || row < 0 || row >= rowCount()) return;
    selectionModel()->select(model()->index(row, 0),
                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QRect ReportView::rowRect(int row) const {
    return model() != nullptr ? visualRect(model()->index(row, 0)) : QRect();
}

void ReportView::fitColumns() {
    if (model() == nullptr) return;
    for (int c = 0; c < model()->columnCount(); ++c) {
        resizeColumnToContents(c);
        const int least = c == 0 ? leastFirstWidth_ : leastWidth_;
        if (columnWidth(c) < least) setColumnWidth(c, least);
    }
}

void ReportView::fitColumnsToRows(int firstRow) {
    const QAbstractItemModel* m = model();
    if (m == nullptr) return;
    for (int c = 0; c < m->columnCount(); ++c) {
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
