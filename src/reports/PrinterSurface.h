#pragma once

#include "OutputSurface.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

class QPrinter;

namespace mallow {

/// The printer as an output surface: a Qt printer, which prints on a CUPS printer or into a
/// PDF file. The page is the printer's printable area; the print job starts with the first
/// thing drawn (printing an empty line starts it) and ends with EndDoc.
class PrinterSurface : public SurfaceBase
{
public:
    explicit PrinterSurface(QPrinter& printer);
    ~PrinterSurface() override;
    PrinterSurface(const PrinterSurface&) = delete;
    PrinterSurface& operator=(const PrinterSurface&) = delete;

    int DrawText(const std::string& text, RECT& rect, unsigned flags) override;

    /// Ends the print job; error 482 when the printer did not take it.
    void EndDoc();
    /// Withdraws the print job, as far as the printer allows.
    void KillDoc();
    bool JobStarted() const { return started; }

protected:
    void DeviceSelectFont(const FontObject& font) override;
    double DeviceTextHeight(const std::string& text) override;
    void DeviceLine(double x1, double y1, double x2, double y2, bool box, bool filled) override;
    void DevicePaintPicture(const StdPicture& picture, double x, double y, double width,
                            double height) override;
    void DeviceNewPage() override;

private:
    void Begin();
    void UsePen();

    QPrinter& printer;
    QPainter painter;
    QFont font;
    QFontMetricsF metrics;
    bool started = false;
    int penWidth = 0;
};

} // namespace mallow
