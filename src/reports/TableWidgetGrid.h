#pragma once

#include "mdlTPHelper.h"

#include <QString>

class QTableWidget;
class QTableWidgetItem;

namespace mallow {

/// A table widget that keeps the texts of its cells itself, without an item for each cell.
class CellTextSource
{
public:
    virtual ~CellTextSource() = default;
    /// The text of a cell that has no item.
    virtual QString ItemlessCellText(int row, int column) const = 0;
};

/// The text a cell shows: its item's, else the table's own for the cell when it keeps texts.
QString CellText(const QTableWidget& table, int row, int column);

/// A table widget read as a grid for the import. When the widget shows its column headers,
/// they are the fixed row 0 and the widget's rows follow; with the headers hidden, the
/// widget's own row 0 is the fixed row. Widths are the widget's, converted to twips at its
/// resolution; a hidden column is 0 wide.
class TableWidgetGrid : public FlexGrid
{
public:
    explicit TableWidgetGrid(const QTableWidget& table);

    long Rows() const override;
    long Cols() const override;
    long FixedRows() const override;
    std::string TextMatrix(long row, long col) const override;
    double ColWidth(long col) const override;
    int ColAlignment(long col) const override;
    int GridLineWidth() const override { return 1; }
    double RowHeightMin() const override { return 0; }
    StdFont CellFont(long row, long col) const override;
    PictureObject CellPicture(long row, long col) const override;
    bool MergeRow(long) const override { return false; }
    bool MergeCol(long) const override { return false; }

private:
    const QTableWidgetItem* Item(long row, long col) const;

    const QTableWidget& table;
    bool headerIsRow0;
    double twipsPerPixel;
};

} // namespace mallow
