#include "ui/reportview.h"

#include <QAbstractProxyModel>
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
    QModelIndexList shown = selectionModel()->selectedRows();
    std::sort(shown.begin(), shown.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& index : shown) rows.push_back(modelRow(index));
    return rows;
}

int ReportView::modelRow(const QModelIndex& viewIndex) const {
    if (!viewIndex.isValid()) return -1;
    const auto* proxy = qobject_cast<const QAbstractProxyModel*>(model());
    return proxy != nullptr ? proxy->mapToSource(viewIndex).row() : viewIndex.row();
}

QModelIndex ReportView::viewIndex(int row, int column) const {
    if (model() == nullptr) return {};
    const auto* proxy = qobject_cast<const QAbstractProxyModel*>(model());
    if (proxy == nullptr) return model()->index(row, column);
    return proxy->mapFromSource(proxy->sourceModel()->index(row, column));
}

void ReportView::selectRow(int row) {
    if (model() == nullptr || row < 0 || row >= rowCount()) return;
    selectionModel()->select(viewIndex(row),
                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QRect ReportView::rowRect(int row) const {
    return model() != nullptr ? visualRect(viewIndex(row)) : QRect();
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
            width = std::max(width, sizeHintForIndex(viewIndex(r, c)).width());
        const int least = c == 0 ? leastFirstWidth_ : leastWidth_;
        setColumnWidth(c, std::max(width, least));
    }
}

void ReportView::scaleColumnMinimum(int num, int den) {
    leastFirstWidth_ = static_cast<int>(static_cast<long long>(leastFirstWidth_) * num / den);
    leastWidth_ = static_cast<int>(static_cast<long long>(leastWidth_) * num / den);
}

}  // namespace melorin::ui
