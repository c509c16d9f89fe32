#pragma once

#include <QList>
#include <QRect>
#include <QTreeView>
#include <vector>

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
    // Sizes every column to the content of all rows, as the window's lists do after a change;
    // when the columns would not fit the list's width, the widest are narrowed and their texts
    // elided (core/columnfit.h), so that every column stays in view.
    void fitColumns();
    // The same after rows were appended from `firstRow` on, looking only at those rows: what
    // the columns need only grows, so the earlier rows need no second look (a long search
    // appends page after page).
    void fitColumnsToRows(int firstRow);
    // The least column widths grow with the window's scale, as the texts do.
    void scaleColumnMinimum(int num, int den);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    [[nodiscard]] int leastWidth(int column) const;
    // The width the columns share: the list's inside, less a vertical scroll bar when the rows
    // need one. Known before the list is first shown.
    [[nodiscard]] int columnRoom() const;
    void applyColumnWidths();

    int leastFirstWidth_ = 44;        // the row number and the kind icon
    int leastWidth_ = 64;             // a column's width while there is room
    std::vector<int> contentWidths_;  // what each column's texts need
};

}  // namespace melorin::ui
