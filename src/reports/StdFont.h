#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mallow {

/// A font object: what a surface needs to select a font. Tables hold fonts by shared pointer,
/// and two cells use "the same font" only when they hold the same object, so that drawing can
/// skip a switch by comparing pointers.
struct StdFont
{
    std::string Name = "Arial";
    double Size = 8.25; ///< points
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Strikethrough = false;

    bool SameLook(const StdFont& other) const
    {
        return Name == other.Name && Size == other.Size && Bold == other.Bold &&
               Italic == other.Italic && Underline == other.Underline &&
               Strikethrough == other.Strikethrough;
    }
};
using FontObject = std::shared_ptr<const StdFont>;

/// A picture object: its size in HiMetric (hundredths of a millimetre), a handle that is 0 for
/// an empty picture, and its pixels (32-bit ARGB, row after row) for the surface to paint.
struct StdPicture
{
    std::uint64_t Handle = 0;
    double Width = 0;  ///< HiMetric
    double Height = 0; ///< HiMetric
    int PixelWidth = 0;
    int PixelHeight = 0;
    std::vector<std::uint32_t> Pixels;
};
using PictureObject = std::shared_ptr<const StdPicture>;

} // namespace mallow
