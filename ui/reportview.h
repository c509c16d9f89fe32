#pragma once

#include <QIcon>
#include <QStringList>
#include <QTreeWidget>
#include <QVector>

namespace melorin::ui {

// One row of a report list: caption (first column, with the kind icon) and its sub-items.
// Rows keep how many sub-items they were given: a list entry has two, a file row four.
struct ListRow {
    QString caption;
    int imageIndex = 0;  // into the kind icons; 5 (FLASH) or out of range shows none
    QStringList subItems;
};

// A report-style list view with columns, sub-items and the kind icons, as the window's lists use.
class ReportView : public QTreeWidget {
    Q_OBJECT
public:
    explicit ReportView(QWidget* parent, const QString& objectName, const QStringList& columns);

    void setKindIcons(const QVector<QIcon>* icons) { icons_ = icons; }
    void appendRow(const ListRow& row);
    [[nodiscard]] ListRow row(int index) const;
    [[nodiscard]] int rowCount() const { return topLevelItemCount(); }
    [[nodiscard]] QList<int> selectedRowIndexes() const;  // ascending
    // Sub-item `i` of a row; empty when the row has fewer.
    [[nodiscard]] QString subItem(int row, int i) const;
    void clearRows() { clear(); }
    // The image index shown in the first column's header.
    void setHeaderImageIndex(int index);
    [[nodiscard]] int headerImageIndex() const { return headerImage_; }
    // Sizes every column to its content, as the window's lists do after a change.
    void fitColumns();
    // The same after rows were appended from `firstRow` on, looking only at those rows: the
    // columns only grow, so the earlier rows need no second look (a long search appends page
    // after page).
    void fitColumnsToRows(int firstRow);
    // The least column widths grow with the window's scale, as the texts do.
    void scaleColumnMinimum(int num, int den);

private:
    const QVector<QIcon>* icons_ = nullptr;
    int headerImage_ = 0;
    int leastFirstWidth_ = 44;  // the row number and the kind icon
    int leastWidth_ = 64;
};

}  // namespace melorin::ui
