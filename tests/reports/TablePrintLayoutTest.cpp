// Page layout of the table printer on the recording surface: a 12240 x 15840-twip page at 15
// twips per pixel; with 720-twip margins a page has 14400 twips, 60 rows of 240.

#include "TablePrintSupport.h"

#include "util/MallowError.h"

#include <gtest/gtest.h>

using namespace mallow;
using namespace mallow::test;

namespace {

struct Breaks
{
    std::vector<long> lastPrinted;
};

// Records the rows the page-break event reports.
void Watch(clsTablePrint& table, Breaks& breaks)
{
    table.NewPage = [&breaks](OutputSurface&, bool&, bool&, long lLastPrintedRow) {
        breaks.lastPrinted.push_back(lLastPrintedRow);
    };
}

void Draw(clsTablePrint& table, RecordingSurface& out, long fromRow = 0)
{
    out.SetCurrentY(table.MarginTop());
    table.DrawTable(out, fromRow, 1);
}

long Count(const std::vector<std::string>& texts, const std::string& text)
{
    return std::count(texts.begin(), texts.end(), text);
}

} // namespace

TEST(TablePages, HeaderOnEveryPageTakesItsRowsFromEachPage)
{
    auto table = MakeTable(150, 2);
    table.PrintHeaderOnEveryPage = true;
    Breaks breaks;
    Watch(table, breaks);
    RecordingSurface out;
    EXPECT_EQ(table.CalcNumRowsPerPage(out, true, false), 59);
    Draw(table, out);

    EXPECT_EQ(out.Page(), 3);
    EXPECT_EQ(breaks.lastPrinted, (std::vector<long>{58, 117}));
    for (int page = 1; page <= 3; ++page)
        EXPECT_EQ(Count(out.Texts(page), "H1"), 1) << "page " << page;
    EXPECT_EQ(DataRowsOn(out, 2).front(), 59);
    EXPECT_EQ(DataRowsOn(out, 3).size(), 32u);
    EXPECT_EQ(DataRowsOn(out, 3).back(), 149);
}

TEST(TablePages, HeaderOnFirstPageOnlyLeavesLaterPagesTheHeadersRoom)
{
    auto table = MakeTable(150, 2);
    Breaks breaks;
    Watch(table, breaks);
    RecordingSurface out;
    EXPECT_EQ(table.CalcNumRowsPerPage(out, false, false), 60);
    Draw(table, out);

    EXPECT_EQ(breaks.lastPrinted, (std::vector<long>{58, 118}));
    EXPECT_EQ(Count(out.Texts(1), "H0"), 1);
    EXPECT_EQ(Count(out.Texts(2), "H0"), 0);
    EXPECT_EQ(DataRowsOn(out, 2).size(), 60u);
    EXPECT_EQ(DataRowsOn(out, 3).size(), 31u);
    // Later pages start at the top margin: the first data row's box is at 720 twips.
    const auto boxes = CallsOf(out, Kind::Box, 2);
    ASSERT_FALSE(boxes.empty());
    EXPECT_DOUBLE_EQ(boxes.front().y1, 48);
}

TEST(TablePages, CancelInTheEventEndsAfterTheCurrentPage)
{
    auto table = MakeTable(150, 2);
    int events = 0;
    table.NewPage = [&](OutputSurface&, bool&, bool& bCancel, long) {
        ++events;
        bCancel = true;
    };
    RecordingSurface out;
    Draw(table, out);
    EXPECT_EQ(events, 1);
    EXPECT_TRUE(CallsOf(out, Kind::PageBreak).empty());
    EXPECT_EQ(out.Texts().back(), "r58c1");
}

TEST(TablePages, TheEventMayKeepTheTopMarginOffTheNextPage)
{
    auto table = MakeTable(150, 1);
    table.NewPage = [](OutputSurface&, bool& topMarginAlreadySet, bool&, long) {
        topMarginAlreadySet = true;
    };
    RecordingSurface out;
    Draw(table, out);
    // A new page starts at its top; with the margin left alone the rows start there too.
    const auto boxes = CallsOf(out, Kind::Box, 2);
    ASSERT_FALSE(boxes.empty());
    EXPECT_DOUBLE_EQ(boxes.front().y1, 0);
    EXPECT_EQ(DataRowsOn(out, 2).size(), 63u); // (15840 - 720) / 240
}

TEST(TablePages, NoRoomAtTheStartEndsThePageBeforeAnyRow)
{
    auto table = MakeTable(30, 2);
    table.PrintHeaderOnEveryPage = true;
    Breaks breaks;
    Watch(table, breaks);
    RecordingSurface out;
    out.SetCurrentY(15840 - 720 - 100);
    table.DrawTable(out, 10, 1);

    EXPECT_EQ(breaks.lastPrinted, (std::vector<long>{9}));
    EXPECT_TRUE(CallsOf(out, Kind::Box, 1).empty());
    EXPECT_TRUE(out.Texts(1).empty());
    EXPECT_EQ(DataRowsOn(out, 2).front(), 10);
    EXPECT_EQ(DataRowsOn(out, 2).back(), 29);
}

TEST(TablePages, ARowTallerThanAnEmptyPageIsAnErrorBeforeAnythingIsDrawn)
{
    auto table = MakeTable(3, 2);
    table.RowHeightMin = 20000;
    Breaks breaks;
    Watch(table, breaks);
    RecordingSurface out;
    try {
        Draw(table, out);
        FAIL() << "no error";
    } catch (const MallowError& e) {
        EXPECT_EQ(e.Number(), TableDoesNotFitError);
    }
    EXPECT_TRUE(breaks.lastPrinted.empty());
    EXPECT_TRUE(CallsOf(out, Kind::Box).empty());
    EXPECT_EQ(out.Page(), 1);
}

TEST(TablePages, AHeaderThatLeavesNoRoomOnEveryPageIsAnErrorButNotOnTheFirstOnly)
{
    auto table = MakeTable(3, 2);
    table.HeaderRowHeightMin = 10000;
    table.RowHeightMin = 6000;
    table.PrintHeaderOnEveryPage = true;
    RecordingSurface out;
    EXPECT_THROW(Draw(table, out), MallowError);

    table.PrintHeaderOnEveryPage = false;
    RecordingSurface once;
    Draw(table, once);
    EXPECT_TRUE(DataRowsOn(once, 1).empty());
    EXPECT_EQ(DataRowsOn(once, 2), (std::vector<long>{0, 1}));
    EXPECT_EQ(DataRowsOn(once, 3), (std::vector<long>{2}));
}

TEST(TablePages, AnEventThatLeavesNoRoomAfterABreakIsAnErrorNotEndlessPages)
{
    auto table = MakeTable(100, 1);
    table.NewPage = [&table](OutputSurface&, bool&, bool&, long) { table.SetMarginTop(15000); };
    RecordingSurface out;
    EXPECT_THROW(Draw(table, out), MallowError);
    EXPECT_EQ(out.Page(), 2);
}

TEST(TableRows, RowsAreAtLeastTheMinimumHigh)
{
    auto table = MakeTable(3, 2);
    table.RowHeightMin = 600;
    table.SetCellYOffset(30);
    RecordingSurface out;
    Draw(table, out);
    // Data boxes (pen 1): 600 twips = 40 pixels; the header keeps 240 + 60 = 300.
    for (const Call& box : CallsOf(out, Kind::Box))
        EXPECT_DOUBLE_EQ(box.y2 - box.y1, box.drawWidth == 1 ? 40 : 20);
    // Text is centred in its row: (40 - 16) / 2 below the row's top.
    const auto texts = CallsOf(out, Kind::Text);
    const auto boxes = CallsOf(out, Kind::Box);
    EXPECT_EQ(texts[2].text, "r0c0");
    EXPECT_EQ(texts[2].rect.top, static_cast<long>(boxes[2].y1) + 12);
}

TEST(TableRows, TheTallestCellSetsEveryRowsHeight)
{
    auto table = MakeTable(3, 2);
    table.SetTextMatrix(1, 1, "two\nlines");
    table.SetCellYOffset(30);
    RecordingSurface out;
    Draw(table, out);
    for (const Call& box : CallsOf(out, Kind::Box)) {
        if (box.drawWidth == 1) {
            EXPECT_DOUBLE_EQ(box.y2 - box.y1, 36); // 480 + 60 twips
        }
    }
}

TEST(TableCells, ColumnsInsetsAndAlignment)
{
    auto table = MakeTable(2, 3);
    table.SetColWidth(-1, 1000);
    table.SetCellXOffset(60);
    table.SetColAlignment(1, 2);
    RecordingSurface out;
    Draw(table, out);
    const auto boxes = CallsOf(out, Kind::Box);
    // 720 twips margin, then 1000-twip columns: 48, 114.67, 181.33 pixels, rounded.
    ASSERT_GE(boxes.size(), 6u);
    EXPECT_DOUBLE_EQ(boxes[3].x1, 48);
    EXPECT_DOUBLE_EQ(boxes[3].x2, 115);
    EXPECT_DOUBLE_EQ(boxes[4].x2, 181);
    EXPECT_DOUBLE_EQ(boxes[5].x2, 248);
    for (const Call& text : CallsOf(out, Kind::Text)) {
        if (text.text != "r0c1")
            continue;
        EXPECT_EQ(text.rect.left, 115 + 4);
        EXPECT_EQ(text.rect.right, 181 - 4);
        EXPECT_EQ(text.flags, DT_RIGHT | DT_NOPREFIX);
    }
    // The right edge runs from the table's top to its last row's bottom, in twips.
    const auto lines = CallsOf(out, Kind::Line);
    ASSERT_FALSE(lines.empty());
    EXPECT_DOUBLE_EQ(lines.front().x1, (720 + 3000) / 15.0);
    EXPECT_DOUBLE_EQ(lines.front().y1, 48);
    EXPECT_DOUBLE_EQ(lines.front().y2, (720 + 3 * 240) / 15.0);
}

TEST(TableCells, AMergedColumnRunStopsAtThePageBreak)
{
    auto table = MakeTable(100, 2);
    table.PrintHeaderOnEveryPage = true;
    table.SetTextMatrix(-1, 0, "Same");
    table.SetMergeCol(0, true);
    RecordingSurface out;
    Draw(table, out);
    EXPECT_EQ(Count(out.Texts(1), "Same"), 1);
    EXPECT_EQ(Count(out.Texts(2), "Same"), 1);
    // Page 1 holds rows 0 to 58 under a 240-twip header: one box of 59 rows.
    auto first = CallsOf(out, Kind::Box, 1);
    ASSERT_GE(first.size(), 3u);
    EXPECT_DOUBLE_EQ(first[2].y1, 64);
    EXPECT_DOUBLE_EQ(first[2].y2, 64 + 59 * 16);
    auto second = CallsOf(out, Kind::Box, 2);
    EXPECT_DOUBLE_EQ(second[2].y2 - second[2].y1, 41 * 16);
}

TEST(TableCells, EqualNeighboursMergeOnlyWhereAllowed)
{
    auto table = MakeTable(3, 2);
    table.SetTextMatrix(0, 0, "x");
    table.SetTextMatrix(0, 1, "x");
    table.SetTextMatrix(1, 0, "y");
    table.SetTextMatrix(1, 1, "y");
    table.SetMergeRow(0, true);
    RecordingSurface out;
    Draw(table, out);
    const auto texts = out.Texts();
    EXPECT_EQ(Count(texts, "x"), 1);
    EXPECT_EQ(Count(texts, "y"), 2);
    const auto boxes = CallsOf(out, Kind::Box);
    EXPECT_DOUBLE_EQ(boxes[2].x2 - boxes[2].x1, 200); // both columns
}

TEST(TableCells, HeaderCellsMergeAcrossColumnsAndRows)
{
    auto table = MakeTable(2, 3);
    table.SetHeaderRows(2); // starts the table afresh
    table.SetHasFooter(false);
    table.SetFontMatrix(-1, -1, Font10());
    table.SetHeaderFont(-1, -1, Font10(true));
    table.SetColWidth(-1, 1500);
    table.SetHeaderText(0, 0, "Group");
    table.SetHeaderText(0, 1, "Group");
    table.SetHeaderText(0, 2, "Other");
    table.SetHeaderText(1, 0, "a");
    table.SetHeaderText(1, 1, "b");
    table.SetHeaderText(1, 2, "Other");
    table.SetMergeHeaderRow(0, true);
    table.SetMergeHeaderCol(2, true);
    table.CenterMergedHeader = true;
    RecordingSurface out;
    Draw(table, out);
    const auto texts = CallsOf(out, Kind::Text);
    ASSERT_EQ(texts[0].text, "Group");
    EXPECT_EQ(texts[0].flags, DT_CENTER | DT_NOPREFIX);
    EXPECT_EQ(texts[1].text, "Other");
    const auto boxes = CallsOf(out, Kind::Box);
    EXPECT_DOUBLE_EQ(boxes[1].y2 - boxes[1].y1, 32); // two header rows
    EXPECT_EQ(Count(out.Texts(), "Other"), 1);
}

TEST(TableFooter, FollowsTheLastRowOnlyWithItsSeparators)
{
    auto table = MakeTable(80, 2);
    table.SetHasFooter(true);
    table.SetFooterText(-1, "Total");
    table.SetFooterFont(-1, Font10());
    table.SetFooterLineThickness(3);
    table.SetColAlignment(1, 1);
    RecordingSurface out;
    Draw(table, out);
    EXPECT_EQ(Count(out.Texts(1), "Total"), 0);
    EXPECT_EQ(Count(out.Texts(2), "Total"), 2);
    std::vector<Call> footer;
    for (const Call& call : out.Calls())
        if (call.drawWidth == 3)
            footer.push_back(call);
    ASSERT_EQ(footer.size(), 2u);
    EXPECT_EQ(footer[0].kind, Kind::Box);
    EXPECT_DOUBLE_EQ(footer[0].x1, 48);
    EXPECT_DOUBLE_EQ(footer[0].x2, 248);
    EXPECT_EQ(footer[1].kind, Kind::Line);
    EXPECT_DOUBLE_EQ(footer[1].x1, 148);
    EXPECT_EQ(CallsOf(out, Kind::Text).back().flags, DT_CENTER | DT_NOPREFIX);
}

TEST(TableFooter, AFooterWithoutRoomGoesOntoAPageOfItsOwn)
{
    auto table = MakeTable(118, 1);
    table.PrintHeaderOnEveryPage = true;
    table.SetHasFooter(true);
    table.SetFooterText(0, "Total");
    table.SetFooterFont(0, Font10());
    Breaks breaks;
    Watch(table, breaks);
    RecordingSurface out;
    EXPECT_EQ(table.CalcNumRowsPerPage(out, true, true), 58);
    Draw(table, out);
    EXPECT_EQ(breaks.lastPrinted, (std::vector<long>{58, 117}));
    EXPECT_EQ(out.Texts(3), (std::vector<std::string>{"Total"}));
}

TEST(TableFonts, SwitchOnlyWhenTheFontObjectChanges)
{
    auto table = MakeTable(20, 3);
    RecordingSurface shared;
    Draw(table, shared);
    // Measuring: data, then header; drawing goes on in the header's font, then data; last
    // the surface's own font again.
    EXPECT_EQ(shared.FontSwitches(), 4);

    // Equal-looking fonts in separate objects switch at every cell.
    for (long r = 0; r < 20; ++r)
        for (long c = 0; c < 3; ++c)
            table.SetFontMatrix(r, c, Font10());
    RecordingSurface separate;
    Draw(table, separate);
    EXPECT_EQ(separate.FontSwitches(), 2 * 60 + 2);
}

TEST(TableFonts, ACellWithoutAFontIsAnErrorAndTheSurfaceKeepsItsFont)
{
    auto table = MakeTable(5, 2);
    table.SetFontMatrix(3, 1, nullptr);
    RecordingSurface out;
    const FontObject before = out.Font();
    try {
        Draw(table, out);
        FAIL() << "no error";
    } catch (const MallowError& e) {
        EXPECT_EQ(e.Number(), 91);
        EXPECT_NE(e.Description().find("row 3, column 1"), std::string::npos);
    }
    EXPECT_EQ(out.Font(), before);
    EXPECT_TRUE(out.Texts().empty());

    table.SetFontMatrix(3, 1, Font10());
    table.SetHasFooter(true);
    EXPECT_THROW(Draw(table, out), MallowError); // footer font never set
    table.SetHasFooter(false);
    EXPECT_NO_THROW(Draw(table, out));
}

TEST(TableCells, PicturesGrowTheRowAndKeepInsideTheirCell)
{
    auto table = MakeTable(2, 2);
    table.ResizeCellsToPicHeight = true;
    table.SetCellXOffset(60);
    table.SetColAlignment(0, 1);
    auto inch = std::make_shared<StdPicture>();
    inch->Handle = 1;
    inch->Width = 1270;  // 48 pixels
    inch->Height = 2540; // 96 pixels
    table.SetPictureMatrix(0, 0, inch);
    auto wide = std::make_shared<StdPicture>(*inch);
    wide->Width = 5080; // 192 pixels, more than the column's 92 inside
    table.SetPictureMatrix(1, 1, wide);
    RecordingSurface out;
    Draw(table, out);
    const auto pictures = CallsOf(out, Kind::Picture);
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_DOUBLE_EQ(pictures[0].x1, 48 + (100 - 48) / 2.0); // centred in its column
    EXPECT_DOUBLE_EQ(pictures[0].x2, 48);
    EXPECT_DOUBLE_EQ(pictures[0].y2, 96);
    const auto boxes = CallsOf(out, Kind::Box);
    EXPECT_DOUBLE_EQ(boxes[2].y2 - boxes[2].y1, 96); // the row is the picture's height
    EXPECT_DOUBLE_EQ(pictures[1].x2, 92);
    EXPECT_DOUBLE_EQ(pictures[1].y2, 96 * 92 / 192.0);
    EXPECT_DOUBLE_EQ(pictures[1].x1, 148 + 4); // left-aligned column: at the inset
}
