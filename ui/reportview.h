#pragma once

#include <QList>
#include <QRect>
#include <QTreeView>

namespace melorin::ui {

// A report-style list: a view of a table model with the kind icons in its first column, grid
// lines by the skin and whole-row selection, as the window's lists show their rows. A row here
// is always the row of the model that holds them: under a sorting proxy, the proxy's source.
class ReportView : public QTreeView {
    Q_OBJECT
public:
    ReportView(QWidget* parent, const QString& objectName);

    // Shows `model` (kept by its owner) and fits the columns to its header.
    void setModel(QAbstractItemModel* model) override;
    [[nodiscard]] int rowCount() const;
    [[nodiscard]] int columnCount() const;
    [[nodiscard]] QString columnCaption(int column) const;
    // In the order the view shows them, top to bottom.
    [[nodiscard]] QList<int> selectedRowIndexes() const;
    // Adds a row to the selection (a row that does not exist is left alone).
    void selectRow(int row);
    // The row an index of the view stands for, and back; -1 and an invalid index for none.
    [[nodiscard]] int modelRow(const QModelIndex& viewIndex) const;
    [[nodiscard]] QModelIndex viewIndex(int row, int column = 0) const;
    // Where a row is drawn, in viewport coordinates.
    [[nodiscard]] QRect rowRect(int row) const;
    // Sizes every column to its content, as the window's lists do after a change.
    void fitColumns();
    // The same after rows were appended from `firstRow` on, looking only at those rows: the
    // columns only grow, so the earlier rows need no second look (a long search appends page
    // after page).
    void fitColumnsToRows(int firstRow);
    // The least column widths grow with the window's scale, as the texts do.
    void scaleColumnMinimum(int num, int den);

private:
    int leastFirstWidth_ = 44;  // the row number and the kind icon
    int leastWidth_ = 64;
};

}  // namespace melorin::ui
