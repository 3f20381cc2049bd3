#pragma once

#include <string>
#include <string_view>

namespace mallow::engine::text {

/// The lower-case partner of a code point for comparisons that ignore case: ASCII, Latin-1,
/// Latin Extended-A, Greek and Cyrillic; other code points are returned unchanged.
char32_t FoldCase(char32_t c);

/// Decodes UTF-8; a byte that starts no valid sequence stands for itself (as Latin-1 would).
std::u32string Decode(std::string_view utf8);
/// The number of characters (code points) of UTF-8 text.
std::size_t CharCount(std::string_view utf8);

bool EqualNoCase(std::string_view a, std::string_view b);
/// Negative, zero or positive as `a` sorts before, with or after `b` when case is ignored.
int CompareNoCase(std::string_view a, std::string_view b);

/// Matches `value` against a pattern in which `%` stands for any run of characters and `_` for
/// one character, ignoring case. `escape` (when not 0) makes the next pattern character literal.
/// With `starIsWildcard`, `*` also stands for any run (the cursor Find's criteria allow it).
bool Like(std::string_view value, std::string_view pattern, char32_t escape = 0,
          bool starIsWildcard = false);

} // namespace mallow::engine::text
