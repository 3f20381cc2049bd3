#include "platform/MessageTable.h"

#include "platform/Utf16.h"

namespace mallow::platform {

namespace {

std::uint32_t U32(std::span<const std::uint8_t> image, std::size_t at)
{
    return std::uint32_t(image[at]) | std::uint32_t(image[at + 1]) << 8 |
           std::uint32_t(image[at + 2]) << 16 | std::uint32_t(image[at + 3]) << 24;
}

std::uint16_t U16(std::span<const std::uint8_t> image, std::size_t at)
{
    return static_cast<std::uint16_t>(image[at] | image[at + 1] << 8);
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void Put16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// Windows-1252 bytes 0x80 to 0x9F; the others map to the same code point.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

std::string MessageTableText(std::span<const std::uint8_t> image, std::uint32_t code)
{
    const std::uint64_t size = image.size();
    if (size <= 4)
        return {};
    const std::uint32_t blocks = U32(image, 0);
    for (std::uint64_t i = 0; i < blocks; ++i) {
        const std::uint64_t blockAt = 4 + 12 * i;
        if (size <= blockAt + 12)
            return {};
        const std::uint32_t lowest = U32(image, blockAt);
        const std::uint32_t highest = U32(image, blockAt + 4);
        if (code < lowest || code > highest)
            continue;
        std::uint64_t entryAt = U32(image, blockAt + 8);
        for (std::uint64_t id = lowest;; ++id) {
            if (size <= entryAt + 8)
                return {};
            const std::uint16_t length = U16(image, entryAt);
            const std::uint16_t flags = U16(image, entryAt + 2);
            if (id == code) {
                // The text ends at its NUL, at the end of the entry or of the image.
                const std::uint64_t end = std::min<std::uint64_t>(size, entryAt + length);
                std::u16string text;
                if (flags != 0) {
                    for (std::uint64_t at = entryAt + 4; at + 1 < end; at += 2) {
                        const char16_t c = U16(image, at);
                        if (c == 0)
                            break;
                        text += c;
                    }
                } else {
                    for (std::uint64_t at = entryAt + 4; at < end && image[at] != 0; ++at) {
                        const std::uint8_t b = image[at];
                        text += (b >= 0x80 && b < 0xA0) ? Cp1252High[b - 0x80] : char16_t(b);
                    }
                }
                return ToUtf8(text);
            }
            // An entry shorter than its own header would never move the walk forward.
            if (length < 4)
                return {};
            entryAt += length;
        }
    }
    return {};
}

std::vector<std::uint8_t> BuildMessageTableImage(std::span<const MessageEntry> entries,
                                                 bool unicode)
{
    struct Run
    {
        std::size_t first;
        std::size_t count;
    };
    std::vector<Run> runs;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!runs.empty() && entries[i].id == entries[i - 1].id + 1)
            ++runs.back().count;
        else
            runs.push_back({i, 1});
    }

    std::vector<std::uint8_t> body;
    std::vector<std::uint32_t> offsets;
    const std::size_t headerSize = 4 + 12 * runs.size();
    for (const Run& run : runs) {
        offsets.push_back(static_cast<std::uint32_t>(headerSize + body.size()));
        for (std::size_t i = run.first; i < run.first + run.count; ++i) {
            std::vector<std::uint8_t> text;
            if (unicode) {
                for (char16_t c : ToUtf16(entries[i].text))
                    Put16(text, c);
                Put16(text, 0);
            } else {
                text.assign(entries[i].text.begin(), entries[i].text.end());
                text.push_back(0);
            }
            while ((text.size() + 4) % 4)
                text.push_back(0);
            Put16(body, static_cast<std::uint16_t>(text.size() + 4));
            Put16(body, unicode ? 1 : 0);
            body.insert(body.end(), text.begin(), text.end());
        }
    }

    std::vector<std::uint8_t> image;
    Put32(image, static_cast<std::uint32_t>(runs.size()));
    for (std::size_t r = 0; r < runs.size(); ++r) {
        Put32(image, entries[runs[r].first].id);
        Put32(image, entries[runs[r].first + runs[r].count - 1].id);
        Put32(image, offsets[r]);
    }
    image.insert(image.end(), body.begin(), body.end());
    return image;
}

} // namespace mallow::platform
