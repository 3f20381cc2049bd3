// Page layout of clsTablePrint: row heights, the page loop, cells with their merges, the
// footer. Positions run in the surface's scale; cells, outlines and text in device pixels.

#include "clsTablePrint.h"

#include "util/MallowError.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

namespace mallow {

namespace {

// How many rows of `rowHeight` fit into `room`. The small slack keeps a page that holds an
// exact number of rows from losing one to rounding.
long RowsThatFit(double room, double rowHeight)
{
    if (rowHeight <= 0)
        return room >= 0 ? 1000000000L : 0;
    return static_cast<long>(std::clamp(std::floor(room / rowHeight + 1e-7), -1e9, 1e9));
}

[[noreturn]] void RaiseDoesNotFit(const std::string& description)
{
    throw MallowError(TableDoesNotFitError, "clsTablePrint.DrawTable", description);
}

// Puts the surface's font and scale mode back however the drawing ends.
class SurfaceState
{
public:
    explicit SurfaceState(OutputSurface& out) : out(out), font(out.Font()), mode(out.ScaleMode()) {}
    ~SurfaceState()
    {
        try {
            out.SetScaleMode(mode);
            if (font)
                out.SetFont(font);
        } catch (...) {
            // The surface refused its own earlier state; the error that ended the drawing, if
            // any, is the one the caller needs to see.
        }
    }
    SurfaceState(const SurfaceState&) = delete;
    SurfaceState& operator=(const SurfaceState&) = delete;

private:
    OutputSurface& out;
    FontObject font;
    int mode;
};

} // namespace

/// Selects cell fonts on the surface. A cell holding the font object selected last needs no
/// switch; equal fonts in different objects still switch.
class clsTablePrint::FontSwitch
{
public:
    FontSwitch(OutputSurface& out, const char* routine) : out(out), routine(routine) {}

    void Select(const FontObject& font, const char* part, long row, long col)
    {
        if (!font) {
            const std::string where = std::string(part) == "footer"
                                          ? "the footer cell in column " + std::to_string(col)
                                          : "the " + std::string(part) + " cell at row " +
                                                std::to_string(row) + ", column " +
                                                std::to_string(col);
            throw MallowError(91, std::string("clsTablePrint.") + routine,
                              "The font of " + where + " is not set.");
        }
        if (font == last)
            return;
        out.SetFont(font);
        last = font;
    }

private:
    OutputSurface& out;
    const char* routine;
    FontObject last;
};

clsTablePrint::Heights clsTablePrint::MeasureRows(OutputSurface& out, FontSwitch& fonts) const
{
    const int mode = out.ScaleMode();
    auto tallest = [&](double start, const std::vector<Cell>& cells, const char* part,
                       bool pictures) {
        double best = start;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const Cell& cell = cells[i];
            const long row = static_cast<long>(i) / cols;
            const long col = static_cast<long>(i) % cols;
            fonts.Select(cell.font, part, row, col);
            const double height = out.TextHeight(cell.text);
            if (height > best)
                best = height;
            if (pictures && cell.picture && cell.picture->Handle != 0) {
                const double pictureHeight =
                    out.ScaleY(cell.picture->Height, scale::HiMetric, mode);
                if (pictureHeight > best)
                    best = pictureHeight;
            }
        }
        return best;
    };
    Heights h;
    h.data = tallest(RowHeightMin - 2 * cellYOffset, data, "data", ResizeCellsToPicHeight) +
             2 * cellYOffset;
    h.header =
        tallest(HeaderRowHeightMin - 2 * cellYOffset, header, "header", false) + 2 * cellYOffset;
    if (hasFooter) {
        h.footer = tallest(FooterRowHeightMin - 2 * cellYOffset, footer, "footer", false);
        if (h.footer > 0)
            h.footer += 2 * cellYOffset;
    }
    return h;
}

/// Draws the parts of one page. Column edges and insets are worked out in pixels once.
class clsTablePrint::Painter
{
public:
    Painter(const clsTablePrint& table, OutputSurface& out, FontSwitch& fonts, Heights heights)
        : t(table), out(out), fonts(fonts), h(heights), mode(out.ScaleMode())
    {
        double left = out.ScaleX(t.marginLeft, mode, scale::Pixels);
        rightEdge = t.marginLeft;
        colLeft.push_back(std::lround(left));
        for (double width : t.colWidth) {
            left += out.ScaleX(width, mode, scale::Pixels);
            colLeft.push_back(std::lround(left));
            rightEdge += width;
        }
        cellX = std::lround(out.ScaleX(t.cellXOffset, mode, scale::Pixels));
        out.SetFillStyle(1);
    }

    /// Draws the header (when asked), `count` data rows from `first`, the right edge and then
    /// the footer or the line under the last row; returns the bottom.
    double DrawPage(bool withHeader, long first, long count, bool withFooter)
    {
        const double top = out.CurrentY();
        double y = top;
        if (withHeader) {
            out.SetDrawWidth(t.headerLineThickness);
            DrawBlock(t.header, "header", 0, t.headerRows, t.mergeHeaderRow, t.mergeHeaderCol, y,
                      h.header);
            y += t.headerRows * h.header;
        }
        out.SetDrawWidth(t.lineThickness);
        DrawBlock(t.data, "data", first, count, t.mergeRow, t.mergeCol, y, h.data);
        y += count * h.data;
        out.Line(rightEdge, top, rightEdge, y);
        if (withFooter)
            return DrawFooter(y);
        out.Line(t.marginLeft, y, rightEdge, y);
        return y;
    }

    double DrawFooter(double y)
    {
        out.SetDrawWidth(t.footerLineThickness);
        const double bottom = y + h.footer;
        out.Line(t.marginLeft, y, rightEdge, bottom, true);
        double x = t.marginLeft;
        for (long c = 0; c + 1 < t.cols; ++c) {
            x += t.colWidth[static_cast<std::size_t>(c)];
            out.Line(x, y, x, bottom);
        }
        const long top = Pixels(y);
        const long bottomPx = Pixels(bottom);
        for (long c = 0; c < t.cols; ++c) {
            const Cell& cell = t.footer[static_cast<std::size_t>(c)];
            if (cell.text.empty())
                continue;
            fonts.Select(cell.font, "footer", 0, c);
            RECT rect{Left(c) + cellX, top, Left(c + 1) - cellX, bottomPx};
            WriteText(cell.text, rect, static_cast<unsigned>(Alignment(c)));
        }
        return bottom;
    }

private:
    long Left(long col) const { return colLeft[static_cast<std::size_t>(col)]; }
    long Alignment(long col) const { return t.colAlignment[static_cast<std::size_t>(col)]; }
    long Pixels(double y) const { return std::lround(out.ScaleY(y, mode, scale::Pixels)); }

    // Draws `count` rows of `cells` from `first`, `top` being the first one's top. Equal
    // neighbours merge across columns in rows whose flag is set, and down the rows of this
    // block in columns whose flag is set, so a run never crosses a page break.
    void DrawBlock(const std::vector<Cell>& cells, const char* part, long first, long count,
                   const std::vector<char>& rowMerge, const std::vector<char>& colMerge, double top,
                   double rowHeight)
    {
        if (count <= 0)
            return;
        const bool isHeader = std::string_view(part) == "header";
        const long cols = t.cols;
        std::vector<long> rowTop(static_cast<std::size_t>(count) + 1);
        for (long i = 0; i <= count; ++i)
            rowTop[static_cast<std::size_t>(i)] = Pixels(top + i * rowHeight);
        covered.assign(static_cast<std::size_t>(count * cols), 0);
        auto at = [&](long i, long c) -> const Cell& {
            return cells[static_cast<std::size_t>((first + i) * cols + c)];
        };
        auto isCovered = [&](long i, long c) {
            return covered[static_cast<std::size_t>(i * cols + c)] != 0;
        };
        for (long i = 0; i < count; ++i) {
            for (long c = 0; c < cols; ++c) {
                if (isCovered(i, c))
                    continue;
                const Cell& cell = at(i, c);
                long across = 1;
                if (rowMerge[static_cast<std::size_t>(first + i)])
                    while (c + across < cols && !isCovered(i, c + across) &&
                           at(i, c + across).text == cell.text)
                        ++across;
                long down = 1;
                bool mergeDown = true;
                for (long k = 0; k < across; ++k)
                    mergeDown = mergeDown && colMerge[static_cast<std::size_t>(c + k)];
                while (mergeDown && i + down < count) {
                    for (long k = 0; k < across; ++k)
                        mergeDown = mergeDown && !isCovered(i + down, c + k) &&
                                    at(i + down, c + k).text == cell.text;
                    if (mergeDown)
                        ++down;
                }
                for (long r = i; r < i + down; ++r)
                    for (long k = c; k < c + across; ++k)
                        covered[static_cast<std::size_t>(r * cols + k)] = 1;
                unsigned align = static_cast<unsigned>(Alignment(c));
                if (isHeader && across > 1 && t.CenterMergedHeader)
                    align = DT_CENTER;
                DrawCell(cell, part, first + i, c,
                         RECT{Left(c), rowTop[std::size_t(i)], Left(c + across),
                              rowTop[std::size_t(i + down)]},
                         align);
            }
        }
    }

    // One cell (or merged run) inside `box`: picture, outline, then the text centred
    // vertically between the horizontal insets.
    void DrawCell(const Cell& cell, const char* part, long row, long col, RECT box, unsigned align)
    {
        out.SetScaleMode(scale::Pixels);
        if (cell.picture && cell.picture->Handle != 0)
            PaintCellPicture(*cell.picture, box, align);
        out.Line(box.left, box.top, box.right, box.bottom, true);
        out.SetScaleMode(mode);
        if (cell.text.empty())
            return;
        fonts.Select(cell.font, part, row, col);
        RECT rect{box.left + cellX, box.top, box.right - cellX, box.bottom};
        WriteText(cell.text, rect, align);
    }

    void WriteText(const std::string& text, RECT rect, unsigned align)
    {
        RECT measured = rect;
        DrawTextA(out.hDC(), text, -1, measured, DT_CALCRECT | DT_NOPREFIX);
        rect.top += (rect.bottom - rect.top - (measured.bottom - measured.top)) / 2;
        DrawTextA(out.hDC(), text, -1, rect, align | DT_NOPREFIX);
    }

    // The picture keeps its proportions, shrunk to the cell's inner width and to the row's
    // height when larger, so it never spills into a neighbour.
    void PaintCellPicture(const StdPicture& picture, const RECT& box, unsigned align)
    {
        double width = out.ScaleX(picture.Width, scale::HiMetric, scale::Pixels);
        double height = out.ScaleY(picture.Height, scale::HiMetric, scale::Pixels);
        const double inner = static_cast<double>(box.right - box.left - 2 * cellX);
        const double rowHeight = static_cast<double>(box.bottom - box.top);
        if (width <= 0 || height <= 0 || inner <= 0 || rowHeight <= 0)
            return;
        if (width > inner) {
            height *= inner / width;
            width = inner;
        }
        if (height > rowHeight) {
            width *= rowHeight / height;
            height = rowHeight;
        }
        const double span = static_cast<double>(box.right - box.left);
        double x = static_cast<double>(box.left + cellX);
        if (align & DT_RIGHT)
            x = static_cast<double>(box.right - cellX) - width;
        else if (align & DT_CENTER)
            x = box.left + (span - width) / 2;
        out.PaintPicture(picture, x, box.top + (rowHeight - height) / 2, width, height);
    }

    const clsTablePrint& t;
    OutputSurface& out;
    FontSwitch& fonts;
    Heights h;
    int mode;
    std::vector<long> colLeft;
    double rightEdge = 0;
    long cellX = 0;
    std::vector<char> covered;
};

void clsTablePrint::DrawTable(OutputSurface& objOutput, long lRowToStart, long lStartPage)
{
    OutputSurface& out = objOutput;
    const long dataRows = std::max(rows, 0L);
    if (lRowToStart < 0 || lRowToStart > dataRows)
        RaiseRuntimeError(9, "clsTablePrint.DrawTable");
    SurfaceState saved(out);
    FontSwitch fonts(out, "DrawTable");
    const Heights h = MeasureRows(out, fonts);
    const double headerBlock = headerRows * h.header;

    // A row that cannot fit on an empty page would make every page break start another empty
    // page; that is an error the caller sees before anything is drawn.
    if (lRowToStart < dataRows) {
        const double emptyPage = out.ScaleHeight() - marginTop - marginBottom;
        const double everyPage = PrintHeaderOnEveryPage ? headerBlock : 0;
        if (h.data <= 0 || RowsThatFit(emptyPage - everyPage, h.data) < 1)
            RaiseDoesNotFit("A row of the table is taller than a page.");
    }

    Painter painter(*this, out, fonts, h);
    long page = lStartPage;
    long lastPrinted = lRowToStart - 1;
    auto breakPage = [&] {
        bool topMarginAlreadySet = false;
        bool cancel = false;
        if (NewPage)
            NewPage(out, topMarginAlreadySet, cancel, lastPrinted);
        if (cancel)
            return false;
        out.NewPage();
        if (!topMarginAlreadySet)
            out.SetCurrentY(marginTop);
        ++page;
        return true;
    };

    bool afterBreak = false;
    for (;;) {
        double room = out.ScaleHeight() - out.CurrentY() - marginBottom;
        long count = 0;
        if (RowsThatFit(room, h.data) >= 1) {
            const bool withHeader = PrintHeaderOnEveryPage || page == 1;
            if (withHeader)
                room -= headerBlock;
            count = std::clamp(RowsThatFit(room, h.data), 0L, dataRows - lastPrinted - 1);
            const bool lastPage = lastPrinted + count == dataRows - 1;
            const double bottom = out.CurrentY() + (withHeader ? headerBlock : 0) + count * h.data;
            // The footer goes under the last row when it fits above the bottom margin, and
            // onto a page of its own otherwise.
            const bool footerHere = lastPage && hasFooter &&
                                    bottom + h.footer <= out.ScaleHeight() - marginBottom + 1e-7;
            out.SetCurrentY(painter.DrawPage(withHeader, lastPrinted + 1, count, footerHere));
            lastPrinted += count;
            if (lastPage) {
                if (hasFooter && !footerHere && breakPage())
                    out.SetCurrentY(painter.DrawFooter(out.CurrentY()));
                return;
            }
        } else if (lastPrinted == dataRows - 1) {
            return;
        }
        if (afterBreak && count == 0)
            RaiseDoesNotFit("No row of the table fits on the page after a page break.");
        if (!breakPage())
            return;
        afterBreak = true;
    }
}

long clsTablePrint::CalcNumRowsPerPage(OutputSurface& objOutput, bool bWithHeader, bool bWithFooter)
{
    SurfaceState saved(objOutput);
    FontSwitch fonts(objOutput, "CalcNumRowsPerPage");
    const Heights h = MeasureRows(objOutput, fonts);
    if (h.data <= 0)
        RaiseRuntimeError(11, "clsTablePrint.CalcNumRowsPerPage");
    const double room = objOutput.ScaleHeight() - marginTop - marginBottom -
                        (bWithHeader ? headerRows * h.header : 0) - (bWithFooter ? h.footer : 0);
    return std::max(0L, RowsThatFit(room, h.data));
}

} // namespace mallow
