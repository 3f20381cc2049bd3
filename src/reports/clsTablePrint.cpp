#include "clsTablePrint.h"

#include "util/MallowError.h"

#include <string>

namespace mallow {

namespace {

constexpr long SubscriptOutOfRange = 9;
constexpr double DefaultColWidth = 15;

[[noreturn]] void RaiseSubscript(const char* property)
{
    RaiseRuntimeError(SubscriptOutOfRange, std::string("clsTablePrint.") + property);
}

void CheckIndex(long index, long count, const char* property)
{
    if (index < 0 || index >= count)
        RaiseSubscript(property);
}

template <typename T> T& At(std::vector<T>& items, long index, const char* property)
{
    CheckIndex(index, static_cast<long>(items.size()), property);
    return items[static_cast<std::size_t>(index)];
}

template <typename T> const T& At(const std::vector<T>& items, long index, const char* property)
{
    CheckIndex(index, static_cast<long>(items.size()), property);
    return items[static_cast<std::size_t>(index)];
}

// A negative index addresses every element.
template <typename T>
void SetAt(std::vector<T>& items, long index, const T& value, const char* property)
{
    if (index < 0) {
        for (auto& item : items)
            item = value;
        return;
    }
    At(items, index, property) = value;
}

} // namespace

clsTablePrint::clsTablePrint()
{
    Rebuild(5, 2, 1);
}

void clsTablePrint::Rebuild(long newRows, long newCols, long newHeaderRows)
{
    // A table has at least one column and one header row; nothing changes when either is
    // missing.
    if (newCols < 1 || newHeaderRows < 1)
        RaiseSubscript(newCols < 1 ? "Cols" : "HeaderRows");
    rows = newRows;
    cols = newCols;
    headerRows = newHeaderRows;
    const auto dataRows = static_cast<std::size_t>(newRows < 1 ? 0 : newRows);
    const auto columns = static_cast<std::size_t>(newCols);
    data.assign(dataRows * columns, Cell{});
    mergeRow.assign(dataRows, 0);
    header.assign(static_cast<std::size_t>(newHeaderRows) * columns, Cell{});
    mergeHeaderRow.assign(static_cast<std::size_t>(newHeaderRows), 0);
    footer.assign(hasFooter ? columns : 0, Cell{});
    colWidth.assign(columns, DefaultColWidth);
    colAlignment.assign(columns, 0);
    mergeCol.assign(columns, 0);
    mergeHeaderCol.assign(columns, 0);
}

void clsTablePrint::SetRows(long value)
{
    Rebuild(value, cols, headerRows);
}

void clsTablePrint::SetCols(long value)
{
    Rebuild(rows, value, headerRows);
}

void clsTablePrint::SetHeaderRows(long value)
{
    Rebuild(rows, cols, value);
}

clsTablePrint::Cell& clsTablePrint::DataCell(long row, long col, const char* property)
{
    CheckIndex(row, rows, property);
    CheckIndex(col, cols, property);
    return data[static_cast<std::size_t>(row * cols + col)];
}

const clsTablePrint::Cell& clsTablePrint::DataCell(long row, long col, const char* property) const
{
    CheckIndex(row, rows, property);
    CheckIndex(col, cols, property);
    return data[static_cast<std::size_t>(row * cols + col)];
}

clsTablePrint::Cell& clsTablePrint::HeaderCell(long row, long col, const char* property)
{
    CheckIndex(row, headerRows, property);
    CheckIndex(col, cols, property);
    return header[static_cast<std::size_t>(row * cols + col)];
}

const clsTablePrint::Cell& clsTablePrint::HeaderCell(long row, long col, const char* property) const
{
    CheckIndex(row, headerRows, property);
    CheckIndex(col, cols, property);
    return header[static_cast<std::size_t>(row * cols + col)];
}

// Applies `apply(row, col)` to one cell, or to every row and/or column for negative indexes.
template <typename Apply>
void clsTablePrint::ForCells(long row, long col, long rowCount, const char* property, Apply apply)
{
    if (row >= 0)
        CheckIndex(row, rowCount, property);
    if (col >= 0)
        CheckIndex(col, cols, property);
    const long firstRow = row < 0 ? 0 : row;
    const long lastRow = row < 0 ? rowCount - 1 : row;
    const long firstCol = col < 0 ? 0 : col;
    const long lastCol = col < 0 ? cols - 1 : col;
    for (long r = firstRow; r <= lastRow; ++r)
        for (long c = firstCol; c <= lastCol; ++c)
            apply(r, c);
}

const std::string& clsTablePrint::TextMatrix(long row, long col) const
{
    return DataCell(row, col, "TextMatrix").text;
}

void clsTablePrint::SetTextMatrix(long row, long col, const std::string& text)
{
    ForCells(row, col, rows < 0 ? 0 : rows, "TextMatrix",
             [&](long r, long c) { DataCell(r, c, "TextMatrix").text = text; });
}

FontObject clsTablePrint::FontMatrix(long row, long col) const
{
    return DataCell(row, col, "FontMatrix").font;
}

void clsTablePrint::SetFontMatrix(long row, long col, const FontObject& font)
{
    ForCells(row, col, rows < 0 ? 0 : rows, "FontMatrix",
             [&](long r, long c) { DataCell(r, c, "FontMatrix").font = font; });
}

PictureObject clsTablePrint::PictureMatrix(long row, long col) const
{
    return DataCell(row, col, "PictureMatrix").picture;
}

void clsTablePrint::SetPictureMatrix(long row, long col, const PictureObject& picture)
{
    ForCells(row, col, rows < 0 ? 0 : rows, "PictureMatrix",
             [&](long r, long c) { DataCell(r, c, "PictureMatrix").picture = picture; });
}

const std::string& clsTablePrint::HeaderText(long row, long col) const
{
    return HeaderCell(row, col, "HeaderText").text;
}

void clsTablePrint::SetHeaderText(long row, long col, const std::string& text)
{
    ForCells(row, col, headerRows, "HeaderText",
             [&](long r, long c) { HeaderCell(r, c, "HeaderText").text = text; });
}

FontObject clsTablePrint::HeaderFont(long row, long col) const
{
    return HeaderCell(row, col, "HeaderFont").font;
}

void clsTablePrint::SetHeaderFont(long row, long col, const FontObject& font)
{
    ForCells(row, col, headerRows, "HeaderFont",
             [&](long r, long c) { HeaderCell(r, c, "HeaderFont").font = font; });
}

FontObject clsTablePrint::ColFont(long col) const
{
    return DataCell(0, col, "ColFont").font;
}

void clsTablePrint::SetColFont(long col, const FontObject& font)
{
    CheckIndex(col, cols, "ColFont");
    SetFontMatrix(-1, col, font);
}

const std::string& clsTablePrint::FooterText(long col) const
{
    return At(footer, col, "FooterText").text;
}

void clsTablePrint::SetFooterText(long col, const std::string& text)
{
    if (col >= 0) {
        At(footer, col, "FooterText").text = text;
        return;
    }
    for (auto& cell : footer)
        cell.text = text;
}

FontObject clsTablePrint::FooterFont(long col) const
{
    return At(footer, col, "FooterFont").font;
}

void clsTablePrint::SetFooterFont(long col, const FontObject& font)
{
    if (col >= 0) {
        At(footer, col, "FooterFont").font = font;
        return;
    }
    for (auto& cell : footer)
        cell.font = font;
}

void clsTablePrint::SetHasFooter(bool value)
{
    if (value == hasFooter)
        return;
    hasFooter = value;
    footer.assign(value ? static_cast<std::size_t>(cols) : 0, Cell{});
}

double clsTablePrint::ColWidth(long col) const
{
    return At(colWidth, col, "ColWidth");
}

void clsTablePrint::SetColWidth(long col, double width)
{
    SetAt(colWidth, col, width, "ColWidth");
}

long clsTablePrint::ColAlignment(long col) const
{
    return At(colAlignment, col, "ColAlignment");
}

void clsTablePrint::SetColAlignment(long col, long alignment)
{
    SetAt(colAlignment, col, alignment, "ColAlignment");
}

bool clsTablePrint::MergeRow(long row) const
{
    return At(mergeRow, row, "MergeRow") != 0;
}

void clsTablePrint::SetMergeRow(long row, bool merge)
{
    At(mergeRow, row, "MergeRow") = merge;
}

bool clsTablePrint::MergeCol(long col) const
{
    return At(mergeCol, col, "MergeCol") != 0;
}

void clsTablePrint::SetMergeCol(long col, bool merge)
{
    At(mergeCol, col, "MergeCol") = merge;
}

bool clsTablePrint::MergeHeaderRow(long row) const
{
    return At(mergeHeaderRow, row, "MergeHeaderRow") != 0;
}

void clsTablePrint::SetMergeHeaderRow(long row, bool merge)
{
    At(mergeHeaderRow, row, "MergeHeaderRow") = merge;
}

bool clsTablePrint::MergeHeaderCol(long col) const
{
    return At(mergeHeaderCol, col, "MergeHeaderCol") != 0;
}

void clsTablePrint::SetMergeHeaderCol(long col, bool merge)
{
    At(mergeHeaderCol, col, "MergeHeaderCol") = merge;
}

} // namespace mallow
