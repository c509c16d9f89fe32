#include "app/songrows.h"

namespace melorin {
namespace {

QString fromUtf8(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

ui::ListRow listRowOf(const core::SongRow& row) {
    ui::ListRow shown{fromUtf8(row.caption), row.icon, {}};
    switch (row.shape) {
        case core::RowShape::File:
            shown.subItems = {fromUtf8(row.title), fromUtf8(row.address), fromUtf8(row.size),
                              fromUtf8(row.type)};
            break;
        case core::RowShape::ListEntry:
            shown.subItems = {fromUtf8(row.title), fromUtf8(row.address)};
            break;
        case core::RowShape::FileLine:
            break;
    }
    return shown;
}

core::SongRow songRowOf(const ui::ListRow& shown) {
    const QStringList& s = shown.subItems;
    if (s.isEmpty()) return core::fileLine(shown.caption.toStdString());
    if (s.size() < 3) {
        core::SongRow entry = core::listEntry(shown.caption.toStdString(), s.value(0).toStdString(),
                                              s.value(1).toStdString());
        entry.icon = shown.imageIndex;
        return entry;
    }
    return {core::RowShape::File,     shown.caption.toStdString(), shown.imageIndex,
            s.value(0).toStdString(), s.value(1).toStdString(),    s.value(2).toStdString(),
            s.value(3).toStdString()};
}

std::vector<core::SongRow> selectedRows(const ui::ReportView& view) {
    std::vector<core::SongRow> rows;
    for (const int r : view.selectedRowIndexes()) rows.push_back(songRowOf(view.row(r)));
    return rows;
}

void showRows(ui::ReportView& view, const std::vector<core::SongRow>& rows) {
    view.clearRows();
    for (const core::SongRow& row : rows) view.appendRow(listRowOf(row));
    view.fitColumns();
}

}  // namespace melorin
