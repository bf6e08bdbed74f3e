// Result rows: reading SQLite values as engine values, binding
// placeholders, and the cursor over a translated query.
#include "emu_lexer.h"
#include "emu_query.h"
#include "emu_values.h"

#include <cstdio>

namespace emu {

bool is_national(col_type t) {
    return t == col_type::nvarchar2 || t == col_type::nchar || t == col_type::nclob;
}

bool is_lob(col_type t) { return t == col_type::clob || t == col_type::nclob || t == col_type::blob; }

std::string type_name(col_type t, int fraction) {
    switch (t) {
    case col_type::number: return "NUMBER";
    case col_type::float_: return "FLOAT";
    case col_type::binary_double: return "BINARY_DOUBLE";
    case col_type::varchar2: return "VARCHAR2";
    case col_type::nvarchar2: return "NVARCHAR2";
    case col_type::char_: return "CHAR";
    case col_type::nchar: return "NCHAR";
    case col_type::date: return "DATE";
    case col_type::timestamp: return "TIMESTAMP(" + std::to_string(fraction) + ")";
    case col_type::raw: return "RAW";
    case col_type::clob: return "CLOB";
    case col_type::nclob: return "NCLOB";
    case col_type::blob: return "BLOB";
    case col_type::long_: return "LONG";
    case col_type::rowid: return "ROWID";
    }
    return "UNDEFINED";
}

cursor::~cursor() = default;

bool bind_matches(const std::string& given, const std::string& placeholder) {
    std::string_view g(given);
    if (!g.empty() && g[0] == ':') g.remove_prefix(1);
    if (g == placeholder) return true;
    // Every row of an array asks this for each of its values: plain ASCII
    // names fold without the Unicode case map (it gives the same answer).
    bool ascii = true;
    for (char c : g) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (!ascii) return fold_upper(std::string(g)) == placeholder;
    if (g.size() != placeholder.size()) return false;
    for (size_t i = 0; i < g.size(); ++i) {
        char c = g[i] >= 'a' && g[i] <= 'z' ? static_cast<char>(g[i] - 'a' + 'A') : g[i];
        if (c != placeholder[i]) return false;
    }
    return true;
}

namespace {

std::string sqlite_number_text(sql_stmt& q, int i) {
    switch (q.type(i)) {
    case SQLITE_INTEGER: return std::to_string(q.int64(i));
    case SQLITE_FLOAT: return double_text(q.real(i));
    default: {
        std::string t = q.text(i);
        decimal d;
        return parse_decimal(t, d) ? decimal_text(d) : t;
    }
    }
}

void bind_one(sql_stmt& q, int pos, const value& v) {
    if (v.null) {
        q.bind_null(pos);
        return;
    }
    switch (v.type) {
    case col_type::number:
    case col_type::float_:
    case col_type::binary_double: {
        decimal d;
        if (!parse_decimal(v.data, d)) throw make_error(1722);
        std::string t = decimal_text(d);
        if (t.find('.') == std::string::npos && t.size() < 18) {
            q.bind(pos, static_cast<int64_t>(std::stoll(t)));
        } else {
            sqlite3_bind_double(q.raw(), pos, std::stod(t));
        }
        return;
    }
    case col_type::raw:
    case col_type::blob: q.bind_blob(pos, v.data); return;
    default:
        if (v.data.empty()) q.bind_null(pos);
        else q.bind(pos, v.data);
    }
}

}  // namespace

void bind_placeholders(sql_stmt& q, const std::vector<std::string>& names, const std::vector<bind_value>* binds) {
    for (size_t i = 0; i < names.size(); ++i) {
        const bind_value* found = nullptr;
        if (binds) {
            for (const auto& b : *binds)
                if (bind_matches(b.name, names[i])) found = &b;
        }
        if (!found) throw make_error(1008);
        bind_one(q, static_cast<int>(i + 1), found->v);
    }
}

value read_value(sql_stmt& q, int i, col_type t) {
    if (q.is_null(i)) return value::make_null(t);
    switch (t) {
    case col_type::number:
    case col_type::float_:
        return value::make(t, oracle_number_text(sqlite_number_text(q, i)));
    case col_type::binary_double: return value::make(t, sqlite_number_text(q, i));
    case col_type::raw:
    case col_type::blob: return value::make(t, q.type(i) == SQLITE_BLOB ? q.blob(i) : q.text(i));
    case col_type::date: {
        std::string d = q.text(i);
        if (d.size() > 19) d.resize(19);
        return value::make(t, d);
    }
    case col_type::timestamp: {
        std::string d = q.text(i);
        if (d.size() == 19) d += ".000000000";
        return value::make(t, d);
    }
    case col_type::clob:
    case col_type::nclob: return value::make(t, q.text(i));
    default: {
        std::string s = q.type(i) == SQLITE_INTEGER || q.type(i) == SQLITE_FLOAT
                            ? oracle_number_text(sqlite_number_text(q, i))
                            : q.text(i);
        if (s.empty()) return value::make_null(t);
        return value::make(t, s);
    }
    }
}

namespace {

class query_cursor : public cursor, public detachable {
public:
    query_cursor(session::impl& s, compiled_query cq) : s_(s), cq_(std::move(cq)) {
        q_ = s_.st->prepare(cq_.sql);
        bind_placeholders(*q_, cq_.binds, s_.binds);
        for (const auto& c : cq_.cols) cols_.push_back(c.info);
        s_.cursors.insert(this);
    }

    ~query_cursor() override { s_.cursors.erase(this); }

    const std::vector<column_info>& columns() const override { return cols_; }

    bool fetch(std::vector<value>& row) override {
        if (s_.lost) throw make_error(3113);
        if (!q_) {
            if (next_ >= buffered_.size()) return false;
            row = std::move(buffered_[next_++]);
            return true;
        }
        if (!q_->step()) {
            q_.reset();
            return false;
        }
        read_row(row);
        return true;
    }

    void detach() override {
        if (!q_) return;
        std::vector<value> row;
        while (q_->step()) {
            read_row(row);
            buffered_.push_back(std::move(row));
        }
        q_.reset();
    }

private:
    void read_row(std::vector<value>& row) {
        row.clear();
        for (size_t i = 0; i < cq_.cols.size(); ++i) {
            const out_column& c = cq_.cols[i];
            value v = read_value(*q_, static_cast<int>(i), c.info.type);
            if (c.rowid_col >= 0 && !q_->is_null(c.rowid_col)) {
                v.lob = lob_ref{c.owner, c.table, c.column, q_->int64(c.rowid_col), c.info.type};
            }
            row.push_back(std::move(v));
        }
        for (const auto& [col, obj] : cq_.lock_cols) s_.locked.emplace(obj, q_->int64(col));
    }

    session::impl& s_;
    compiled_query cq_;
    std::unique_ptr<sql_stmt> q_;   // null once the rows are all read
    std::vector<column_info> cols_;
    std::vector<std::vector<value>> buffered_;
    size_t next_ = 0;
};

}  // namespace

std::unique_ptr<cursor> open_cursor(session::impl& s, compiled_query cq) {
    if (!cq.lock_cols.empty()) s.begin();
    return std::make_unique<query_cursor>(s, std::move(cq));
}

}  // namespace emu
