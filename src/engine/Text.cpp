#include "Text.h"

#include <vector>

namespace mallow::engine::text {

char32_t FoldCase(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 32;
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A pairs capitals with the next code point, except in two runs that
        // start on an odd code point.
        const bool oddRun = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        if (c == 0x178)
            return 0xFF;
        if (oddRun)
            return (c % 2 == 1) ? c + 1 : c;
        return (c % 2 == 0) ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return c + 32;
    if (c >= 0x410 && c <= 0x42F)
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    return c;
}

namespace {

// Reads one code point at `at`, advancing it; malformed input yields the byte itself.
char32_t Next(std::string_view s, std::size_t& at)
{
    const auto b0 = static_cast<unsigned char>(s[at]);
    if (b0 < 0x80) {
        ++at;
        return b0;
    }
    int length = 0;
    char32_t c = 0;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2;
        c = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3;
        c = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4;
        c = b0 & 0x07;
    }
    if (length == 0 || at + length > s.size()) {
        ++at;
        return b0;
    }
    for (int i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(s[at + i]);
        if ((b & 0xC0) != 0x80) {
            ++at;
            return b0;
        }
        c = (c << 6) | (b & 0x3F);
    }
    at += length;
    return c;
}

} // namespace

std::u32string Decode(std::string_view utf8)
{
    std::u32string result;
    result.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();)
        result.push_back(Next(utf8, at));
    return result;
}

std::size_t CharCount(std::string_view utf8)
{
    std::size_t count = 0;
    for (std::size_t at = 0; at < utf8.size(); ++count)
        Next(utf8, at);
    return count;
}

int CompareNoCase(std::string_view a, std::string_view b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t ca = FoldCase(Next(a, i));
        const char32_t cb = FoldCase(Next(b, j));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return CompareNoCase(a, b) == 0;
}

bool Like(std::string_view value, std::string_view pattern, char32_t escape, bool starIsWildcard)
{
    struct PatternChar
    {
        char32_t c;
        enum Kind { Literal, Any, One } kind;
    };
    std::vector<PatternChar> p;
    const std::u32string raw = Decode(pattern);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char32_t c = raw[i];
        if (escape != 0 && c == escape && i + 1 < raw.size())
            p.push_back({FoldCase(raw[++i]), PatternChar::Literal});
        else if (c == U'%' || (starIsWildcard && c == U'*'))
            p.push_back({0, PatternChar::Any});
        else if (c == U'_')
            p.push_back({0, PatternChar::One});
        else
            p.push_back({FoldCase(c), PatternChar::Literal});
    }
    std::u32string v = Decode(value);
    for (char32_t& c : v)
        c = FoldCase(c);

    // Greedy matching that falls back to the last `%` seen: linear in practice, never
    // exponential.
    std::size_t vi = 0;
    std::size_t pi = 0;
    std::size_t starP = std::u32string::npos;
    std::size_t starV = 0;
    while (vi < v.size()) {
        if (pi < p.size() && p[pi].kind == PatternChar::Any) {
            starP = pi++;
            starV = vi;
        } else if (pi < p.size() && (p[pi].kind == PatternChar::One || p[pi].c == v[vi])) {
            ++pi;
            ++vi;
        } else if (starP != std::u32string::npos) {
            pi = starP + 1;
            vi = ++starV;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi].kind == PatternChar::Any)
        ++pi;
    return pi == p.size();
}

} // namespace mallow::engine::text
