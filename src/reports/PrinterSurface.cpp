#include "PrinterSurface.h"

#include "RecordingSurface.h"
#include "util/MallowError.h"

#include <QImage>
#include <QPrinter>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace mallow {

namespace {

constexpr long PrinterError = 482;

double TwipsPerPixel(const QPrinter& printer)
{
    return 1440.0 / printer.resolution();
}

QStringList Lines(const std::string& text)
{
    QString all = QString::fromUtf8(text);
    all.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    all.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return all.split(QLatin1Char('\n'));
}

QFont QtFont(const StdFont& font)
{
    QFont qt(QString::fromStdString(font.Name));
    qt.setPointSizeF(font.Size > 0 ? font.Size : 1);
    qt.setBold(font.Bold);
    qt.setItalic(font.Italic);
    qt.setUnderline(font.Underline);
    qt.setStrikeOut(font.Strikethrough);
    return qt;
}

} // namespace

PrinterSurface::PrinterSurface(QPrinter& printer)
    : SurfaceBase(printer.pageRect(QPrinter::DevicePixel).width() * TwipsPerPixel(printer),
                  printer.pageRect(QPrinter::DevicePixel).height() * TwipsPerPixel(printer),
                  TwipsPerPixel(printer), TwipsPerPixel(printer)),
      printer(printer), metrics(QFont(), &printer)
{
    SetFont(std::make_shared<StdFont>());
}

PrinterSurface::~PrinterSurface()
{
    if (started)
        painter.end();
}

void PrinterSurface::Begin()
{
    if (started)
        return;
    if (!painter.begin(&printer)) {
        if (printer.outputFormat() == QPrinter::PdfFormat)
            throw MallowError(err::PathFileAccess, "Printer",
                              "The PDF file '" + printer.outputFileName().toStdString() +
                                  "' could not be written.");
        throw MallowError(PrinterError, "Printer", "Printer error");
    }
    started = true;
    painter.setFont(font);
    penWidth = 0;
}

void PrinterSurface::EndDoc()
{
    if (!started)
        return;
    started = false;
    if (!painter.end())
        throw MallowError(PrinterError, "Printer", "Printer error");
}

void PrinterSurface::KillDoc()
{
    if (!started)
        return;
    started = false;
    printer.abort();
    if (painter.isActive())
        painter.end();
}

void PrinterSurface::DeviceSelectFont(const FontObject& newFont)
{
    font = QtFont(*newFont);
    metrics = QFontMetricsF(font, &printer);
    if (started)
        painter.setFont(font);
}

double PrinterSurface::DeviceTextHeight(const std::string& text)
{
    return metrics.height() + (TextLineCount(text) - 1) * metrics.lineSpacing();
}

int PrinterSurface::DrawText(const std::string& text, RECT& rect, unsigned flags)
{
    const QStringList lines = Lines(text);
    const double height = metrics.height() + (lines.size() - 1) * metrics.lineSpacing();
    const int heightPx = static_cast<int>(std::ceil(height));
    if (flags & DT_CALCRECT) {
        double width = 0;
        for (const QString& line : lines)
            width = std::max(width, metrics.horizontalAdvance(line));
        rect.right = rect.left + static_cast<long>(std::ceil(width));
        rect.bottom = rect.top + heightPx;
        return heightPx;
    }
    Begin();
    const QRectF box(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    if (box.width() <= 0 || box.height() <= 0 || lines.join(QString()).isEmpty())
        return heightPx; // nothing shows in an empty rectangle
    std::vector<double> widths;
    bool clip = height > box.height();
    for (const QString& line : lines) {
        widths.push_back(metrics.horizontalAdvance(line));
        clip = clip || widths.back() > box.width();
    }
    // Text stays inside its rectangle; clipping is set only where it would stick out.
    if (clip)
        painter.setClipRect(box);
    double baseline = box.top() + metrics.ascent();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const double width = widths[static_cast<std::size_t>(i)];
        double x = box.left();
        if (flags & DT_RIGHT)
            x = box.right() - width;
        else if (flags & DT_CENTER)
            x = box.left() + (box.width() - width) / 2;
        painter.drawText(QPointF(x, baseline), lines[i]);
        baseline += metrics.lineSpacing();
    }
    if (clip)
        painter.setClipping(false);
    return heightPx;
}

void PrinterSurface::UsePen()
{
    if (penWidth == DrawWidth())
        return;
    penWidth = DrawWidth();
    painter.setPen(QPen(Qt::black, penWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
}

void PrinterSurface::DeviceLine(double x1, double y1, double x2, double y2, bool box, bool filled)
{
    Begin();
    UsePen();
    if (!box) {
        painter.drawLine(QPointF(x1, y1), QPointF(x2, y2));
        return;
    }
    painter.setBrush(filled ? QBrush(Qt::black) : QBrush(Qt::NoBrush));
    painter.drawRect(QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized());
}

void PrinterSurface::DevicePaintPicture(const StdPicture& picture, double x, double y, double width,
                                        double height)
{
    if (picture.PixelWidth <= 0 || picture.PixelHeight <= 0 ||
        picture.Pixels.size() < static_cast<std::size_t>(picture.PixelWidth) *
                                    static_cast<std::size_t>(picture.PixelHeight))
        return;
    Begin();
    const QImage image(reinterpret_cast<const uchar*>(picture.Pixels.data()), picture.PixelWidth,
                       picture.PixelHeight, QImage::Format_ARGB32);
    painter.drawImage(QRectF(x, y, width, height), image);
}

void PrinterSurface::DeviceNewPage()
{
    Begin();
    if (!printer.newPage())
        throw MallowError(PrinterError, "Printer", "Printer error");
}

} // namespace mallow
