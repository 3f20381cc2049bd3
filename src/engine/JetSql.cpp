#include "JetSql.h"

#include "JetError.h"
#include "util/Dates.h"

#include <cctype>
#include <cstdio>
#include <optional>

namespace mallow::engine {

namespace {

enum class Tok { Space, Word, Number, String, DoubleQuoted, Bracket, Date, Param, Punct };

struct Token
{
    Tok kind;
    std::size_t begin;
    std::size_t end;
};

bool IsWordStart(unsigned char c)
{
    return std::isalpha(c) || c == '_' || c >= 0x80;
}

bool IsWordChar(unsigned char c)
{
    return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80;
}

std::string Upper(std::string_view s)
{
    std::string result(s);
    for (char& c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

[[noreturn]] void RaiseUnclosed(std::string_view sql, std::size_t at)
{
    RaiseJet(jet::SyntaxError, std::string(sql.substr(at)));
}

// Splits a statement into tokens. With `jet`, double quotes delimit text and # delimits dates;
// otherwise double quotes delimit names, as SQLite reads them.
std::vector<Token> Tokenize(std::string_view s, bool jet)
{
    std::vector<Token> tokens;
    std::size_t at = 0;
    while (at < s.size()) {
        const auto c = static_cast<unsigned char>(s[at]);
        const std::size_t begin = at;
        Tok kind = Tok::Punct;
        if (std::isspace(c)) {
            while (at < s.size() && std::isspace(static_cast<unsigned char>(s[at])))
                ++at;
            kind = Tok::Space;
        } else if (IsWordStart(c)) {
            while (at < s.size() && IsWordChar(static_cast<unsigned char>(s[at])))
                ++at;
            kind = Tok::Word;
        } else if (std::isdigit(c) || (c == '.' && at + 1 < s.size() &&
                                       std::isdigit(static_cast<unsigned char>(s[at + 1])))) {
            while (at < s.size() &&
                   (std::isdigit(static_cast<unsigned char>(s[at])) || s[at] == '.'))
                ++at;
            if (at < s.size() && (s[at] == 'e' || s[at] == 'E')) {
                std::size_t next = at + 1;
                if (next < s.size() && (s[next] == '+' || s[next] == '-'))
                    ++next;
                if (next < s.size() && std::isdigit(static_cast<unsigned char>(s[next]))) {
                    at = next;
                    while (at < s.size() && std::isdigit(static_cast<unsigned char>(s[at])))
                        ++at;
                }
            }
            kind = Tok::Number;
        } else if (c == '\'' || c == '"') {
            // A doubled quote inside stands for itself.
            ++at;
            for (;;) {
                if (at >= s.size())
                    RaiseUnclosed(s, begin);
                if (s[at] == static_cast<char>(c)) {
                    if (at + 1 < s.size() && s[at + 1] == static_cast<char>(c)) {
                        at += 2;
                        continue;
                    }
                    ++at;
                    break;
                }
                ++at;
            }
            kind = c == '\'' ? Tok::String : Tok::DoubleQuoted;
        } else if (c == '[' || (jet && c == '#')) {
            const char close = c == '[' ? ']' : '#';
            const auto end = s.find(close, at + 1);
            if (end == std::string_view::npos)
                RaiseUnclosed(s, begin);
            at = end + 1;
            kind = c == '[' ? Tok::Bracket : Tok::Date;
        } else if (c == '?') {
            ++at;
            kind = Tok::Param;
        } else {
            static constexpr std::string_view pairs[] = {"<>", "<=", ">=", "||", "==", "!="};
            std::size_t length = 1;
            for (const auto pair : pairs) {
                if (s.substr(at, 2) == pair)
                    length = 2;
            }
            at += length;
        }
        tokens.push_back({kind, begin, at});
    }
    return tokens;
}

std::string_view TextOf(std::string_view s, const Token& t)
{
    return s.substr(t.begin, t.end - t.begin);
}

bool IsWord(std::string_view s, const Token& t, std::string_view word)
{
    if (t.kind != Tok::Word || t.end - t.begin != word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(s[t.begin + i])) != word[i])
            return false;
    }
    return true;
}

bool IsPunct(std::string_view s, const Token& t, std::string_view punct)
{
    return t.kind == Tok::Punct && TextOf(s, t) == punct;
}

// The index of the next token after `i` that is not blank, or tokens.size().
std::size_t NextSignificant(const std::vector<Token>& tokens, std::size_t i)
{
    ++i;
    while (i < tokens.size() && tokens[i].kind == Tok::Space)
        ++i;
    return i;
}

std::string StringLiteral(std::string_view content)
{
    std::string result = "'";
    for (const char c : content) {
        if (c == '\'')
            result += '\'';
        result += c;
    }
    return result + '\'';
}

// The text inside a double-quoted literal, with its doubled quotes undone.
std::string Unquoted(std::string_view literal)
{
    std::string result;
    for (std::size_t i = 1; i + 1 < literal.size(); ++i) {
        result += literal[i];
        if (literal[i] == literal.front() && literal[i + 1] == literal.front())
            ++i;
    }
    return result;
}

// An ISO date "yyyy-mm-dd" (with an optional time), which date literals also accept.
std::optional<double> ParseIsoDate(std::string_view text)
{
    int year = 0, month = 0, day = 0, consumed = 0;
    const std::string copy(text);
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &consumed) != 3 ||
        consumed < 8)
        return std::nullopt;
    try {
        double date = dates::ToAutomationDate({year, month, day, 0, 0, 0});
        std::string_view rest = text.substr(static_cast<std::size_t>(consumed));
        if (!rest.empty()) {
            const auto time = dates::ParseTime(rest);
            if (!time || !std::isspace(static_cast<unsigned char>(rest.front())))
                return std::nullopt;
            date += *time;
        }
        return date;
    } catch (const MallowError&) {
        return std::nullopt;
    }
}

std::string DateLiteral(std::string_view literal)
{
    const std::string_view content = literal.substr(1, literal.size() - 2);
    std::optional<double> date = dates::ParseDateTime(content);
    if (!date)
        date = ParseIsoDate(content);
    if (!date)
        RaiseJetText(jet::SyntaxError,
                     "Syntax error in date in query expression '" + std::string(literal) + "'.");
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", *date);
    return buffer;
}

} // namespace

std::string QuotedName(std::string_view name)
{
    std::string result = "\"";
    for (const char c : name) {
        if (c == '"')
            result += '"';
        result += c;
    }
    return result + '"';
}

std::size_t TranslatedSql::SourceOffset(std::size_t textOffset) const
{
    std::size_t result = 0;
    for (const auto& [out, source] : origins) {
        if (out > textOffset)
            break;
        result = source + (textOffset - out);
    }
    return result;
}

TranslatedSql TranslateJetSql(std::string_view jet)
{
    const std::vector<Token> tokens = Tokenize(jet, true);
    TranslatedSql result;
    std::string& out = result.text;
    out.reserve(jet.size() + 16);

    std::size_t i = 0;
    const std::size_t first = tokens.empty() || tokens[0].kind != Tok::Space ? 0 : 1;
    if (first < tokens.size() && IsWord(jet, tokens[first], "DELETE")) {
        // "Delete T.* From T" and "Delete * From T" name what a DELETE removes anyway.
        std::size_t k = NextSignificant(tokens, first);
        bool starForm = false;
        if (k < tokens.size() && IsPunct(jet, tokens[k], "*")) {
            starForm = true;
        } else if (k < tokens.size() &&
                   (tokens[k].kind == Tok::Word || tokens[k].kind == Tok::Bracket ||
                    tokens[k].kind == Tok::DoubleQuoted)) {
            const std::size_t dot = NextSignificant(tokens, k);
            const std::size_t star = NextSignificant(tokens, dot);
            if (dot < tokens.size() && IsPunct(jet, tokens[dot], ".") && star < tokens.size() &&
                IsPunct(jet, tokens[star], "*")) {
                starForm = true;
                k = star;
            }
        }
        const std::size_t from = NextSignificant(tokens, k);
        if (starForm && from < tokens.size() && IsWord(jet, tokens[from], "FROM")) {
            result.origins.emplace_back(0, tokens[first].begin);
            out += "DELETE FROM";
            i = from + 1;
        }
    }

    std::size_t lastSignificant = tokens.size();
    for (std::size_t k = tokens.size(); k-- > 0;) {
        if (tokens[k].kind != Tok::Space) {
            lastSignificant = k;
            break;
        }
    }

    for (; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        const std::string_view text = TextOf(jet, t);
        result.origins.emplace_back(out.size(), t.begin);
        switch (t.kind) {
        case Tok::Word:
            if (IsWord(jet, t, "TRUE"))
                out += '1';
            else if (IsWord(jet, t, "FALSE"))
                out += '0';
            else if (IsWord(jet, t, "DISTINCTROW"))
                out += "DISTINCT";
            else
                out += text;
            break;
        case Tok::Bracket:
            out += QuotedName(text.substr(1, text.size() - 2));
            break;
        case Tok::DoubleQuoted:
            out += StringLiteral(Unquoted(text));
            break;
        case Tok::Date:
            out += DateLiteral(text);
            break;
        case Tok::Param:
            ++result.parameterCount;
            out += '?';
            break;
        case Tok::Punct:
            if (text == ";") {
                if (i != lastSignificant)
                    RaiseJet(jet::CharactersAfterEnd);
            } else if (text == "&") {
                out += "||";
            } else {
                out += text;
                // Two minus signs (or a slash and a star) would open a comment in SQLite.
                const bool next = i + 1 < tokens.size() && tokens[i + 1].kind == Tok::Punct;
                if (next && ((text == "-" && IsPunct(jet, tokens[i + 1], "-")) ||
                             (text == "/" && IsPunct(jet, tokens[i + 1], "*"))))
                    out += ' ';
            }
            break;
        default:
            out += text;
            break;
        }
    }
    return result;
}

SelectShape AnalyzeSelect(std::string_view sql)
{
    SelectShape shape;
    std::vector<Token> tokens;
    try {
        tokens = Tokenize(sql, false);
    } catch (const MallowError&) {
        return shape;
    }
    std::vector<std::size_t> top; // significant tokens outside parentheses
    int depth = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind == Tok::Space)
            continue;
        if (IsPunct(sql, tokens[i], "(")) {
            if (depth == 0)
                top.push_back(i);
            ++depth;
            continue;
        }
        if (IsPunct(sql, tokens[i], ")")) {
            --depth;
            continue;
        }
        if (depth == 0)
            top.push_back(i);
    }
    if (top.empty() || !IsWord(sql, tokens[top[0]], "SELECT"))
        return shape;
    shape.columnsAt = tokens[top[0]].end;
    std::size_t n = 1;
    if (n < top.size() && IsWord(sql, tokens[top[n]], "ALL"))
        shape.columnsAt = tokens[top[n++]].end;
    if (n < top.size() && IsWord(sql, tokens[top[n]], "DISTINCT"))
        return shape;

    static constexpr std::string_view notSimple[] = {"UNION", "INTERSECT", "EXCEPT", "GROUP",
                                                     "JOIN",  "WINDOW",    "HAVING", "VALUES"};
    std::size_t from = top.size();
    for (std::size_t k = n; k < top.size(); ++k) {
        for (const auto word : notSimple) {
            if (IsWord(sql, tokens[top[k]], word))
                return shape;
        }
        if (from == top.size() && IsWord(sql, tokens[top[k]], "FROM"))
            from = k;
    }
    if (from == top.size())
        return shape;
    // The FROM clause must be one name: [schema.]table [[AS] alias].
    std::size_t names = 0;
    for (std::size_t k = from + 1; k < top.size(); ++k) {
        const Token& t = tokens[top[k]];
        if (IsWord(sql, t, "WHERE") || IsWord(sql, t, "ORDER") || IsWord(sql, t, "LIMIT"))
            break;
        if (t.kind == Tok::Word || t.kind == Tok::DoubleQuoted || t.kind == Tok::Bracket ||
            t.kind == Tok::String) {
            if (!IsWord(sql, t, "AS"))
                ++names;
            continue;
        }
        if (IsPunct(sql, t, "."))
            continue;
        return shape;
    }
    shape.singleTable = names >= 1 && names <= 3;
    return shape;
}

ClauseText ClauseAt(std::string_view jet, std::size_t offset)
{
    ClauseText clause;
    std::vector<Token> tokens;
    try {
        tokens = Tokenize(jet, true);
    } catch (const MallowError&) {
        clause.expression = std::string(jet.substr(std::min(offset, jet.size())));
        return clause;
    }
    static constexpr std::string_view keywords[] = {"SELECT", "FROM",  "WHERE", "GROUP", "ORDER",
                                                    "HAVING", "UNION", "SET",   "VALUES"};
    std::size_t clauseBegin = 0;
    std::size_t clauseEnd = jet.size();
    bool inFrom = false;
    int depth = 0;
    for (const Token& t : tokens) {
        if (IsPunct(jet, t, "("))
            ++depth;
        else if (IsPunct(jet, t, ")"))
            --depth;
        if (depth != 0 || t.kind != Tok::Word)
            continue;
        bool keyword = false;
        for (const auto word : keywords)
            keyword = keyword || IsWord(jet, t, word);
        if (!keyword)
            continue;
        if (t.begin > offset) {
            clauseEnd = t.begin;
            break;
        }
        clauseBegin = t.end;
        inFrom = IsWord(jet, t, "FROM");
    }
    std::string_view text = jet.substr(clauseBegin, clauseEnd - clauseBegin);
    while (!text.empty() &&
           (std::isspace(static_cast<unsigned char>(text.back())) || text.back() == ';'))
        text.remove_suffix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    clause.isFrom = inFrom;
    clause.expression = std::string(text);
    return clause;
}

std::string FirstWord(std::string_view sql)
{
    std::size_t at = 0;
    while (at < sql.size() && (std::isspace(static_cast<unsigned char>(sql[at])) || sql[at] == '('))
        ++at;
    std::size_t end = at;
    while (end < sql.size() && IsWordChar(static_cast<unsigned char>(sql[end])))
        ++end;
    return Upper(sql.substr(at, end - at));
}

} // namespace mallow::engine
