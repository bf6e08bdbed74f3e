#include "jet_sql_parser.h"

#include <cstdlib>
#include <initializer_list>

#include "jet_sql_date.h"
#include "jet_sql_error.h"
#include "jet_sql_lexer.h"
#include "tk_wstring.h"

namespace {

using kind = jet_sql_token_kind;
using ek = jet_sql_expr_kind;

// Words that end an expression or a name list; never taken as an alias.
const char16_t* const k_clause_words[] = {u"select", u"from",  u"where", u"group", u"having", u"order",
                                          u"union",  u"inner", u"left",  u"right", u"join",   u"on",
                                          u"as",     u"by",    u"full",  u"outer", u"cross",  u"into"};

bool is_clause_word(const jet_sql_token& t)
{
    for (const char16_t* w : k_clause_words)
        if (t.is_word(w)) return true;
    return false;
}

class parser {
public:
    explicit parser(std::u16string_view sql) : sql_(sql), toks_(jet_sql_tokenize(sql)) {}

    std::unique_ptr<jet_sql_query> statement()
    {
        check_verb();
        auto q = query();
        if (accept_symbol(u";")) {
            if (cur().kind != kind::end) throw jet_sql_error(jet_err_trailing_characters);
        }
        if (cur().kind != kind::end) trailing();
        return q;
    }

private:
    const jet_sql_token& cur() const { return toks_[pos_]; }
    const jet_sql_token& peek(size_t n = 1) const { return toks_[std::min(pos_ + n, toks_.size() - 1)]; }
    bool accept_word(std::u16string_view w)
    {
        if (!cur().is_word(w)) return false;
        ++pos_;
        return true;
    }
    bool accept_symbol(std::u16string_view s)
    {
        if (!cur().is_symbol(s)) return false;
        ++pos_;
        return true;
    }

    [[noreturn]] void trailing() const
    {
        switch (clause_) {
        case clause::from: throw jet_sql_error(jet_err_from_syntax);
        case clause::order: throw jet_sql_error(jet_err_order_by_syntax);
        case clause::where:
        case clause::select:
        case clause::group:
        case clause::having: throw jet_sql_error::expression(u"Syntax error (missing operator)", expr_text());
        }
        throw jet_sql_error(jet_err_trailing_characters);
    }

    void check_verb()
    {
        const jet_sql_token& t = cur();
        if (t.is_word(u"select") || t.is_symbol(u"(")) return;
        if (t.is_word(u"parameters")) declared_parameters();
        // A crosstab returns rows in Access, but this engine does not pivot.
        if (t.is_word(u"transform")) throw jet_error(jet_err_not_supported);
        for (const char16_t* w : {u"insert", u"update", u"delete", u"create", u"alter", u"drop", u"procedure",
                                  u"execute", u"exec", u"grant", u"revoke"})
            if (t.is_word(w)) throw jet_error(jet_err_illegal_operation);
        throw jet_error(jet_err_sql_syntax);
    }

    // "PARAMETERS name type, ...;" declares values that a caller must
    // supply; without them DAO reports how many are missing.
    [[noreturn]] void declared_parameters()
    {
        ++pos_;
        int count = 0;
        bool expect_name = true;
        while (cur().kind != kind::end && !cur().is_symbol(u";")) {
            if (expect_name && (cur().kind == kind::word || cur().kind == kind::bracket)) {
                ++count;
                expect_name = false;
            } else if (cur().is_symbol(u",")) {
                expect_name = true;
            }
            ++pos_;
        }
        if (count == 0 || !cur().is_symbol(u";")) throw jet_sql_error(jet_err_select_syntax);
        throw jet_sql_error(jet_err_too_few_parameters, tk_widen_ascii(std::to_string(count)));
    }

    // The text DAO quotes for an expression error: from the start of the
    // current expression to the end of its clause item.
    std::u16string expr_text() const
    {
        size_t end = expr_start_;
        int depth = 0;
        for (size_t i = expr_tok_; i < toks_.size(); ++i) {
            const jet_sql_token& t = toks_[i];
            if (t.kind == kind::end) break;
            if (t.is_symbol(u"(")) ++depth;
            if (t.is_symbol(u")")) {
                if (depth == 0) break;
                --depth;
            }
            if (depth == 0 &&
                (t.is_symbol(u",") || t.is_symbol(u";") || (i > expr_tok_ && is_clause_word(t) && !t.is_word(u"as"))))
                break;
            end = t.end;
        }
        if (end < expr_start_) end = expr_start_;
        return std::u16string(sql_.substr(expr_start_, end - expr_start_));
    }

    [[noreturn]] void expr_error(std::u16string_view what = u"Syntax error (missing operator)") const
    {
        throw jet_sql_error::expression(what, expr_text());
    }

    // ---- queries ----

    std::unique_ptr<jet_sql_query> query()
    {
        depth_guard g(depth_);
        auto q = std::make_unique<jet_sql_query>();
        q->parts.push_back(select_part());
        while (accept_word(u"union")) {
            bool all = accept_word(u"all");
            q->union_all.push_back(all);
            q->parts.push_back(select_part());
        }
        if (cur().is_word(u"order")) {
            ++pos_;
            clause_ = clause::order;
            if (!accept_word(u"by")) throw jet_sql_error(jet_err_order_by_syntax);
            do {
                jet_sql_order o;
                o.expr = clause_expr();
                if (accept_word(u"desc"))
                    o.descending = true;
                else
                    accept_word(u"asc");
                q->order_by.push_back(std::move(o));
            } while (accept_symbol(u","));
        }
        // Access writes saved SQL with a final ';', and the row count wraps
        // such a text in "select count(*) from (...)": a ';' right before
        // the closing parenthesis ends the inner statement harmlessly.
        if (cur().is_symbol(u";") && peek().is_symbol(u")")) ++pos_;
        return q;
    }

    std::unique_ptr<jet_sql_select> select_part()
    {
        if (cur().is_symbol(u"(") && peek().is_word(u"select")) {
            ++pos_;
            auto inner = query();
            if (!accept_symbol(u")")) throw jet_sql_error(jet_err_select_syntax);
            if (inner->parts.size() != 1 || !inner->order_by.empty()) throw jet_sql_error(jet_err_select_syntax);
            return std::move(inner->parts[0]);
        }
        if (!accept_word(u"select")) throw jet_sql_error(jet_err_select_syntax);
        auto s = std::make_unique<jet_sql_select>();
        clause_ = clause::select;
        select_options(*s);
        select_items(*s);
        if (cur().is_word(u"into")) throw jet_error(jet_err_illegal_operation);
        if (accept_word(u"from")) {
            clause_ = clause::from;
            do s->from.push_back(from_entry());
            while (accept_symbol(u","));
        }
        if (accept_word(u"where")) {
            clause_ = clause::where;
            s->where = clause_expr();
        }
        if (cur().is_word(u"group")) {
            ++pos_;
            clause_ = clause::group;
            if (!accept_word(u"by")) throw jet_sql_error(jet_err_select_syntax);
            do s->group_by.push_back(clause_expr());
            while (accept_symbol(u","));
        }
        if (accept_word(u"having")) {
            clause_ = clause::having;
            s->having = clause_expr();
        }
        return s;
    }

    void select_options(jet_sql_select& s)
    {
        for (;;) {
            if (accept_word(u"all")) continue;
            if (accept_word(u"distinct")) {
                s.distinct = true;
                continue;
            }
            if (accept_word(u"distinctrow")) {
                s.distinctrow = true;
                continue;
            }
            if (cur().is_word(u"top")) {
                ++pos_;
                if (cur().kind != kind::number) throw jet_sql_error(jet_err_select_syntax);
                s.has_top = true;
                std::string n(cur().text.begin(), cur().text.end());
                s.top = std::strtod(n.c_str(), nullptr);
                if (!(s.top >= 0 && s.top <= 2147483647.0) || n[0] == '&') throw jet_sql_error(jet_err_select_syntax);
                ++pos_;
                if (accept_word(u"percent")) s.top_percent = true;
                continue;
            }
            return;
        }
    }

    void select_items(jet_sql_select& s)
    {
        do {
            jet_sql_item item;
            if (cur().is_symbol(u"*")) {
                ++pos_;
                item.star = true;
            } else if ((cur().kind == kind::word || cur().kind == kind::bracket) &&
                       (peek().is_symbol(u".") || peek().is_symbol(u"!")) && peek(2).is_symbol(u"*")) {
                item.star = true;
                item.star_of = cur().text;
                pos_ += 3;
            } else {
                item.expr = clause_expr();
                if (accept_word(u"as")) {
                    if (cur().kind != kind::word && cur().kind != kind::bracket) expr_error();
                    item.alias = cur().text;
                    ++pos_;
                }
            }
            s.items.push_back(std::move(item));
        } while (accept_symbol(u","));
        if (s.items.empty()) throw jet_sql_error(jet_err_select_syntax);
    }

    // ---- FROM ----

    jet_sql_from_ptr from_entry()
    {
        auto left = from_primary();
        for (;;) {
            jet_sql_join j = jet_sql_join::none;
            if (accept_word(u"inner")) {
                j = jet_sql_join::inner;
            } else if (accept_word(u"left")) {
                j = jet_sql_join::left;
                accept_word(u"outer");
            } else if (accept_word(u"right")) {
                j = jet_sql_join::right;
                accept_word(u"outer");
            } else if (cur().is_word(u"join") || cur().is_word(u"full") || cur().is_word(u"cross")) {
                throw jet_sql_error(jet_err_from_syntax);
            } else {
                return left;
            }
            if (!accept_word(u"join")) throw jet_sql_error(jet_err_from_syntax);
            auto right = from_primary();
            if (!accept_word(u"on")) throw jet_sql_error(jet_err_from_syntax);
            auto node = std::make_unique<jet_sql_from>();
            node->kind = jet_sql_from::kind_t::join;
            node->join = j;
            node->left = std::move(left);
            node->right = std::move(right);
            clause save = clause_;
            clause_ = clause::where;
            node->on = clause_expr();
            clause_ = save;
            left = std::move(node);
        }
    }

    jet_sql_from_ptr from_primary()
    {
        depth_guard g(depth_);
        auto node = std::make_unique<jet_sql_from>();
        if (cur().is_symbol(u"(")) {
            ++pos_;
            if (cur().is_word(u"select")) {
                node->kind = jet_sql_from::kind_t::derived;
                node->query = query();
                clause_ = clause::from;
                if (!accept_symbol(u")")) throw jet_sql_error(jet_err_from_syntax);
                table_alias(*node);
                return node;
            }
            auto inner = from_entry();
            if (!accept_symbol(u")")) throw jet_sql_error(jet_err_from_syntax);
            return inner;
        }
        if (cur().kind != kind::word && cur().kind != kind::bracket) throw jet_sql_error(jet_err_from_syntax);
        if (cur().kind == kind::word && is_clause_word(cur())) throw jet_sql_error(jet_err_from_syntax);
        node->name = cur().text;
        ++pos_;
        if (cur().is_word(u"in")) throw jet_sql_error(jet_err_from_syntax);
        table_alias(*node);
        return node;
    }

    void table_alias(jet_sql_from& node)
    {
        bool as = accept_word(u"as");
        const jet_sql_token& t = cur();
        if (t.kind == kind::bracket || (t.kind == kind::word && !is_clause_word(t))) {
            node.alias = t.text;
            ++pos_;
        } else if (as) {
            throw jet_sql_error(jet_err_from_syntax);
        }
    }

    // ---- expressions ----

    jet_sql_expr_ptr clause_expr()
    {
        expr_tok_ = pos_;
        expr_start_ = cur().offset;
        return expr();
    }

    // Nesting is bounded so that a hostile text cannot exhaust the stack.
    struct depth_guard {
        explicit depth_guard(int& d) : d_(d)
        {
            if (++d_ > k_max_depth) throw jet_sql_error(jet_err_expression_too_complex);
        }
        ~depth_guard() { --d_; }
        int& d_;
    };
    static constexpr int k_max_depth = 200;

    jet_sql_expr_ptr expr()
    {
        depth_guard g(depth_);
        return binary_level(0);
    }

    jet_sql_expr_ptr make_binary(std::u16string op, jet_sql_expr_ptr a, jet_sql_expr_ptr b, size_t start)
    {
        auto e = std::make_unique<jet_sql_expr>();
        e->kind = ek::binary;
        e->text = std::move(op);
        e->args.push_back(std::move(a));
        e->args.push_back(std::move(b));
        finish(*e, start);
        return e;
    }

    void finish(jet_sql_expr& e, size_t start_tok)
    {
        size_t b = toks_[start_tok].offset;
        size_t end = pos_ > 0 ? toks_[pos_ - 1].end : b;
        if (end < b) end = b;
        e.source = std::u16string(sql_.substr(b, end - b));
    }

    // Logical levels: 0 Imp, 1 Eqv, 2 Xor, 3 Or, 4 And; then Not.
    jet_sql_expr_ptr binary_level(int level)
    {
        static const char16_t* const k_ops[] = {u"imp", u"eqv", u"xor", u"or", u"and"};
        if (level == 5) return not_expr();
        size_t start = pos_;
        auto left = binary_level(level + 1);
        while (cur().is_word(k_ops[level])) {
            ++pos_;
            auto right = binary_level(level + 1);
            left = make_binary(k_ops[level], std::move(left), std::move(right), start);
        }
        return left;
    }

    jet_sql_expr_ptr not_expr()
    {
        size_t start = pos_;
        depth_guard g(depth_);
        if (accept_word(u"not")) {
            auto e = std::make_unique<jet_sql_expr>();
            e->kind = ek::unary;
            e->text = u"not";
            e->args.push_back(not_expr());
            finish(*e, start);
            return e;
        }
        return comparison();
    }

    jet_sql_expr_ptr comparison()
    {
        size_t start = pos_;
        auto left = concat();
        for (;;) {
            const jet_sql_token& t = cur();
            if (t.kind == kind::symbol && (t.text == u"=" || t.text == u"<>" || t.text == u"<" || t.text == u"<=" ||
                                           t.text == u">" || t.text == u">=")) {
                std::u16string op = t.text;
                ++pos_;
                auto right = concat();
                left = make_binary(op, std::move(left), std::move(right), start);
                continue;
            }
            bool negated = false;
            if (t.is_word(u"not") && (peek().is_word(u"like") || peek().is_word(u"between") || peek().is_word(u"in"))) {
                negated = true;
                ++pos_;
            }
            auto e = std::make_unique<jet_sql_expr>();
            e->negated = negated;
            if (accept_word(u"is")) {
                e->negated = accept_word(u"not");
                if (!accept_word(u"null")) expr_error();
                e->kind = ek::is_null;
                e->args.push_back(std::move(left));
            } else if (accept_word(u"like")) {
                e->kind = ek::like;
                e->args.push_back(std::move(left));
                e->args.push_back(concat());
            } else if (accept_word(u"between")) {
                e->kind = ek::between;
                e->args.push_back(std::move(left));
                e->args.push_back(concat());
                if (!accept_word(u"and")) expr_error();
                e->args.push_back(concat());
            } else if (accept_word(u"in")) {
                in_tail(*e, std::move(left));
            } else {
                if (negated) expr_error();
                return left;
            }
            finish(*e, start);
            left = std::move(e);
        }
    }

    void in_tail(jet_sql_expr& e, jet_sql_expr_ptr left)
    {
        if (!accept_symbol(u"(")) expr_error();
        e.args.push_back(std::move(left));
        if (cur().is_word(u"select")) {
            e.kind = ek::in_query;
            e.query = query();
        } else {
            e.kind = ek::in_list;
            do e.args.push_back(expr());
            while (accept_symbol(u","));
        }
        if (!accept_symbol(u")")) expr_error();
    }

    jet_sql_expr_ptr concat()
    {
        size_t start = pos_;
        auto left = additive();
        while (accept_symbol(u"&")) left = make_binary(u"&", std::move(left), additive(), start);
        return left;
    }

    jet_sql_expr_ptr additive()
    {
        size_t start = pos_;
        auto left = modulo();
        for (;;) {
            if (cur().is_symbol(u"+") || cur().is_symbol(u"-")) {
                std::u16string op = cur().text;
                ++pos_;
                left = make_binary(op, std::move(left), modulo(), start);
            } else {
                return left;
            }
        }
    }

    jet_sql_expr_ptr modulo()
    {
        size_t start = pos_;
        auto left = int_div();
        while (accept_word(u"mod")) left = make_binary(u"mod", std::move(left), int_div(), start);
        return left;
    }

    jet_sql_expr_ptr int_div()
    {
        size_t start = pos_;
        auto left = multiplicative();
        while (accept_symbol(u"\\")) left = make_binary(u"\\", std::move(left), multiplicative(), start);
        return left;
    }

    jet_sql_expr_ptr multiplicative()
    {
        size_t start = pos_;
        auto left = unary();
        for (;;) {
            if (cur().is_symbol(u"*") || cur().is_symbol(u"/")) {
                std::u16string op = cur().text;
                ++pos_;
                left = make_binary(op, std::move(left), unary(), start);
            } else {
                return left;
            }
        }
    }

    jet_sql_expr_ptr unary()
    {
        size_t start = pos_;
        depth_guard g(depth_);
        if (cur().is_symbol(u"-") || cur().is_symbol(u"+")) {
            std::u16string op = cur().text;
            ++pos_;
            auto e = std::make_unique<jet_sql_expr>();
            e->kind = ek::unary;
            e->text = op;
            e->args.push_back(unary());
            finish(*e, start);
            return e;
        }
        return power();
    }

    jet_sql_expr_ptr power()
    {
        size_t start = pos_;
        auto left = primary();
        while (accept_symbol(u"^")) {
            jet_sql_expr_ptr right;
            if (cur().is_symbol(u"-") || cur().is_symbol(u"+")) {
                size_t s = pos_;
                auto u = std::make_unique<jet_sql_expr>();
                u->kind = ek::unary;
                u->text = cur().text;
                ++pos_;
                u->args.push_back(primary());
                finish(*u, s);
                right = std::move(u);
            } else {
                right = primary();
            }
            left = make_binary(u"^", std::move(left), std::move(right), start);
        }
        return left;
    }

    jet_sql_expr_ptr literal(ek k)
    {
        auto e = std::make_unique<jet_sql_expr>();
        e->kind = k;
        e->text = cur().text;
        ++pos_;
        finish(*e, pos_ - 1);
        return e;
    }

    jet_sql_expr_ptr primary()
    {
        size_t start = pos_;
        const jet_sql_token& t = cur();
        switch (t.kind) {
        case kind::number: return literal(ek::number);
        case kind::string: return literal(ek::string);
        case kind::date: {
            auto e = literal(ek::date);
            if (!jet_sql_date_parse(e->text, e->number)) expr_error(u"Syntax error in date");
            return e;
        }
        case kind::symbol: return symbol_primary(start);
        case kind::word:
        case kind::bracket: return name_primary(start);
        case kind::end: break;
        }
        expr_error();
    }

    jet_sql_expr_ptr symbol_primary(size_t start)
    {
        if (!accept_symbol(u"(")) {
            if (cur().is_symbol(u")")) expr_error(u"Extra )");
            expr_error();
        }
        if (cur().is_word(u"select")) {
            auto e = std::make_unique<jet_sql_expr>();
            e->kind = ek::subquery;
            e->query = query();
            if (!accept_symbol(u")")) expr_error();
            finish(*e, start);
            return e;
        }
        auto e = expr();
        if (!accept_symbol(u")")) expr_error();
        return e;
    }

    jet_sql_expr_ptr keyword_literal(size_t start)
    {
        const jet_sql_token& t = cur();
        auto e = std::make_unique<jet_sql_expr>();
        if (t.is_word(u"null")) {
            e->kind = ek::null_literal;
        } else if (t.is_word(u"true") || t.is_word(u"yes") || t.is_word(u"on")) {
            e->kind = ek::boolean;
            e->number = -1;
        } else if (t.is_word(u"false") || t.is_word(u"no") || t.is_word(u"off")) {
            e->kind = ek::boolean;
            e->number = 0;
        } else {
            return nullptr;
        }
        ++pos_;
        finish(*e, start);
        return e;
    }

    jet_sql_expr_ptr name_primary(size_t start)
    {
        const jet_sql_token& t = cur();
        if (t.kind == kind::word) {
            if (auto lit = keyword_literal(start)) return lit;
            if (t.is_word(u"exists")) return exists_primary(start);
            bool call = peek().is_symbol(u"(") && (t.is_word(u"left") || t.is_word(u"right"));
            if ((is_clause_word(t) && !call) || t.is_word(u"and") || t.is_word(u"or") || t.is_word(u"not") ||
                t.is_word(u"like") || t.is_word(u"between") || t.is_word(u"in") || t.is_word(u"is") ||
                t.is_word(u"mod") || t.is_word(u"xor") || t.is_word(u"eqv") || t.is_word(u"imp") ||
                t.is_word(u"distinct"))
                expr_error();
        }
        auto e = std::make_unique<jet_sql_expr>();
        std::u16string first = t.text;
        ++pos_;
        if (t.kind == kind::word && cur().is_symbol(u"(")) return call_tail(std::move(first), start);
        e->kind = ek::column;
        e->text = first;
        // a.b, a!b, and the longer paths of form references
        // ([Forms]![Dialog]![Control]), which only ever resolve as
        // parameters.
        while ((cur().is_symbol(u".") || cur().is_symbol(u"!")) &&
               (peek().kind == kind::word || peek().kind == kind::bracket)) {
            ++pos_;
            if (!e->qualifier.empty()) e->qualifier += u".";
            e->qualifier += e->text;
            e->text = cur().text;
            ++pos_;
        }
        finish(*e, start);
        return e;
    }

    jet_sql_expr_ptr exists_primary(size_t start)
    {
        ++pos_;
        if (!accept_symbol(u"(") || !cur().is_word(u"select")) expr_error();
        auto e = std::make_unique<jet_sql_expr>();
        e->kind = ek::exists;
        e->query = query();
        if (!accept_symbol(u")")) expr_error();
        finish(*e, start);
        return e;
    }

    jet_sql_expr_ptr call_tail(std::u16string name, size_t start)
    {
        ++pos_;  // (
        auto e = std::make_unique<jet_sql_expr>();
        e->kind = ek::call;
        e->text = std::move(name);
        if (cur().is_symbol(u"*")) {
            ++pos_;
            auto star = std::make_unique<jet_sql_expr>();
            star->kind = ek::star;
            e->args.push_back(std::move(star));
        } else if (!cur().is_symbol(u")")) {
            if (cur().is_word(u"distinct")) expr_error();
            do e->args.push_back(expr());
            while (accept_symbol(u","));
        }
        if (!accept_symbol(u")")) expr_error();
        finish(*e, start);
        return e;
    }

    enum class clause { select, from, where, group, having, order };

    std::u16string_view sql_;
    std::vector<jet_sql_token> toks_;
    size_t pos_ = 0;
    size_t expr_tok_ = 0;
    size_t expr_start_ = 0;
    clause clause_ = clause::select;
    int depth_ = 0;
};

}  // namespace

std::unique_ptr<jet_sql_query> jet_sql_parse(std::u16string_view sql)
{
    return parser(sql).statement();
}
