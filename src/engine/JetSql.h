#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mallow::engine {

/// A statement of the engine's dialect turned into SQLite's.
struct TranslatedSql
{
    std::string text;
    int parameterCount = 0; ///< the `?` marks, bound in order
    /// Pairs (offset in `text`, offset in the original) at the start of every piece, ascending.
    std::vector<std::pair<std::size_t, std::size_t>> origins;

    /// Where a position of `text` came from in the original statement.
    std::size_t SourceOffset(std::size_t textOffset) const;
};

/// Translates the dialect the program writes its statements in: `[names]` become quoted
/// identifiers, "text" a string literal, `#date#` the automation-date number, True and False
/// 1 and 0, `&` concatenation, `Delete T.* From T` a plain DELETE, and a trailing `;` goes.
/// `?` marks stay parameters. Raises 3075 for a date literal that is no date or an unclosed
/// quote, 3142 for text after the closing `;`.
TranslatedSql TranslateJetSql(std::string_view jet);

/// What a translated SELECT looks like from outside: whether it reads straight from one table
/// (no join, grouping, DISTINCT or compound), so that its rows can carry their rowid, and where
/// its column list starts.
struct SelectShape
{
    bool singleTable = false;
    std::size_t columnsAt = 0; ///< just after SELECT (and ALL)
};
SelectShape AnalyzeSelect(std::string_view sqliteText);

/// The clause of a statement in the engine's dialect that holds `offset`: its kind and its text
/// without the keyword, for error descriptions ("Syntax error in FROM clause.").
struct ClauseText
{
    bool isFrom = false;
    std::string expression;
};
ClauseText ClauseAt(std::string_view jet, std::size_t offset);

/// A name as a quoted SQLite identifier ("a""b" for a"b).
std::string QuotedName(std::string_view name);

/// The first word of a statement, upper-cased ("SELECT"), or "" when it starts with none.
std::string FirstWord(std::string_view sql);

} // namespace mallow::engine
