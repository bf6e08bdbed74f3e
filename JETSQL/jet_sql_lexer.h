// Tokens of the Access SQL dialect.
//
// Identifiers are bare words or [bracketed names] (any character but the
// closing bracket); "double" and 'single' quoted texts are both string
// literals, a doubled quote standing for itself; #...# is a date literal
// whose text the parser reads. Keywords are bare words; the parser decides
// which words are reserved where.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

enum class jet_sql_token_kind {
    end,
    word,     // bare identifier or keyword
    bracket,  // [name]
    string,   // 'text' or "text"
    number,   // 123, 1.5, .5, 1e3, &H1F
    date,     // #...#
    symbol,   // ( ) , . ! ; * + - / \ ^ & = < > <= >= <>
};

struct jet_sql_token {
    jet_sql_token_kind kind = jet_sql_token_kind::end;
    std::u16string text;  // name, string value, number text, date text or symbol
    size_t offset = 0;    // where the token starts in the statement
    size_t end = 0;       // one past its last character

    bool is_symbol(std::u16string_view s) const { return kind == jet_sql_token_kind::symbol && text == s; }
    // A bare word equal to `keyword` without regard to ASCII case.
    bool is_word(std::u16string_view keyword) const;
};

// Splits a statement into tokens, ending with one `end` token. An
// unterminated string, bracket or date literal raises DAO's 3075 error
// naming the rest of the statement.
std::vector<jet_sql_token> jet_sql_tokenize(std::u16string_view sql);

bool jet_sql_ascii_equal_nocase(std::u16string_view a, std::u16string_view b);
