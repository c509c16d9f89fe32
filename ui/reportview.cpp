#include "ui/reportview.h"

#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>

#include "core/columnfit.h"

namespace melorin::ui {

ReportView::ReportView(QWidget* parent, const QString& objectName) : QTreeView(parent) {
    setObjectName(objectName);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setIconSize(QSize(16, 16));
    // A narrowed column keeps the start and the end of an address or a path in view.
    setTextElideMode(Qt::ElideMiddle);
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

int ReportView::leastWidth(int column) const {
    // Never narrower than the column's caption, nor the first than its number and icon.
    return std::max(column == 0 ? leastFirstWidth_ : 0, header()->sectionSizeHint(column));
}

void ReportView::fitColumns() {
    contentWidths_.clear();
    fitColumnsToRows(0);
}

void ReportView::fitColumnsToRows(int firstRow) {
    const QAbstractItemModel* m = model();
    if (m == nullptr) return;
    contentWidths_.resize(static_cast<std::size_t>(m->columnCount()), 0);
    for (int c = 0; c < m->columnCount(); ++c) {
        int& width = contentWidths_[static_cast<std::size_t>(c)];
        // Narrow columns get a little air where there is room for it.
        width = std::max({width, leastWidth(c), leastWidth_});
        for (int r = std::max(0, firstRow); r < m->rowCount(); ++r)
            width = std::max(width, sizeHintForIndex(m->index(r, c)).width());
    }
    applyColumnWidths();
}

int ReportView::columnRoom() const {
    const QSize inside = maximumViewportSize();
    const int rowsHeight = rowCount() * std::max(1, sizeHintForRow(0)) +
                           (header()->isHidden() ? 0 : header()->sizeHint().height());
    const bool scrolls =
        verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn ||
        (verticalScrollBarPolicy() == Qt::ScrollBarAsNeeded && rowsHeight > inside.height());
    return inside.width() - (scrolls ? verticalScrollBar()->sizeHint().width() : 0);
}

void ReportView::applyColumnWidths() {
    if (model() == nullptr || contentWidths_.empty()) return;
    std::vector<int> least;
    for (int c = 0; c < static_cast<int>(contentWidths_.size()); ++c)
        least.push_back(leastWidth(c));
    const std::vector<int> widths = core::fitColumnWidths(contentWidths_, least, columnRoom());
    for (int c = 0; c < static_cast<int>(widths.size()); ++c)
        setColumnWidth(c, widths[static_cast<std::size_t>(c)]);
}

void ReportView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    applyColumnWidths();
}

void ReportView::scaleColumnMinimum(int num, int den) {
    leastFirstWidth_ = static_cast<int>(static_cast<long long>(leastFirstWidth_) * num / den);
    leastWidth_ = static_cast<int>(static_cast<long long>(leastWidth_) * num / den);
}

}  // namespace melorin::ui
