#include "reports/mdlTPHelper.h"
#include "reports/clsTablePrint.h"

#include "util/MallowError.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

using namespace mallow;

namespace {

/// A grid of fixed and data rows held in memory.
class MemoryGrid : public FlexGrid
{
public:
    MemoryGrid(long rows, long cols, long fixedRows)
        : rows(rows), cols(cols), fixedRows(fixedRows),
          texts(static_cast<std::size_t>(rows * cols)),
          widths(static_cast<std::size_t>(cols), 1000),
          alignments(static_cast<std::size_t>(cols), flexAlign::General)
    {
        for (long r = 0; r < rows; ++r)
            for (long c = 0; c < cols; ++c)
                Text(r, c) = std::to_string(r) + "/" + std::to_string(c);
    }

    std::string& Text(long r, long c) { return texts[static_cast<std::size_t>(r * cols + c)]; }

    long Rows() const override { return rows; }
    long Cols() const override { return cols; }
    long FixedRows() const override { return fixedRows; }
    std::string TextMatrix(long r, long c) const override
    {
        return texts[static_cast<std::size_t>(r * cols + c)];
    }
    double ColWidth(long c) const override { return widths[static_cast<std::size_t>(c)]; }
    int ColAlignment(long c) const override { return alignments[static_cast<std::size_t>(c)]; }
    int GridLineWidth() const override { return 2; }
    double RowHeightMin() const override { return 300; }
    StdFont CellFont(long r, long c) const override
    {
        auto special = fonts.find({r, c});
        return special == fonts.end() ? StdFont{} : special->second;
    }
    PictureObject CellPicture(long r, long c) const override
    {
        auto picture = pictures.find({r, c});
        return picture == pictures.end() ? nullptr : picture->second;
    }
    bool MergeRow(long r) const override { return r == mergedRow; }
    bool MergeCol(long c) const override { return c == mergedCol; }

    long rows, cols, fixedRows;
    std::vector<std::string> texts;
    std::vector<double> widths;
    std::vector<int> alignments;
    std::map<std::pair<long, long>, StdFont> fonts;
    std::map<std::pair<long, long>, PictureObject> pictures;
    long mergedRow = -1;
    long mergedCol = -1;
};

} // namespace

TEST(GridImport, TakesSizesSettingsTextsAndMergeFlags)
{
    MemoryGrid grid(6, 3, 2);
    grid.mergedRow = 3;
    grid.mergedCol = 2;
    clsTablePrint table;
    mdlTPHelper::ImportFlexGrid(table, grid, 0);

    EXPECT_EQ(table.Rows(), 4);
    EXPECT_EQ(table.Cols(), 3);
    EXPECT_EQ(table.HeaderRows(), 2);
    EXPECT_FALSE(table.HasFooter());
    EXPECT_EQ(table.LineThickness(), 2);
    EXPECT_EQ(table.HeaderLineThickness(), 4);
    EXPECT_EQ(table.RowHeightMin, 300);
    EXPECT_EQ(table.HeaderRowHeightMin, 300);
    EXPECT_EQ(table.FooterRowHeightMin, 300);
    EXPECT_EQ(table.CellXOffset(), 60);
    EXPECT_EQ(table.CellYOffset(), 30);
    EXPECT_TRUE(table.PrintHeaderOnEveryPage);
    EXPECT_TRUE(table.ResizeCellsToPicHeight);
    EXPECT_FALSE(table.CenterMergedHeader);

    EXPECT_EQ(table.HeaderText(1, 2), "1/2");
    EXPECT_EQ(table.TextMatrix(0, 0), "2/0");
    EXPECT_EQ(table.TextMatrix(3, 2), "5/2");
    EXPECT_TRUE(table.MergeRow(1)); // grid row 3
    EXPECT_FALSE(table.MergeRow(0));
    EXPECT_TRUE(table.MergeCol(2));
    EXPECT_TRUE(table.MergeHeaderCol(2));
    EXPECT_FALSE(table.MergeHeaderRow(0));
}

TEST(GridImport, AFitWidthScalesTheColumnsAndZeroKeepsThem)
{
    MemoryGrid grid(3, 3, 1);
    grid.widths = {0, 1000, 3000};
    clsTablePrint table;
    mdlTPHelper::ImportFlexGrid(table, grid, 0);
    EXPECT_EQ(table.ColWidth(0), 0);
    EXPECT_EQ(table.ColWidth(1), 1000);
    EXPECT_EQ(table.ColWidth(2), 3000);

    mdlTPHelper::ImportFlexGrid(table, grid, 10000);
    EXPECT_EQ(table.ColWidth(0), 0);
    EXPECT_EQ(table.ColWidth(1), 2500);
    EXPECT_EQ(table.ColWidth(2), 7500);

    grid.widths = {0, 0, 0};
    try {
        mdlTPHelper::ImportFlexGrid(table, grid, 10000);
        FAIL() << "no error";
    } catch (const MallowError& e) {
        EXPECT_EQ(e.Number(), 11);
    }
}

TEST(GridImport, AlignmentsOfTheGridBecomeTextAlignments)
{
    const int expected[] = {0, 0, 0, 1, 1, 1, 2, 2, 2, 0};
    for (int align = flexAlign::LeftTop; align <= flexAlign::General; ++align)
        EXPECT_EQ(mdlTPHelper::TextAlignmentOf(align), expected[align]) << align;
    MemoryGrid grid(2, 2, 1);
    grid.alignments = {flexAlign::RightCenter, flexAlign::CenterTop};
    clsTablePrint table;
    mdlTPHelper::ImportFlexGrid(table, grid, 0);
    EXPECT_EQ(table.ColAlignment(0), 2);
    EXPECT_EQ(table.ColAlignment(1), 1);
}

TEST(GridImport, EqualNeighbouringFontsShareOneObject)
{
    MemoryGrid grid(5, 2, 1);
    StdFont bold;
    bold.Bold = true;
    grid.fonts[{0, 0}] = bold;
    grid.fonts[{0, 1}] = bold;
    grid.fonts[{3, 1}] = bold;
    clsTablePrint table;
    mdlTPHelper::ImportFlexGrid(table, grid, 0);

    EXPECT_EQ(table.HeaderFont(0, 0), table.HeaderFont(0, 1));
    EXPECT_TRUE(table.HeaderFont(0, 0)->Bold);
    // Column by column: 0/0..0/3 then 1/0, 1/1 share; the bold cell interrupts.
    EXPECT_EQ(table.FontMatrix(0, 0), table.FontMatrix(3, 0));
    EXPECT_EQ(table.FontMatrix(3, 0), table.FontMatrix(1, 1));
    EXPECT_TRUE(table.FontMatrix(2, 1)->Bold);
    EXPECT_NE(table.FontMatrix(3, 1), table.FontMatrix(1, 1));
    EXPECT_FALSE(table.FontMatrix(3, 1)->Bold);
}

TEST(GridImport, OnlyPicturesWithAHandleAreTaken)
{
    MemoryGrid grid(3, 1, 1);
    auto picture = std::make_shared<StdPicture>();
    picture->Handle = 7;
    grid.pictures[{1, 0}] = picture;
    grid.pictures[{2, 0}] = std::make_shared<StdPicture>();
    clsTablePrint table;
    mdlTPHelper::ImportFlexGrid(table, grid, 0);
    EXPECT_EQ(table.PictureMatrix(0, 0), picture);
    EXPECT_EQ(table.PictureMatrix(1, 0), nullptr);
}

TEST(GridImport, AGridWithoutFixedRowsCannotBeImported)
{
    MemoryGrid grid(3, 2, 0);
    clsTablePrint table;
    EXPECT_THROW(mdlTPHelper::ImportFlexGrid(table, grid, 0), MallowError);
}
