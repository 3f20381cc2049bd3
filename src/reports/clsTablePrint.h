#pragma once

#include "OutputSurface.h"
#include "StdFont.h"
#include "util/MallowError.h"

#include <functional>
#include <string>
#include <vector>

namespace mallow {

/// Error number of a table that can never be laid out: a row taller than an empty page, or a
/// page break after which still no row fits.
inline constexpr long TableDoesNotFitError = ApplicationErrorBase + 600;

/// A table of text cells (each with a font and an optional picture), a block of header rows
/// and an optional footer row, drawn onto an output surface page after page.
///
/// Setting Rows, Cols or HeaderRows rebuilds every array empty, so set the sizes first and
/// fill afterwards. Indexes count from 0; an index outside the arrays raises error 9, except
/// that the setters take a negative row or column as "every row" or "every column".
class clsTablePrint
{
public:
    clsTablePrint();

    bool PrintHeaderOnEveryPage = false;
    bool CenterMergedHeader = false;
    double RowHeightMin = 0;
    double HeaderRowHeightMin = 0;
    double FooterRowHeightMin = 0;
    bool ResizeCellsToPicHeight = false;

    /// Raised between two pages. The handler may place the next page's first row itself (set
    /// CurrentY and TopMarginAlreadySet) or stop the drawing (bCancel).
    std::function<void(OutputSurface& objOutput, bool& TopMarginAlreadySet, bool& bCancel,
                       long lLastPrintedRow)>
        NewPage;

    long Rows() const { return rows; }
    void SetRows(long value);
    long Cols() const { return cols; }
    void SetCols(long value);
    long HeaderRows() const { return headerRows; }
    void SetHeaderRows(long value);

    const std::string& TextMatrix(long row, long col) const;
    void SetTextMatrix(long row, long col, const std::string& text);
    FontObject FontMatrix(long row, long col) const;
    void SetFontMatrix(long row, long col, const FontObject& font);
    PictureObject PictureMatrix(long row, long col) const;
    void SetPictureMatrix(long row, long col, const PictureObject& picture);

    const std::string& HeaderText(long row, long col) const;
    void SetHeaderText(long row, long col, const std::string& text);
    FontObject HeaderFont(long row, long col) const;
    void SetHeaderFont(long row, long col, const FontObject& font);

    /// The font of data row 0 of the column; setting it sets every data row of the column.
    FontObject ColFont(long col) const;
    void SetColFont(long col, const FontObject& font);

    /// The footer's cells exist only while HasFooter is on.
    const std::string& FooterText(long col) const;
    void SetFooterText(long col, const std::string& text);
    FontObject FooterFont(long col) const;
    void SetFooterFont(long col, const FontObject& font);
    bool HasFooter() const { return hasFooter; }
    void SetHasFooter(bool value);

    double ColWidth(long col) const;
    void SetColWidth(long col, double width);
    /// 0 left, 1 centre, 2 right: used as the text-drawing alignment flags.
    long ColAlignment(long col) const;
    void SetColAlignment(long col, long alignment);

    bool MergeRow(long row) const;
    void SetMergeRow(long row, bool merge);
    bool MergeCol(long col) const;
    void SetMergeCol(long col, bool merge);
    bool MergeHeaderRow(long row) const;
    void SetMergeHeaderRow(long row, bool merge);
    bool MergeHeaderCol(long col) const;
    void SetMergeHeaderCol(long col, bool merge);

    /// Pen widths in pixels of the data, header and footer lines.
    short LineThickness() const { return lineThickness; }
    void SetLineThickness(short value) { lineThickness = value; }
    short HeaderLineThickness() const { return headerLineThickness; }
    void SetHeaderLineThickness(short value) { headerLineThickness = value; }
    short FooterLineThickness() const { return footerLineThickness; }
    void SetFooterLineThickness(short value) { footerLineThickness = value; }

    double CellXOffset() const { return cellXOffset; }
    void SetCellXOffset(double value) { cellXOffset = value; }
    double CellYOffset() const { return cellYOffset; }
    void SetCellYOffset(double value) { cellYOffset = value; }
    double MarginLeft() const { return marginLeft; }
    void SetMarginLeft(double value) { marginLeft = value; }
    double MarginTop() const { return marginTop; }
    void SetMarginTop(double value) { marginTop = value; }
    double MarginBottom() const { return marginBottom; }
    void SetMarginBottom(double value) { marginBottom = value; }

    /// Draws the table from data row lRowToStart at the surface's current position, the first
    /// page being number lStartPage. A row that cannot fit on an empty page raises
    /// TableDoesNotFitError before anything is drawn; a cell without a font raises error 91.
    void DrawTable(OutputSurface& objOutput, long lRowToStart, long lStartPage);
    /// How many data rows fit on one page between the margins, with or without the header
    /// block and the footer.
    long CalcNumRowsPerPage(OutputSurface& objOutput, bool bWithHeader, bool bWithFooter);

private:
    struct Cell
    {
        std::string text;
        FontObject font;
        PictureObject picture;
    };
    struct Heights
    {
        double data = 0;
        double header = 0;
        double footer = 0;
    };
    class FontSwitch;
    class Painter;

    void Rebuild(long newRows, long newCols, long newHeaderRows);
    Cell& DataCell(long row, long col, const char* property);
    const Cell& DataCell(long row, long col, const char* property) const;
    Cell& HeaderCell(long row, long col, const char* property);
    const Cell& HeaderCell(long row, long col, const char* property) const;
    template <typename Apply>
    void ForCells(long row, long col, long rowCount, const char* property, Apply apply);
    Heights MeasureRows(OutputSurface& out, FontSwitch& fonts) const;

    long rows = 0;
    long cols = 0;
    long headerRows = 0;
    std::vector<Cell> data;   // rows x cols
    std::vector<Cell> header; // headerRows x cols
    std::vector<Cell> footer; // cols, while hasFooter
    bool hasFooter = true;
    std::vector<double> colWidth;
    std::vector<long> colAlignment;
    std::vector<char> mergeRow;
    std::vector<char> mergeCol;
    std::vector<char> mergeHeaderRow;
    std::vector<char> mergeHeaderCol;
    short lineThickness = 1;
    short headerLineThickness = 1;
    short footerLineThickness = 1;
    double cellXOffset = 0;
    double cellYOffset = 0;
    double marginLeft = 0;
    double marginTop = 0;
    double marginBottom = 0;
};

} // namespace mallow
