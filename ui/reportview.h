#pragma once

#include <QList>
#include <QRect>
#include <QTreeView>

namespace melorin::ui {

// A report-style list: a view of a table model with the kind icons in its first column, grid
// lines by the skin and whole-row selection, as the window's lists show their rows.
class ReportView : public QTreeView {
    Q_OBJECT
public:
    ReportView(QWidget* parent, const QString& objectName);

    // Shows `model` (kept by its owner) and fits the columns to its header.
    void setModel(QAbstractItemModel* model) override;
    [[nodiscard]] int rowCount() const;
    [[nodiscard]] int columnCount() const;
    [[nodiscard]] QString columnCaption(int column) const;
    [[nodiscard]] QList<int> selectedRowIndexes() const;  // ascending
    // Adds a row to the selection (a row that does not exist is left alone).
    void selectRow(int row);
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
