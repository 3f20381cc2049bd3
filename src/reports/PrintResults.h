#pragma once

#include <string>

class QPrinter;
class QTableWidget;

namespace mallow {

class clsTablePrint;

/// Where a print job goes: a printer by name, or a PDF file by path.
struct PrintDestination
{
    bool pdf = false;
    std::string name;
};

/// The system's default printer (the first printer when none is the default); when the system
/// has no printer at all, a new PDF file in `pdfFolder`, named after the current time.
PrintDestination DefaultPrintDestination(const std::string& pdfFolder);

/// The user's documents folder when there is one, otherwise the home folder.
std::string DefaultPdfFolder();

/// Points a printer at the destination: a named printer, or a PDF file whose page has no
/// unprintable edge.
void SetUpPrinter(QPrinter& printer, const PrintDestination& destination);

/// "Print Results": opens the print job with an empty line, imports `grid` into `table` fitted
/// to the page width less 2 cm, sets 1 cm margins at the left, top and bottom, and draws the
/// table from its first row on page 1. Returns where the job went. On an error the job is
/// withdrawn (a PDF file is removed) and the error reaches the caller.
PrintDestination PrintResultsGrid(clsTablePrint& table, const QTableWidget& grid,
                                  const PrintDestination& destination);

/// What the window tells the user after printing into a PDF file.
std::string PrintedToPdfText(const std::string& path);

} // namespace mallow
