#pragma once

#include "StdFont.h"

#include <string>

namespace mallow {

/// Units of a surface's scale. Lengths handed to and read from a surface are in its current
/// scale mode; text is always drawn in device pixels.
namespace scale {
inline constexpr int User = 0;
inline constexpr int Twips = 1;
inline constexpr int Points = 2;
inline constexpr int Pixels = 3;
inline constexpr int Characters = 4;
inline constexpr int Inches = 5;
inline constexpr int Millimeters = 6;
inline constexpr int Centimeters = 7;
inline constexpr int HiMetric = 8;
} // namespace scale

/// A rectangle in device pixels; right and bottom lie just outside it.
struct RECT
{
    long left = 0;
    long top = 0;
    long right = 0;
    long bottom = 0;
};

/// Flags of DrawTextA.
inline constexpr unsigned DT_LEFT = 0x0;
inline constexpr unsigned DT_CENTER = 0x1;
inline constexpr unsigned DT_RIGHT = 0x2;
inline constexpr unsigned DT_CALCRECT = 0x400;
inline constexpr unsigned DT_NOPREFIX = 0x800;

/// Where a surface draws text.
class DeviceContext
{
public:
    virtual ~DeviceContext() = default;
    /// Draws `text` (lines split at line breaks) inside `rect`, clipped to it, aligned by the
    /// DT_ flags. With DT_CALCRECT nothing is drawn: `rect` keeps its left and top and gets the
    /// text's extent. Returns the text's height in pixels.
    virtual int DrawText(const std::string& text, RECT& rect, unsigned flags) = 0;
};

/// Text drawing on a device context; `count` -1 takes the whole text.
int DrawTextA(DeviceContext& hDC, const std::string& text, long count, RECT& rect, unsigned flags);

/// What the table printer draws on: a printer, a PDF file or a recording. Every length is in
/// the current scale mode (twips unless set otherwise); the vertical position CurrentY counts
/// from the top of the printable area.
class OutputSurface
{
public:
    virtual ~OutputSurface() = default;

    virtual FontObject Font() const = 0;
    /// Selects a font; a font that was never set (a null object) raises error 91.
    virtual void SetFont(const FontObject& font) = 0;
    /// Height of `text` in the current font; an empty text is one line high.
    virtual double TextHeight(const std::string& text) = 0;

    virtual int ScaleMode() const = 0;
    virtual void SetScaleMode(int mode) = 0;
    /// Converts a width (ScaleX) or a height (ScaleY) from one scale mode into another.
    virtual double ScaleX(double width, int fromScale, int toScale) const = 0;
    virtual double ScaleY(double height, int fromScale, int toScale) const = 0;
    virtual double ScaleWidth() const = 0;
    virtual double ScaleHeight() const = 0;

    virtual double CurrentY() const = 0;
    virtual void SetCurrentY(double y) = 0;

    /// Pen width in pixels.
    virtual int DrawWidth() const = 0;
    virtual void SetDrawWidth(int pixels) = 0;
    /// 0 fills boxes, 1 leaves them transparent.
    virtual int FillStyle() const = 0;
    virtual void SetFillStyle(int style) = 0;

    /// A line between two points, or with `box` the outline of the rectangle they span, in the
    /// fore colour.
    virtual void Line(double x1, double y1, double x2, double y2, bool box = false) = 0;
    virtual void PaintPicture(const StdPicture& picture, double x, double y, double width,
                              double height) = 0;
    virtual DeviceContext& hDC() = 0;
    /// Ends the page and starts the next one at the top.
    virtual void NewPage() = 0;
};

/// The part every surface shares: scale modes, the vertical position, pen and font state, kept
/// in twips and converted through the device's resolution. A surface adds its device pixels.
class SurfaceBase : public OutputSurface, public DeviceContext
{
public:
    FontObject Font() const override { return font; }
    void SetFont(const FontObject& newFont) override;
    double TextHeight(const std::string& text) override;

    int ScaleMode() const override { return mode; }
    void SetScaleMode(int newMode) override;
    double ScaleX(double width, int fromScale, int toScale) const override;
    double ScaleY(double height, int fromScale, int toScale) const override;
    double ScaleWidth() const override;
    double ScaleHeight() const override;

    double CurrentY() const override;
    void SetCurrentY(double y) override;

    int DrawWidth() const override { return drawWidth; }
    void SetDrawWidth(int pixels) override;
    int FillStyle() const override { return fillStyle; }
    void SetFillStyle(int style) override { fillStyle = style; }

    void Line(double x1, double y1, double x2, double y2, bool box = false) override;
    void PaintPicture(const StdPicture& picture, double x, double y, double width,
                      double height) override;
    DeviceContext& hDC() override { return *this; }
    /// Ends the page; the next one starts with the position at its top.
    void NewPage() override;

    /// Writes one line of text at the left edge and the current position, and moves the
    /// position below it. Printing an empty line starts a print job.
    void Print(const std::string& text);

protected:
    /// Page size (printable area) in twips and the device's resolution in twips per pixel.
    SurfaceBase(double pageWidthTwips, double pageHeightTwips, double twipsPerPixelX,
                double twipsPerPixelY);

    virtual void DeviceSelectFont(const FontObject& font) = 0;
    virtual double DeviceTextHeight(const std::string& text) = 0; ///< pixels
    virtual void DeviceLine(double x1, double y1, double x2, double y2, bool box,
                            bool filled) = 0; ///< pixels, pen DrawWidth()
    virtual void DevicePaintPicture(const StdPicture& picture, double x, double y, double width,
                                    double height) = 0; ///< pixels
    virtual void DeviceNewPage() = 0;

private:
    double TwipsPerUnitX(int scaleMode) const;
    double TwipsPerUnitY(int scaleMode) const;

    double pageWidth;
    double pageHeight;
    double twipsPerPixelX;
    double twipsPerPixelY;
    FontObject font;
    int mode = scale::Twips;
    double currentYTwips = 0;
    int drawWidth = 1;
    int fillStyle = 1;
};

} // namespace mallow
