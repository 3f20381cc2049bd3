#pragma once

#include "OutputSurface.h"

#include <string>
#include <vector>

namespace mallow {

/// A surface that draws nothing and records every drawing call with its page, in device
/// pixels. Its text metrics are simple and exact: a line of a font of size S points is S x 24
/// twips high, and each character is S x 12 twips wide.
class RecordingSurface : public SurfaceBase
{
public:
    enum class Kind { Font, Line, Box, Text, Picture, PageBreak };

    struct Call
    {
        Kind kind = Kind::Line;
        int page = 0;
        FontObject font;       ///< Font: the font selected; Text: the font in use
        double x1 = 0, y1 = 0; ///< Line, Box, Picture (pixels)
        double x2 = 0, y2 = 0; ///< Line, Box; Picture: width and height
        int drawWidth = 0;     ///< Line, Box
        RECT rect;             ///< Text: the rectangle it was drawn into
        unsigned flags = 0;    ///< Text
        std::string text;      ///< Text
        const StdPicture* picture = nullptr;
    };

    /// A letter-size page of 12240 x 15840 twips at 15 twips per pixel unless told otherwise.
    explicit RecordingSurface(double pageWidthTwips = 12240, double pageHeightTwips = 15840,
                              double twipsPerPixel = 15);

    int DrawText(const std::string& text, RECT& rect, unsigned flags) override;

    const std::vector<Call>& Calls() const { return calls; }
    /// Number of the page being drawn, from 1.
    int Page() const { return page; }
    /// The texts drawn, in order, optionally only those of one page.
    std::vector<std::string> Texts(int onPage = 0) const;
    /// How many times a font was selected (the switches DrawTable asked for).
    int FontSwitches() const;
    void Clear() { calls.clear(); }

protected:
    void DeviceSelectFont(const FontObject& font) override;
    double DeviceTextHeight(const std::string& text) override;
    void DeviceLine(double x1, double y1, double x2, double y2, bool box, bool filled) override;
    void DevicePaintPicture(const StdPicture& picture, double x, double y, double width,
                            double height) override;
    void DeviceNewPage() override;

private:
    double twipsPerPixel;
    double size = 0;
    std::vector<Call> calls;
    int page = 1;
};

/// Number of lines of a text: line breaks are "\r\n", "\n" or "\r".
int TextLineCount(const std::string& text);

} // namespace mallow
