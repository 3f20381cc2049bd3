#include "mdlTPHelper.h"

#include "clsTablePrint.h"

namespace mallow::mdlTPHelper {

long TextAlignmentOf(int gridAlignment)
{
    switch (gridAlignment) {
    case flexAlign::CenterTop:
    case flexAlign::CenterCenter:
    case flexAlign::CenterBottom:
        return DT_CENTER;
    case flexAlign::RightTop:
    case flexAlign::RightCenter:
    case flexAlign::RightBottom:
        return DT_RIGHT;
    default:
        return DT_LEFT;
    }
}

FontObject SharedFont(const StdFont& cellFont)
{
    // Only the interface thread prints, so one remembered font serves every import.
    static FontObject last;
    if (!last || !last->SameLook(cellFont))
        last = std::make_shared<const StdFont>(cellFont);
    return last;
}

void ImportFlexGrid(clsTablePrint& table, const FlexGrid& grid, double fitWidth)
{
    const long fixedRows = grid.FixedRows();
    const long cols = grid.Cols();
    table.SetRows(grid.Rows() - fixedRows);
    table.SetCols(cols);
    table.SetHeaderRows(fixedRows);
    table.SetHasFooter(false);

    const auto lineWidth = static_cast<short>(grid.GridLineWidth());
    table.SetLineThickness(lineWidth);
    table.SetHeaderLineThickness(static_cast<short>(2 * lineWidth));
    table.RowHeightMin = grid.RowHeightMin();
    table.FooterRowHeightMin = table.RowHeightMin;
    table.HeaderRowHeightMin = table.RowHeightMin;

    table.SetCellXOffset(60);
    table.SetCellYOffset(30);
    table.CenterMergedHeader = false;
    table.ResizeCellsToPicHeight = true;
    table.PrintHeaderOnEveryPage = true;

    double totalWidth = 0;
    for (long r = 0; r < fixedRows; ++r) {
        for (long c = 0; c < cols; ++c) {
            table.SetHeaderFont(r, c, SharedFont(grid.CellFont(r, c)));
            if (r == 0) {
                table.SetColAlignment(c, TextAlignmentOf(grid.ColAlignment(c)));
                totalWidth += grid.ColWidth(c);
            }
            table.SetHeaderText(r, c, grid.TextMatrix(r, c));
        }
        table.SetMergeHeaderRow(r, grid.MergeRow(r));
    }

    const long dataRows = grid.Rows() - fixedRows;
    for (long c = 0; c < cols; ++c) {
        for (long r = 0; r < dataRows; ++r) {
            const long gridRow = fixedRows + r;
            table.SetFontMatrix(r, c, SharedFont(grid.CellFont(gridRow, c)));
            if (PictureObject picture = grid.CellPicture(gridRow, c); picture && picture->Handle)
                table.SetPictureMatrix(r, c, picture);
            table.SetTextMatrix(r, c, grid.TextMatrix(gridRow, c));
            if (c == 0)
                table.SetMergeRow(r, grid.MergeRow(gridRow));
        }
        const double width = grid.ColWidth(c);
        if (fitWidth <= 0) {
            table.SetColWidth(c, width);
        } else {
            if (totalWidth <= 0)
                RaiseRuntimeError(11, "mdlTPHelper.ImportFlexGrid");
            table.SetColWidth(c, width / totalWidth * fitWidth);
        }
        table.SetMergeCol(c, grid.MergeCol(c));
        table.SetMergeHeaderCol(c, grid.MergeCol(c));
    }
}

} // namespace mallow::mdlTPHelper
