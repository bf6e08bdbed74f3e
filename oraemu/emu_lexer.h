// Tokens of Oracle SQL text.
//
// Unquoted identifiers and keywords come out folded to upper case (every
// letter, not only ASCII, as Oracle folds them); quoted identifiers keep
// their exact text without the quotes. Comments are dropped, optimizer
// hints (/*+ ... */) included. A statement's text positions are kept so
// that the parser can cut the raw text of DEFAULT expressions and select
// items.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace emu {

struct token {
    enum kind { end, ident, qident, str, num, op, bind } k = end;
    std::string text;   // ident: upper-cased; qident: exact; str: unescaped
                        // content; num: as written; op: the operator; bind: name
                        // without the colon (upper-cased unless quoted or numeric)
    size_t pos = 0;     // byte offset of the token's first character
    size_t end_pos = 0; // byte offset just past it
    bool nchar = false; // N'...' literal

    bool is(const char* kw) const { return k == ident && text == kw; }
    bool is_op(const char* o) const { return k == op && text == o; }
};

// Splits `sql` into tokens, the last one of kind end. Throws ora_error
// ORA-00911 for a character Oracle does not accept, ORA-01756 for an
// unterminated string and ORA-01740 for an unterminated quoted identifier.
std::vector<token> tokenize(const std::string& sql);

// Upper-cases UTF-8 text the way Oracle folds unquoted names.
std::string fold_upper(const std::string& s);

}  // namespace emu
