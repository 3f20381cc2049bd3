#pragma once

#include "reports/RecordingSurface.h"
#include "reports/clsTablePrint.h"

#include <string>
#include <vector>

namespace mallow::test {

/// A 10-point font: one line is 240 twips, 16 pixels on the recording surface.
inline FontObject Font10(bool bold = false)
{
    StdFont font;
    font.Size = 10;
    font.Bold = bold;
    return std::make_shared<const StdFont>(font);
}

/// A table of `rows` x `cols` cells "r<row>c<col>" under one header row "H<col>", columns
/// 1500 twips wide, 720-twip margins and no footer; data and header share one font each.
inline clsTablePrint MakeTable(long rows, long cols, FontObject data = Font10(),
                               FontObject header = Font10(true))
{
    clsTablePrint table;
    table.SetRows(rows);
    table.SetCols(cols);
    table.SetHasFooter(false);
    for (long r = 0; r < rows; ++r)
        for (long c = 0; c < cols; ++c)
            table.SetTextMatrix(r, c, "r" + std::to_string(r) + "c" + std::to_string(c));
    for (long c = 0; c < cols; ++c)
        table.SetHeaderText(0, c, "H" + std::to_string(c));
    table.SetFontMatrix(-1, -1, data);
    table.SetHeaderFont(-1, -1, header);
    table.SetColWidth(-1, 1500);
    table.SetMarginLeft(720);
    table.SetMarginTop(720);
    table.SetMarginBottom(720);
    table.SetHeaderLineThickness(2);
    return table;
}

using Call = RecordingSurface::Call;
using Kind = RecordingSurface::Kind;

inline std::vector<Call> CallsOf(const RecordingSurface& out, Kind kind, int page = 0)
{
    std::vector<Call> found;
    for (const Call& call : out.Calls())
        if (call.kind == kind && (page == 0 || call.page == page))
            found.push_back(call);
    return found;
}

/// Index of the first and last data row on a page, from the texts "r<row>c0" drawn there.
inline std::vector<long> DataRowsOn(const RecordingSurface& out, int page)
{
    std::vector<long> rows;
    for (const std::string& text : out.Texts(page))
        if (text.size() > 3 && text[0] == 'r' && text.ends_with("c0"))
            rows.push_back(std::stol(text.substr(1)));
    return rows;
}

} // namespace mallow::test
