#include "jet_sql_lexer.h"

#include "jet_sql_error.h"

namespace {

char16_t ascii_lower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool is_word_start(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c >= 0x80;
}

bool is_word_char(char16_t c)
{
    return is_word_start(c) || (c >= u'0' && c <= u'9');
}

bool is_digit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool is_hex(char16_t c)
{
    return is_digit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool is_blank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v' || c == 0xA0;
}

class lexer {
public:
    explicit lexer(std::u16string_view sql) : s_(sql) {}

    std::vector<jet_sql_token> run()
    {
        std::vector<jet_sql_token> out;
        for (;;) {
            while (pos_ < s_.size() && is_blank(s_[pos_])) ++pos_;
            jet_sql_token t;
            t.offset = pos_;
            if (pos_ >= s_.size()) {
                t.end = pos_;
                out.push_back(std::move(t));
                return out;
            }
            read_one(t);
            t.end = pos_;
            out.push_back(std::move(t));
        }
    }

private:
    [[noreturn]] void fail(std::u16string_view what, size_t from) const
    {
        throw jet_sql_error::expression(what, s_.substr(from));
    }

    void read_one(jet_sql_token& t)
    {
        char16_t c = s_[pos_];
        if (is_word_start(c)) {
            size_t b = pos_;
            while (pos_ < s_.size() && is_word_char(s_[pos_])) ++pos_;
            // The string-returning forms of VBA functions: Left$(...).
            if (pos_ + 1 < s_.size() && s_[pos_] == u'$' && s_[pos_ + 1] == u'(') ++pos_;
            t.kind = jet_sql_token_kind::word;
            t.text = s_.substr(b, pos_ - b);
        } else if (c == u'[') {
            read_bracket(t);
        } else if (c == u'\'' || c == u'"') {
            read_string(t, c);
        } else if (c == u'#') {
            read_date(t);
        } else if (is_digit(c) || (c == u'.' && pos_ + 1 < s_.size() && is_digit(s_[pos_ + 1]))) {
            read_number(t);
        } else if (c == u'&' && pos_ + 1 < s_.size() && (s_[pos_ + 1] == u'H' || s_[pos_ + 1] == u'h') &&
                   pos_ + 2 < s_.size() && is_hex(s_[pos_ + 2])) {
            size_t b = pos_;
            pos_ += 2;
            while (pos_ < s_.size() && is_hex(s_[pos_])) ++pos_;
            t.kind = jet_sql_token_kind::number;
            t.text = s_.substr(b, pos_ - b);
        } else {
            read_symbol(t);
        }
    }

    void read_bracket(jet_sql_token& t)
    {
        size_t b = pos_++;
        size_t close = s_.find(u']', pos_);
        if (close == std::u16string_view::npos) fail(u"Invalid bracketing of name", b);
        t.kind = jet_sql_token_kind::bracket;
        t.text = s_.substr(pos_, close - pos_);
        pos_ = close + 1;
    }

    void read_string(jet_sql_token& t, char16_t quote)
    {
        size_t b = pos_++;
        t.kind = jet_sql_token_kind::string;
        for (;;) {
            if (pos_ >= s_.size()) fail(u"Syntax error in string", b);
            char16_t c = s_[pos_++];
            if (c == quote) {
                if (pos_ < s_.size() && s_[pos_] == quote) {
                    t.text += quote;
                    ++pos_;
                    continue;
                }
                return;
            }
            t.text += c;
        }
    }

    void read_date(jet_sql_token& t)
    {
        size_t b = pos_++;
        size_t close = s_.find(u'#', pos_);
        if (close == std::u16string_view::npos) fail(u"Syntax error in date", b);
        t.kind = jet_sql_token_kind::date;
        t.text = s_.substr(pos_, close - pos_);
        pos_ = close + 1;
    }

    void read_number(jet_sql_token& t)
    {
        size_t b = pos_;
        while (pos_ < s_.size() && is_digit(s_[pos_])) ++pos_;
        if (pos_ < s_.size() && s_[pos_] == u'.') {
            ++pos_;
            while (pos_ < s_.size() && is_digit(s_[pos_])) ++pos_;
        }
        if (pos_ < s_.size() && (s_[pos_] == u'e' || s_[pos_] == u'E')) {
            size_t e = pos_ + 1;
            if (e < s_.size() && (s_[e] == u'+' || s_[e] == u'-')) ++e;
            if (e < s_.size() && is_digit(s_[e])) {
                pos_ = e;
                while (pos_ < s_.size() && is_digit(s_[pos_])) ++pos_;
            }
        }
        t.kind = jet_sql_token_kind::number;
        t.text = s_.substr(b, pos_ - b);
    }

    void read_symbol(jet_sql_token& t)
    {
        t.kind = jet_sql_token_kind::symbol;
        char16_t c = s_[pos_++];
        t.text = c;
        if (pos_ < s_.size()) {
            char16_t d = s_[pos_];
            if ((c == u'<' && (d == u'=' || d == u'>')) || (c == u'>' && d == u'=')) {
                t.text += d;
                ++pos_;
            }
        }
    }

    std::u16string_view s_;
    size_t pos_ = 0;
};

}  // namespace

bool jet_sql_ascii_equal_nocase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    return true;
}

bool jet_sql_token::is_word(std::u16string_view keyword) const
{
    return kind == jet_sql_token_kind::word && jet_sql_ascii_equal_nocase(text, keyword);
}

std::vector<jet_sql_token> jet_sql_tokenize(std::u16string_view sql)
{
    return lexer(sql).run();
}
