#include "PrintResults.h"

#include "PrinterSurface.h"
#include "TableWidgetGrid.h"
#include "clsTablePrint.h"
#include "mdlTPHelper.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMarginsF>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

namespace mallow {

namespace {

// Twips: 1134 is 2 cm, the width the left and right margins take together; 567 is 1 cm.
constexpr double BothSideMargins = 1134;
constexpr double Margin = 567;

QString NewPdfPath(const std::string& folder)
{
    const QDir dir(QString::fromStdString(folder));
    const QString stem =
        QStringLiteral("Mallow results ") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh.mm.ss"));
    QString path = dir.filePath(stem + QStringLiteral(".pdf"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(stem + QStringLiteral(" (%1).pdf").arg(n));
    return path;
}

} // namespace

PrintDestination DefaultPrintDestination(const std::string& pdfFolder)
{
    QString printer = QPrinterInfo::defaultPrinterName();
    if (printer.isEmpty()) {
        const QStringList printers = QPrinterInfo::availablePrinterNames();
        if (!printers.isEmpty())
            printer = printers.first();
    }
    if (!printer.isEmpty())
        return {false, printer.toStdString()};
    return {true, NewPdfPath(pdfFolder).toStdString()};
}

std::string DefaultPdfFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents.toStdString();
    return QDir::homePath().toStdString();
}

void SetUpPrinter(QPrinter& printer, const PrintDestination& destination)
{
    printer.setDocName(QStringLiteral("Mallow results"));
    printer.setCreator(QStringLiteral("Mallow"));
    if (destination.pdf) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(destination.name));
        // A file has no unprintable edge: the table's own margins are the page's.
        printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    } else {
        printer.setPrinterName(QString::fromStdString(destination.name));
    }
}

PrintDestination PrintResultsGrid(clsTablePrint& table, const QTableWidget& grid,
                                  const PrintDestination& destination)
{
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer, destination);

    PrinterSurface surface(printer);
    try {
        surface.Print("");
        TableWidgetGrid source(grid);
        mdlTPHelper::ImportFlexGrid(table, source, surface.ScaleWidth() - BothSideMargins);
        table.SetMarginBottom(Margin);
        table.SetMarginLeft(Margin);
        table.SetMarginTop(Margin);
        surface.SetCurrentY(table.MarginTop());
        table.DrawTable(surface, 0, 1);
        surface.EndDoc();
    } catch (...) {
        surface.KillDoc();
        if (destination.pdf)
            QFile::remove(QString::fromStdString(destination.name));
        throw;
    }
    return destination;
}

std::string PrintedToPdfText(const std::string& path)
{
    return "There is no printer on this system. The results were saved as a PDF file:\r\n" + path;
}

} // namespace mallow
