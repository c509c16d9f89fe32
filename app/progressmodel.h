#pragma once
// The progress list's rows as a table for its view: the download board's rows (title, state,
// seconds, queue row), as far as the window has taken the board's changes.
#include <QAbstractTableModel>

#include "download/progressboard.h"

namespace melorin {

class ProgressModel final : public QAbstractTableModel {
public:
    // No rows until a board is given.
    explicit ProgressModel(QObject* parent);
    void setBoard(const download::ProgressBoard& board) { board_ = &board; }

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

    // The text shown in a cell; empty outside the rows shown.
    [[nodiscard]] QString text(int row, int column) const;
    // Shows the rows the board added and refreshes those it changed.
    void show(const download::ProgressBoard::Changes& changes);

private:
    const download::ProgressBoard* board_ = nullptr;
    int shown_ = 0;  // the board's rows the view has been told of
};

}  // namespace melorin
