#pragma once
// The window's lists as rows of the libraries (`core::SongRow`) and back. Until every list has a
// row model of its own, the result list keeps its rows in its cells; these are the one place that
// reads them back, so that the play list and the card list can be held as plain rows.
#include <vector>

#include "core/songrow.h"
#include "ui/reportview.h"

namespace melorin {

// A file row shows four sub-items, a list entry two, a play-list file line none.
ui::ListRow listRowOf(const core::SongRow& row);
core::SongRow songRowOf(const ui::ListRow& row);

// The selected rows of a list, in list order.
std::vector<core::SongRow> selectedRows(const ui::ReportView& view);

// Replaces what a list shows by `rows`.
void showRows(ui::ReportView& view, const std::vector<core::SongRow>& rows);

}  // namespace melorin
