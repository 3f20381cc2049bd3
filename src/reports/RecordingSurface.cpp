#include "RecordingSurface.h"

#include <algorithm>
#include <cmath>

namespace mallow {

int TextLineCount(const std::string& text)
{
    int lines = 1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        if (text[i] == '\n' || text[i] == '\r')
            ++lines;
    }
    return lines;
}

RecordingSurface::RecordingSurface(double pageWidthTwips, double pageHeightTwips,
                                   double twipsPerPixel)
    : SurfaceBase(pageWidthTwips, pageHeightTwips, twipsPerPixel, twipsPerPixel),
      twipsPerPixel(twipsPerPixel)
{
    SetFont(std::make_shared<StdFont>());
    calls.clear();
}

void RecordingSurface::DeviceSelectFont(const FontObject& font)
{
    size = font->Size;
    Call call;
    call.kind = Kind::Font;
    call.page = page;
    call.font = font;
    calls.push_back(std::move(call));
}

double RecordingSurface::DeviceTextHeight(const std::string& text)
{
    return TextLineCount(text) * size * 24 / twipsPerPixel;
}

int RecordingSurface::DrawText(const std::string& text, RECT& rect, unsigned flags)
{
    const long height = std::lround(std::ceil(DeviceTextHeight(text)));
    if (flags & DT_CALCRECT) {
        std::size_t longest = 0;
        std::size_t current = 0;
        for (char ch : text) {
            if (ch == '\n' || ch == '\r') {
                current = 0;
                continue;
            }
            longest = std::max(longest, ++current);
        }
        rect.right = rect.left + std::lround(std::ceil(longest * size * 12 / twipsPerPixel));
        rect.bottom = rect.top + height;
        return static_cast<int>(height);
    }
    Call call;
    call.kind = Kind::Text;
    call.page = page;
    call.font = Font();
    call.rect = rect;
    call.flags = flags;
    call.text = text;
    calls.push_back(std::move(call));
    return static_cast<int>(height);
}

void RecordingSurface::DeviceLine(double x1, double y1, double x2, double y2, bool box, bool)
{
    Call call;
    call.kind = box ? Kind::Box : Kind::Line;
    call.page = page;
    call.x1 = x1;
    call.y1 = y1;
    call.x2 = x2;
    call.y2 = y2;
    call.drawWidth = DrawWidth();
    calls.push_back(call);
}

void RecordingSurface::DevicePaintPicture(const StdPicture& picture, double x, double y,
                                          double width, double height)
{
    Call call;
    call.kind = Kind::Picture;
    call.page = page;
    call.x1 = x;
    call.y1 = y;
    call.x2 = width;
    call.y2 = height;
    call.picture = &picture;
    calls.push_back(call);
}

void RecordingSurface::DeviceNewPage()
{
    Call call;
    call.kind = Kind::PageBreak;
    call.page = page;
    calls.push_back(call);
    ++page;
}

std::vector<std::string> RecordingSurface::Texts(int onPage) const
{
    std::vector<std::string> texts;
    for (const Call& call : calls)
        if (call.kind == Kind::Text && (onPage == 0 || call.page == onPage))
            texts.push_back(call.text);
    return texts;
}

int RecordingSurface::FontSwitches() const
{
    return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                          [](const Call& c) { return c.kind == Kind::Font; }));
}

} // namespace mallow
