#pragma once
// The rows of one of the window's lists as a table for its view: the result list, the download
// queue, the play list and the card list all hold `core::SongRow`s; the queue adds a save path.
#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>
#include <QVector>
#include <string>
#include <vector>

#include "core/songrow.h"

namespace melorin {

// The text a row shows in a column: the caption, then title, address, size and type for a file
// row, title and address for a list entry, nothing past the caption for a play-list file line.
QString songRowCell(const core::SongRow& row, int column);

// `rows` without those at `indexes` (a list's selected rows), in their order.
std::vector<core::SongRow> withoutRows(const std::vector<core::SongRow>& rows,
                                       const QList<int>& indexes);

class SongRowModel final : public QAbstractTableModel {
public:
    // `columns` are the header captions; a sixth column shows each row's save path.
    SongRowModel(QStringList columns, const QVector<QIcon>* kindIcons, QObject* parent);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

    [[nodiscard]] const std::vector<core::SongRow>& rows() const { return rows_; }
    [[nodiscard]] int size() const { return static_cast<int>(rows_.size()); }
    // The row at `index`, or an empty file row when there is none.
    [[nodiscard]] core::SongRow row(int index) const;
    // The rows at `indexes`, in that order; indexes out of range are left out.
    [[nodiscard]] std::vector<core::SongRow> rowsAt(const QList<int>& indexes) const;
    // The text shown in a cell; empty outside the table.
    [[nodiscard]] QString text(int row, int column) const;

    // Replaces every row; `savePaths` go with the rows of the same index.
    void setRows(std::vector<core::SongRow> rows, std::vector<std::string> savePaths = {});
    void appendRows(const std::vector<core::SongRow>& rows,
                    const std::vector<std::string>& savePaths = {});
    void clear() { setRows({}); }
    void setSavePath(int row, const std::string& path);
    [[nodiscard]] std::string savePath(int row) const;

    // The image index shown in the first column's header; none is shown until one is set,
    // though rows found through links take index 0 until then.
    void setHeaderIcon(int index);
    [[nodiscard]] int headerIcon() const { return headerIcon_; }

    // The row shown as the one playing: bold, its caption after a play sign; -1 for none.
    void setMarkedRow(int row);
    [[nodiscard]] int markedRow() const { return markedRow_; }

private:
    [[nodiscard]] QVariant iconAt(int index) const;

    QStringList columns_;
    const QVector<QIcon>* icons_;
    std::vector<core::SongRow> rows_;
    std::vector<std::string> savePaths_;  // as many as rows_
    int headerIcon_ = 0;
    bool headerIconSet_ = false;
    int markedRow_ = -1;
};

}  // namespace melorin
