#include "TablePrintSupport.h"

#include "util/MallowError.h"

#include <gtest/gtest.h>

using namespace mallow;
using namespace mallow::test;

namespace {

long ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const MallowError& e) {
        return e.Number();
    }
    return 0;
}

} // namespace

TEST(TableProperties, Defaults)
{
    clsTablePrint table;
    EXPECT_EQ(table.Rows(), 5);
    EXPECT_EQ(table.Cols(), 2);
    EXPECT_EQ(table.HeaderRows(), 1);
    EXPECT_TRUE(table.HasFooter());
    EXPECT_FALSE(table.PrintHeaderOnEveryPage);
    EXPECT_FALSE(table.ResizeCellsToPicHeight);
    EXPECT_EQ(table.ColWidth(1), 15);
    EXPECT_EQ(table.ColAlignment(0), 0);
    EXPECT_EQ(table.LineThickness(), 1);
    EXPECT_EQ(table.HeaderLineThickness(), 1);
    EXPECT_EQ(table.FooterLineThickness(), 1);
    EXPECT_EQ(table.FooterText(1), "");
    EXPECT_EQ(table.FontMatrix(4, 1), nullptr);
    EXPECT_EQ(table.MarginTop(), 0);
}

TEST(TableProperties, SettingASizeStartsEveryArrayAfresh)
{
    clsTablePrint table;
    table.SetTextMatrix(0, 0, "kept?");
    table.SetColWidth(0, 2000);
    table.SetColAlignment(0, 2);
    table.SetMergeCol(0, true);
    table.SetFooterText(0, "sum");
    table.SetCols(3);
    EXPECT_EQ(table.TextMatrix(0, 0), "");
    EXPECT_EQ(table.ColWidth(0), 15);
    EXPECT_EQ(table.ColAlignment(0), 0);
    EXPECT_FALSE(table.MergeCol(0));
    EXPECT_EQ(table.FooterText(2), "");

    table.SetRows(0);
    EXPECT_EQ(ErrorOf([&] { table.TextMatrix(0, 0); }), 9);
    EXPECT_EQ(ErrorOf([&] { table.ColFont(0); }), 9);
}

TEST(TableProperties, NoColumnsOrHeaderRowsIsAnErrorThatChangesNothing)
{
    clsTablePrint table;
    table.SetTextMatrix(1, 1, "stays");
    EXPECT_EQ(ErrorOf([&] { table.SetCols(0); }), 9);
    EXPECT_EQ(ErrorOf([&] { table.SetHeaderRows(0); }), 9);
    EXPECT_EQ(table.Cols(), 2);
    EXPECT_EQ(table.TextMatrix(1, 1), "stays");
}

TEST(TableProperties, IndexesOutsideTheArraysAreSubscriptErrors)
{
    clsTablePrint table;
    EXPECT_EQ(ErrorOf([&] { table.TextMatrix(5, 0); }), 9);
    EXPECT_EQ(ErrorOf([&] { table.SetTextMatrix(0, 2, "x"); }), 9);
    EXPECT_EQ(ErrorOf([&] { table.HeaderText(1, 0); }), 9);
    EXPECT_EQ(ErrorOf([&] { table.ColWidth(-1); }), 9);
    EXPECT_EQ(ErrorOf([&] { table.SetMergeRow(-1, true); }), 9);
    EXPECT_EQ(ErrorOf([&] { table.SetFooterFont(2, Font10()); }), 9);
}

TEST(TableProperties, NegativeIndexesSetEveryRowOrColumn)
{
    clsTablePrint table;
    table.SetColWidth(-1, 1000);
    EXPECT_EQ(table.ColWidth(0), 1000);
    EXPECT_EQ(table.ColWidth(1), 1000);
    table.SetColAlignment(-1, 1);
    EXPECT_EQ(table.ColAlignment(1), 1);

    table.SetTextMatrix(-1, 1, "column");
    EXPECT_EQ(table.TextMatrix(4, 1), "column");
    EXPECT_EQ(table.TextMatrix(4, 0), "");
    table.SetTextMatrix(2, -1, "row");
    EXPECT_EQ(table.TextMatrix(2, 0), "row");
    EXPECT_EQ(table.TextMatrix(2, 1), "row");

    const FontObject font = Font10();
    table.SetHeaderFont(-1, -1, font);
    EXPECT_EQ(table.HeaderFont(0, 1), font);
    table.SetFooterText(-1, "all");
    EXPECT_EQ(table.FooterText(0), "all");
    EXPECT_EQ(table.FooterText(1), "all");
}

TEST(TableProperties, ColFontSetsTheWholeColumnAndReadsRowZero)
{
    clsTablePrint table;
    const FontObject font = Font10();
    table.SetColFont(1, font);
    for (long r = 0; r < table.Rows(); ++r)
        EXPECT_EQ(table.FontMatrix(r, 1), font);
    EXPECT_EQ(table.FontMatrix(0, 0), nullptr);
    table.SetFontMatrix(0, 1, Font10(true));
    EXPECT_NE(table.ColFont(1), font);
}

TEST(TableProperties, TheFooterExistsOnlyWhileItIsOn)
{
    clsTablePrint table;
    table.SetFooterText(0, "sum");
    table.SetHasFooter(false);
    EXPECT_EQ(ErrorOf([&] { table.FooterText(0); }), 9);
    table.SetHasFooter(true);
    EXPECT_EQ(table.FooterText(0), "");
    EXPECT_EQ(table.FooterFont(1), nullptr);
}
