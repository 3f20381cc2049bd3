// "Print Results" of 10,000 log rows into a PDF file against Qt's own way of printing a
// table: the same rows as an HTML table in a QTextDocument, header repeated on every page,
// printed into a PDF file on the same page size.

#include "LogGrid.h"

#include "reports/PrintResults.h"
#include "reports/clsTablePrint.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QTextDocument>

#include <benchmark/benchmark.h>

using namespace mallow;

namespace {

constexpr int LogRows = 10000;

QTableWidget& Grid()
{
    static const auto grid = test::MakeCompactLogGrid(LogRows);
    return *grid;
}

QString OutputFile(const char* name)
{
    // Beside the program folder, inside the build folder.
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/.."))
        .filePath(QStringLiteral("bench-print-%1-%2.pdf")
                      .arg(QCoreApplication::applicationPid())
                      .arg(QLatin1String(name)));
}

// Pages per second, and seconds per page (shown in the unit of the row's time).
void ReportPages(benchmark::State& state, int pages)
{
    state.counters["pages"] = pages;
    state.counters["pages_per_s"] =
        benchmark::Counter(pages, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["s_per_page"] = benchmark::Counter(
        pages, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

int PdfPageCount(const QString& path)
{
    // Every page of a PDF has one "/Type /Page" object; "/Type /Pages" is the tree.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray data = file.readAll();
    return static_cast<int>(data.count("/Type /Page\n") + data.count("/Type /Page\r") +
                            data.count("/Type /Page/") + data.count("/Type /Page>"));
}

void BM_PrintResults10000Rows(benchmark::State& state)
{
    QTableWidget& grid = Grid();
    const QString path = OutputFile("mallow");
    for (auto _ : state) {
        clsTablePrint table;
        PrintResultsGrid(table, grid, {true, path.toStdString()});
    }
    ReportPages(state, PdfPageCount(path));
    QFile::remove(path);
}
BENCHMARK(BM_PrintResults10000Rows)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

QString HtmlOf(const QTableWidget& grid)
{
    QString html;
    html.reserve(grid.rowCount() * 200);
    html += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"2\" width=\"100%\">"
                           "<thead><tr>");
    for (int c = 1; c < grid.columnCount(); ++c)
        html += QStringLiteral("<th>") + grid.horizontalHeaderItem(c)->text().toHtmlEscaped() +
                QStringLiteral("</th>");
    html += QStringLiteral("</tr></thead>");
    for (int r = 0; r < grid.rowCount(); ++r) {
        html += QStringLiteral("<tr>");
        for (int c = 1; c < grid.columnCount(); ++c)
            html += QStringLiteral("<td>") + grid.item(r, c)->text().toHtmlEscaped() +
                    QStringLiteral("</td>");
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

void BM_QTextDocumentHtml10000Rows(benchmark::State& state)
{
    QTableWidget& grid = Grid();
    const QString path = OutputFile("qtextdocument");
    for (auto _ : state) {
        QPrinter printer(QPrinter::HighResolution);
        SetUpPrinter(printer, {true, path.toStdString()});
        QTextDocument document;
        document.setDefaultFont(grid.font());
        document.setHtml(HtmlOf(grid));
        document.print(&printer);
    }
    ReportPages(state, PdfPageCount(path));
    QFile::remove(path);
}
BENCHMARK(BM_QTextDocumentHtml10000Rows)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    ::benchmark::Initialize(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    return 0;
}
