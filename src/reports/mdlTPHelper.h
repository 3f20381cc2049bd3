#pragma once

#include "StdFont.h"

#include <string>

namespace mallow {

class clsTablePrint;

/// What the grid import reads of a grid control. Fixed rows come first and make the header;
/// widths and heights are in twips.
class FlexGrid
{
public:
    virtual ~FlexGrid() = default;
    virtual long Rows() const = 0;
    virtual long Cols() const = 0;
    virtual long FixedRows() const = 0;
    virtual std::string TextMatrix(long row, long col) const = 0;
    virtual double ColWidth(long col) const = 0;
    /// The grid's alignment of the column's cells, as flexAlign values (below).
    virtual int ColAlignment(long col) const = 0;
    /// Width of the grid's lines in pixels.
    virtual int GridLineWidth() const = 0;
    virtual double RowHeightMin() const = 0;
    virtual StdFont CellFont(long row, long col) const = 0;
    /// The cell's picture, or none.
    virtual PictureObject CellPicture(long row, long col) const = 0;
    virtual bool MergeRow(long row) const = 0;
    virtual bool MergeCol(long col) const = 0;
};

/// Cell alignments of a grid.
namespace flexAlign {
inline constexpr int LeftTop = 0;
inline constexpr int LeftCenter = 1;
inline constexpr int LeftBottom = 2;
inline constexpr int CenterTop = 3;
inline constexpr int CenterCenter = 4;
inline constexpr int CenterBottom = 5;
inline constexpr int RightTop = 6;
inline constexpr int RightCenter = 7;
inline constexpr int RightBottom = 8;
inline constexpr int General = 9;
} // namespace flexAlign

namespace mdlTPHelper {

/// Fills `table` from `grid`: sizes, line widths, insets, the header from the fixed rows, the
/// data cells with shared fonts and pictures, and the merge flags. With `fitWidth` above 0
/// the columns are scaled to fill that width together; otherwise they keep the grid's widths.
void ImportFlexGrid(clsTablePrint& table, const FlexGrid& grid, double fitWidth);

/// The text alignment (0 left, 1 centre, 2 right) of a grid alignment.
long TextAlignmentOf(int gridAlignment);

/// A font object with the look of `cellFont`: the one returned last when it looks the same,
/// otherwise a new one. Cells in a row with equal fonts so share one object.
FontObject SharedFont(const StdFont& cellFont);

} // namespace mdlTPHelper

} // namespace mallow
