#include "OutputSurface.h"

#include "util/MallowError.h"

#include <algorithm>

namespace mallow {

namespace {

constexpr long InvalidPropertyValue = 380;
constexpr long InvalidProcedureCall = 5;

} // namespace

int DrawTextA(DeviceContext& hDC, const std::string& text, long count, RECT& rect, unsigned flags)
{
    if (count < 0 || static_cast<std::size_t>(count) >= text.size())
        return hDC.DrawText(text, rect, flags);
    return hDC.DrawText(text.substr(0, static_cast<std::size_t>(count)), rect, flags);
}

SurfaceBase::SurfaceBase(double pageWidthTwips, double pageHeightTwips, double twipsPerPixelX,
                         double twipsPerPixelY)
    : pageWidth(pageWidthTwips), pageHeight(pageHeightTwips), twipsPerPixelX(twipsPerPixelX),
      twipsPerPixelY(twipsPerPixelY)
{
}

void SurfaceBase::SetFont(const FontObject& newFont)
{
    if (!newFont)
        RaiseRuntimeError(91, "Font");
    DeviceSelectFont(newFont);
    font = newFont;
}

double SurfaceBase::TextHeight(const std::string& text)
{
    if (!font)
        RaiseRuntimeError(91, "TextHeight");
    return DeviceTextHeight(text) * twipsPerPixelY / TwipsPerUnitY(mode);
}

void SurfaceBase::SetScaleMode(int newMode)
{
    if (newMode < scale::Twips || newMode > scale::HiMetric)
        throw MallowError(InvalidPropertyValue, "ScaleMode", "Invalid property value");
    mode = newMode;
}

double SurfaceBase::TwipsPerUnitX(int scaleMode) const
{
    switch (scaleMode) {
    case scale::Twips:
        return 1;
    case scale::Points:
        return 20;
    case scale::Pixels:
        return twipsPerPixelX;
    case scale::Characters:
        return 120;
    case scale::Inches:
        return 1440;
    case scale::Millimeters:
        return 1440 / 25.4;
    case scale::Centimeters:
        return 1440 / 2.54;
    case scale::HiMetric:
        return 1440 / 2540.0;
    default:
        RaiseRuntimeError(InvalidProcedureCall, "ScaleX");
    }
}

double SurfaceBase::TwipsPerUnitY(int scaleMode) const
{
    if (scaleMode == scale::Pixels)
        return twipsPerPixelY;
    if (scaleMode == scale::Characters)
        return 240;
    return TwipsPerUnitX(scaleMode);
}

double SurfaceBase::ScaleX(double width, int fromScale, int toScale) const
{
    return width * TwipsPerUnitX(fromScale) / TwipsPerUnitX(toScale);
}

double SurfaceBase::ScaleY(double height, int fromScale, int toScale) const
{
    return height * TwipsPerUnitY(fromScale) / TwipsPerUnitY(toScale);
}

double SurfaceBase::ScaleWidth() const
{
    return pageWidth / TwipsPerUnitX(mode);
}

double SurfaceBase::ScaleHeight() const
{
    return pageHeight / TwipsPerUnitY(mode);
}

double SurfaceBase::CurrentY() const
{
    return currentYTwips / TwipsPerUnitY(mode);
}

void SurfaceBase::SetCurrentY(double y)
{
    currentYTwips = y * TwipsPerUnitY(mode);
}

void SurfaceBase::SetDrawWidth(int pixels)
{
    if (pixels < 1)
        throw MallowError(InvalidPropertyValue, "DrawWidth", "Invalid property value");
    drawWidth = pixels;
}

void SurfaceBase::Line(double x1, double y1, double x2, double y2, bool box)
{
    const double fx = TwipsPerUnitX(mode) / twipsPerPixelX;
    const double fy = TwipsPerUnitY(mode) / twipsPerPixelY;
    DeviceLine(x1 * fx, y1 * fy, x2 * fx, y2 * fy, box, box && fillStyle == 0);
}

void SurfaceBase::PaintPicture(const StdPicture& picture, double x, double y, double width,
                               double height)
{
    const double fx = TwipsPerUnitX(mode) / twipsPerPixelX;
    const double fy = TwipsPerUnitY(mode) / twipsPerPixelY;
    DevicePaintPicture(picture, x * fx, y * fy, width * fx, height * fy);
}

void SurfaceBase::NewPage()
{
    DeviceNewPage();
    currentYTwips = 0;
}

void SurfaceBase::Print(const std::string& text)
{
    if (!font)
        RaiseRuntimeError(91, "Print");
    const double top = currentYTwips / twipsPerPixelY;
    const double height = DeviceTextHeight(text);
    RECT rect{0, static_cast<long>(top), static_cast<long>(pageWidth / twipsPerPixelX),
              static_cast<long>(top + height + 1)};
    DrawText(text, rect, DT_LEFT | DT_NOPREFIX);
    currentYTwips += height * twipsPerPixelY;
}

} // namespace mallow
