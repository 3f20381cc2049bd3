// "Print Results" through Qt's printer into PDF files, read back with poppler's tools.

#include "LogGrid.h"

#include "fixtures/PdfText.h"
#include "reports/PrintResults.h"
#include "reports/PrinterSurface.h"
#include "reports/TableWidgetGrid.h"
#include "reports/clsTablePrint.h"
#include "util/MallowError.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QHeaderView>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace mallow;

namespace {

using test::Has;
using test::PageText;
using test::PdfPages;

} // namespace

TEST(PrintResults, FiveHundredLogRowsPaginateIntoAPdf)
{
    QTemporaryDir dir;
    const auto grid = test::MakeCompactLogGrid(500);
    clsTablePrint table;
    const PrintDestination pdf{true, dir.filePath("log.pdf").toStdString()};
    const PrintDestination went = PrintResultsGrid(table, *grid, pdf);
    EXPECT_TRUE(went.pdf);
    EXPECT_EQ(went.name, pdf.name);

    // The pages the table itself works out for this page size, header on each.
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer, pdf);
    PrinterSurface surface(printer);
    const long perPage = table.CalcNumRowsPerPage(surface, true, false);
    ASSERT_GT(perPage, 10);
    const int pages = static_cast<int>((500 + perPage - 1) / perPage);
    const QString file = QString::fromStdString(pdf.name);
    ASSERT_EQ(PdfPages(file), pages);

    for (int page = 1; page <= pages; ++page) {
        const std::string text = PageText(file, page);
        for (const char* header :
             {"App", "Successful", "Size Before", "Size After", "Logged", "Comments"})
            EXPECT_TRUE(Has(text, header)) << header << " on page " << page;
        const int first = static_cast<int>((page - 1) * perPage);
        const int last = std::min(500, static_cast<int>(page * perPage)) - 1;
        EXPECT_TRUE(Has(text, test::LogComment(first))) << "page " << page;
        EXPECT_TRUE(Has(text, test::LogComment(last))) << "page " << page;
        EXPECT_FALSE(Has(text, test::LogComment(last + 1))) << "page " << page;
    }
    EXPECT_TRUE(Has(PageText(file, 1), test::LogComment(0)));
    EXPECT_TRUE(Has(PageText(file, pages), test::LogComment(499)));
    // The hidden ID column prints nothing: the first row's ID (500) is on no page.
    EXPECT_FALSE(Has(PageText(file, 1), "\n500\n"));
}

TEST(PrintResults, ATableThatCannotPrintLeavesNoFile)
{
    QTemporaryDir dir;
    const auto grid = test::MakeCompactLogGrid(3);
    QString tall;
    for (int i = 0; i < 300; ++i)
        tall += QStringLiteral("line\n");
    grid->item(1, 6)->setText(tall);
    clsTablePrint table;
    const PrintDestination pdf{true, dir.filePath("tall.pdf").toStdString()};
    try {
        PrintResultsGrid(table, *grid, pdf);
        FAIL() << "no error";
    } catch (const MallowError& e) {
        EXPECT_EQ(e.Number(), TableDoesNotFitError);
    }
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(pdf.name)));

    const PrintDestination nowhere{true, dir.filePath("missing/folder/log.pdf").toStdString()};
    try {
        PrintResultsGrid(table, *test::MakeCompactLogGrid(3), nowhere);
        FAIL() << "no error";
    } catch (const MallowError& e) {
        EXPECT_EQ(e.Number(), err::PathFileAccess);
        EXPECT_TRUE(Has(e.Description(), "missing/folder/log.pdf"));
    }
}

TEST(PrintResults, WithoutAPrinterTheJobGoesToANewPdfFile)
{
    QTemporaryDir dir;
    const PrintDestination where = DefaultPrintDestination(dir.path().toStdString());
    if (QPrinterInfo::availablePrinterNames().isEmpty()) {
        EXPECT_TRUE(where.pdf);
        const QFileInfo file(QString::fromStdString(where.name));
        EXPECT_EQ(file.absolutePath(), QDir(dir.path()).absolutePath());
        EXPECT_EQ(file.suffix(), "pdf");
        EXPECT_FALSE(file.exists());
        EXPECT_TRUE(Has(PrintedToPdfText(where.name), where.name));
    } else {
        EXPECT_FALSE(where.pdf);
        const QString expected = QPrinterInfo::defaultPrinterName().isEmpty()
                                     ? QPrinterInfo::availablePrinterNames().first()
                                     : QPrinterInfo::defaultPrinterName();
        EXPECT_EQ(where.name, expected.toStdString());
    }
}

TEST(TableWidgetGridTest, HeadersAreTheFixedRowAndWidthsAreTwips)
{
    const auto grid = test::MakeCompactLogGrid(2);
    QFont bold = grid->font();
    bold.setBold(true);
    grid->item(1, 2)->setFont(bold);
    grid->item(0, 3)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    TableWidgetGrid source(*grid);
    EXPECT_EQ(source.Rows(), 3);
    EXPECT_EQ(source.FixedRows(), 1);
    EXPECT_EQ(source.TextMatrix(0, 6), "Comments");
    EXPECT_EQ(source.TextMatrix(1, 6), test::LogComment(0));
    EXPECT_EQ(source.ColWidth(0), 0);
    EXPECT_DOUBLE_EQ(source.ColWidth(1), grid->columnWidth(1) * 1440.0 / grid->logicalDpiX());
    EXPECT_EQ(source.ColAlignment(3), flexAlign::RightCenter);
    EXPECT_EQ(source.ColAlignment(4), flexAlign::General);
    EXPECT_TRUE(source.CellFont(2, 2).Bold);
    EXPECT_FALSE(source.CellFont(1, 2).Bold);

    grid->horizontalHeader()->hide();
    TableWidgetGrid noHeader(*grid);
    EXPECT_EQ(noHeader.Rows(), 2);
    EXPECT_EQ(noHeader.FixedRows(), 1);
    EXPECT_EQ(noHeader.TextMatrix(0, 6), test::LogComment(0));
}
