// Prints a results grid of log rows into a PDF file, as "Print Results" does:
//   print_driver ROWS OUT.pdf
// The picture of a printed log under docs/ is the first page of its output for 500 rows.

#include "LogGrid.h"

#include "reports/PrintResults.h"
#include "reports/clsTablePrint.h"
#include "util/MallowError.h"

#include <QApplication>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ROWS OUT.pdf\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto grid = mallow::test::MakeCompactLogGrid(std::stoi(argv[1]));
    mallow::clsTablePrint table;
    try {
        mallow::PrintResultsGrid(table, *grid, {true, argv[2]});
    } catch (const mallow::MallowError& e) {
        std::fprintf(stderr, "%s\n", e.Description().c_str());
        return 1;
    }
    return 0;
}
