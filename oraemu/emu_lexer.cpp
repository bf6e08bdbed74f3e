#include "emu_lexer.h"

#include "emu_session.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace emu {

std::string fold_upper(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    int32_t i = 0;
    const int32_t n = static_cast<int32_t>(s.size());
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    while (i < n) {
        UChar32 c;
        U8_NEXT(p, i, n, c);
        if (c < 0) c = 0xFFFD;
        c = u_toupper(c);
        char buf[4];
        int32_t k = 0;
        UBool err = false;
        U8_APPEND(reinterpret_cast<uint8_t*>(buf), k, 4, c, err);
        (void)err;
        out.append(buf, static_cast<size_t>(k));
    }
    return out;
}

namespace {

bool ident_start(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80;
}

bool ident_char(unsigned char c) {
    return ident_start(c) || (c >= '0' && c <= '9') || c == '_' || c == '$' || c == '#';
}

bool digit(char c) { return c >= '0' && c <= '9'; }

class lexer {
public:
    explicit lexer(const std::string& s) : s_(s) {}

    std::vector<token> run() {
        std::vector<token> out;
        for (;;) {
            skip_space();
            token t;
            t.pos = i_;
            if (i_ >= s_.size()) {
                t.end_pos = i_;
                out.push_back(t);
                return out;
            }
            read(t);
            t.end_pos = i_;
            out.push_back(std::move(t));
        }
    }

private:
    void skip_space() {
        for (;;) {
            while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
                ++i_;
            if (s_.compare(i_, 2, "--") == 0) {
                while (i_ < s_.size() && s_[i_] != '\n') ++i_;
            } else if (s_.compare(i_, 2, "/*") == 0) {
                size_t e = s_.find("*/", i_ + 2);
                i_ = e == std::string::npos ? s_.size() : e + 2;
            } else {
                return;
            }
        }
    }

    void read(token& t) {
        const unsigned char c = static_cast<unsigned char>(s_[i_]);
        if ((c == 'N' || c == 'n') && i_ + 1 < s_.size() && s_[i_ + 1] == '\'') {
            ++i_;
            t.nchar = true;
            read_string(t);
        } else if (ident_start(c)) {
            read_ident(t);
        } else if (c == '"') {
            read_qident(t);
        } else if (c == '\'') {
            read_string(t);
        } else if (digit(static_cast<char>(c)) || (c == '.' && i_ + 1 < s_.size() && digit(s_[i_ + 1]))) {
            read_number(t);
        } else if (c == ':' && i_ + 1 < s_.size() && s_[i_ + 1] != '=') {
            read_bind(t);
        } else {
            read_op(t);
        }
    }

    void read_ident(token& t) {
        size_t b = i_;
        while (i_ < s_.size() && ident_char(static_cast<unsigned char>(s_[i_]))) ++i_;
        t.k = token::ident;
        t.text = fold_upper(s_.substr(b, i_ - b));
    }

    void read_qident(token& t) {
        size_t e = s_.find('"', i_ + 1);
        if (e == std::string::npos) throw make_error(1740);
        t.k = token::qident;
        t.text = s_.substr(i_ + 1, e - i_ - 1);
        i_ = e + 1;
    }

    void read_string(token& t) {
        ++i_;
        std::string v;
        for (;;) {
            if (i_ >= s_.size()) throw make_error(1756);
            if (s_[i_] == '\'') {
                if (i_ + 1 < s_.size() && s_[i_ + 1] == '\'') {
                    v += '\'';
                    i_ += 2;
                    continue;
                }
                ++i_;
                break;
            }
            v += s_[i_++];
        }
        // A literal in a SQL statement holds at most 4000 bytes; longer text
        // has to travel as a bind or through a LOB.
        if (v.size() > 4000) throw make_error(1704);
        t.k = token::str;
        t.text = std::move(v);
    }

    void read_number(token& t) {
        size_t b = i_;
        while (i_ < s_.size() && digit(s_[i_])) ++i_;
        if (i_ < s_.size() && s_[i_] == '.' && !(i_ + 1 < s_.size() && s_[i_ + 1] == '.')) {
            ++i_;
            while (i_ < s_.size() && digit(s_[i_])) ++i_;
        }
        if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
            size_t j = i_ + 1;
            if (j < s_.size() && (s_[j] == '+' || s_[j] == '-')) ++j;
            if (j < s_.size() && digit(s_[j])) {
                i_ = j;
                while (i_ < s_.size() && digit(s_[i_])) ++i_;
            }
        }
        t.k = token::num;
        t.text = s_.substr(b, i_ - b);
    }

    void read_bind(token& t) {
        ++i_;
        t.k = token::bind;
        if (i_ < s_.size() && s_[i_] == '"') {
            token q;
            read_qident(q);
            t.text = q.text;
            return;
        }
        size_t b = i_;
        while (i_ < s_.size() && ident_char(static_cast<unsigned char>(s_[i_]))) ++i_;
        if (b == i_) throw make_error(911);
        t.text = fold_upper(s_.substr(b, i_ - b));
    }

    void read_op(token& t) {
        static const char* two[] = {"<=", ">=", "<>", "!=", "^=", "||", ":=", "=>", ".."};
        t.k = token::op;
        for (const char* o : two) {
            if (s_.compare(i_, 2, o) == 0) {
                t.text = o;
                if (t.text == "^=") t.text = "<>";
                if (t.text == "!=") t.text = "<>";
                i_ += 2;
                return;
            }
        }
        const char c = s_[i_];
        static const std::string one = "(),.+-*/=<>;@%";
        if (one.find(c) == std::string::npos) throw make_error(911);
        t.text = std::string(1, c);
        ++i_;
    }

    const std::string& s_;
    size_t i_ = 0;
};

}  // namespace

std::vector<token> tokenize(const std::string& sql) { return lexer(sql).run(); }

}  // namespace emu
