#include "jet_querydef.h"

#include <algorithm>

#include "jet_database.h"
#include "jet_error.h"
#include "jet_sql_session.h"
#include "jet_table_reader.h"
#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

bool blank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// Blanks collapsed to one space, none at either end, a final ';' dropped.
std::u16string normalise(std::u16string_view sql)
{
    std::u16string out;
    bool pending = false;
    for (char16_t c : sql) {
        if (blank(c)) {
            pending = !out.empty();
            continue;
        }
        if (pending) out += u' ';
        pending = false;
        out += c;
    }
    if (!out.empty() && out.back() == u';') out.pop_back();
    while (!out.empty() && out.back() == u' ') out.pop_back();
    return out;
}

// Consumes `word` (without regard to case) and the blanks after it.
bool take(std::u16string_view& s, std::u16string_view word)
{
    if (s.size() < word.size() || !tk_equal_nocase(s.substr(0, word.size()), word)) return false;
    s.remove_prefix(word.size());
    while (!s.empty() && s.front() == u' ') s.remove_prefix(1);
    return true;
}

std::u16string dsn_of(const std::u16string& connect)
{
    std::u16string folded = tk_fold_case(connect);
    size_t at = folded.find(u"dsn=");
    if (at == std::u16string::npos) return connect;
    size_t end = connect.find(u';', at);
    return connect.substr(at + 4, end == std::u16string::npos ? std::u16string::npos : end - at - 4);
}

class table_source : public jet_row_source {
public:
    table_source(std::unique_ptr<jet_database> linked, std::unique_ptr<jet_table_reader> reader)
        : linked_(std::move(linked)), reader_(std::move(reader))
    {
        count_ = static_cast<int32_t>(reader_->stored_row_count());
    }
    const std::vector<jet_column>& columns() const override { return reader_->columns(); }
    void rewind() override { reader_->rewind(); }
    bool next(std::vector<jet_value>& row) override { return reader_->next(row); }
    int32_t count() const override { return count_; }

private:
    std::unique_ptr<jet_database> linked_;  // the source file of a linked table
    std::unique_ptr<jet_table_reader> reader_;
    int32_t count_;
};

class list_source : public jet_row_source {
public:
    list_source(std::vector<jet_column> columns, std::vector<std::vector<jet_value>> rows)
        : columns_(std::move(columns)), rows_(std::move(rows))
    {}
    const std::vector<jet_column>& columns() const override { return columns_; }
    void rewind() override { next_ = 0; }
    bool next(std::vector<jet_value>& row) override
    {
        if (next_ >= rows_.size()) return false;
        row = rows_[next_++];
        return true;
    }
    int32_t count() const override { return static_cast<int32_t>(rows_.size()); }

private:
    std::vector<jet_column> columns_;
    std::vector<std::vector<jet_value>> rows_;
    size_t next_ = 0;
};

jet_value text_value(const std::u16string& s)
{
    jet_value v;
    v.kind = jet_kind::text;
    v.text = s;
    return v;
}

jet_value long_value(int64_t n)
{
    jet_value v;
    v.kind = jet_kind::int32;
    v.i = n;
    return v;
}

jet_column computed_column(std::u16string name, int16_t dao_type, uint8_t jet_type, int32_t size)
{
    jet_column c;
    c.name = std::move(name);
    c.dao_type = dao_type;
    c.jet_type = jet_type;
    c.size = size;
    c.fixed = jet_type != jet_col_text;
    return c;
}

std::vector<jet_column> relationship_columns()
{
    return {
        computed_column(u"szRelationship", 10, jet_col_text, 64),
        computed_column(u"szColumn", 10, jet_col_text, 64),
        computed_column(u"szObject", 10, jet_col_text, 64),
        computed_column(u"szReferencedObject", 10, jet_col_text, 64),
        computed_column(u"szReferencedColumn", 10, jet_col_text, 64),
        computed_column(u"grbit", 4, jet_col_long, 4),
    };
}

// The one column of "select count(*) from (...)", as DAO names it.
std::vector<jet_column> count_columns()
{
    return {computed_column(u"Expr1000", 4, jet_col_long, 4)};
}

}  // namespace

jet_querydef::jet_querydef(jet_database& db, std::u16string name, std::u16string sql)
    : db_(&db), open_(db.open_recordsets()), name_(std::move(name)), sql_(std::move(sql))
{
    tk_trace(2, u"jet_querydef::jet_querydef(%s)", sql_);
}

jet_querydef::~jet_querydef() = default;

void jet_querydef::check_open() const
{
    open_->check_open();
}

bool jet_querydef::match_table_scan(std::u16string_view sql, std::u16string& table)
{
    std::u16string norm = normalise(sql);
    std::u16string_view s = norm;
    if (!take(s, u"SELECT") || !take(s, u"*") || !take(s, u"FROM") || s.empty()) return false;
    if (s.front() == u'[') {
        size_t close = s.find(u']');
        if (close == std::u16string_view::npos || close + 1 != s.size() || close == 1) return false;
        table.assign(s.substr(1, close - 1));
        return true;
    }
    for (char16_t c : s)
        if (!(c == u'_' || (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
              c > 0x7F))
            return false;
    table.assign(s);
    return true;
}

bool jet_querydef::match_relationships(std::u16string_view sql)
{
    return tk_equal_nocase(normalise(sql),
                           u"SELECT szRelationship, szColumn, szObject, szReferencedObject, szReferencedColumn, "
                           u"grbit FROM MSysRelationships ORDER BY szRelationship");
}

bool jet_querydef::match_count(std::u16string_view sql, std::u16string& inner)
{
    std::u16string norm = normalise(sql);
    std::u16string_view s = norm;
    if (!take(s, u"select") || !take(s, u"count(*)") || !take(s, u"from") || !take(s, u"(")) return false;
    if (s.empty() || s.back() != u')') return false;
    s.remove_suffix(1);
    inner.assign(s);
    return true;
}

std::unique_ptr<jet_row_source> jet_querydef::table_scan(const std::u16string& table)
{
    const jet_catalog_entry* e = db_->catalog().find(table);
    if (e == nullptr) throw jet_error(jet_err_input_table_not_found, table);
    if (e->type == jet_object_odbc_link) throw jet_error(jet_err_odbc_connect, dsn_of(e->connect));
    if (e->type == jet_object_linked_table) {
        // A table linked from another Access file is read from there.
        auto linked = std::make_unique<jet_database>(e->database, u"", false, true, db_->file().jet3_code_page());
        jet_tabledef def = linked->tabledef(e->foreign_name.empty() ? e->name : e->foreign_name);
        auto reader = def.open_reader();
        return std::make_unique<table_source>(std::move(linked), std::move(reader));
    }
    return std::make_unique<table_source>(nullptr, db_->tabledef(e->name).open_reader());
}

std::unique_ptr<jet_row_source> jet_querydef::relationship_rows()
{
    if (db_->catalog().find(u"MSysRelationships") == nullptr)
        throw jet_error(jet_err_input_table_not_found, u"MSysRelationships");
    std::vector<jet_relationship> rels = db_->catalog().relationships();
    // ORDER BY compares text without regard to case; the column pairs of
    // one relationship stay in their own order.
    std::stable_sort(rels.begin(), rels.end(), [](const jet_relationship& a, const jet_relationship& b) {
        int c = tk_compare_nocase(a.name, b.name);
        return c != 0 ? c < 0 : a.icolumn < b.icolumn;
    });
    std::vector<std::vector<jet_value>> rows;
    for (const jet_relationship& r : rels)
        rows.push_back({text_value(r.name), text_value(r.column), text_value(r.object), text_value(r.referenced_object),
                        text_value(r.referenced_column), long_value(r.grbit)});
    return std::make_unique<list_source>(relationship_columns(), std::move(rows));
}

std::unique_ptr<jet_row_source> jet_querydef::row_count(std::u16string_view inner)
{
    std::unique_ptr<jet_row_source> src = make_source(inner);
    int64_t n = 0;
    std::vector<jet_value> row;
    src->rewind();
    while (src->next(row)) ++n;
    return std::make_unique<list_source>(count_columns(), std::vector<std::vector<jet_value>>{{long_value(n)}});
}

bool jet_querydef::own_table_scan(std::u16string_view sql, std::u16string& table)
{
    // A name the catalogue does not hold may be a saved query: the engine
    // runs those as views, and raises 3078 for a name that is neither.
    return match_table_scan(sql, table) && db_->catalog().find(table) != nullptr;
}

bool jet_querydef::answers_itself(std::u16string_view sql)
{
    std::u16string table;
    return own_table_scan(sql, table) || match_relationships(sql);
}

std::unique_ptr<jet_row_source> jet_querydef::make_source(std::u16string_view sql)
{
    std::u16string table;
    std::u16string inner;
    if (own_table_scan(sql, table)) return table_scan(table);
    if (match_relationships(sql)) return relationship_rows();
    if (match_count(sql, inner) && answers_itself(inner)) return row_count(inner);
    return db_->sql().open(sql);
}

std::vector<jet_column> jet_querydef::describe(std::u16string_view sql)
{
    std::u16string table;
    std::u16string inner;
    // The table scan's reader reads the table definition, not its rows.
    if (own_table_scan(sql, table)) return table_scan(table)->columns();
    if (match_relationships(sql)) {
        if (db_->catalog().find(u"MSysRelationships") == nullptr)
            throw jet_error(jet_err_input_table_not_found, u"MSysRelationships");
        return relationship_columns();
    }
    if (match_count(sql, inner) && answers_itself(inner)) {
        describe(inner);
        return count_columns();
    }
    return db_->sql().describe(sql);
}

std::vector<jet_field> jet_querydef::fields()
{
    check_open();
    std::vector<jet_field> out;
    for (const jet_column& c : describe(sql_)) out.emplace_back(c);
    return out;
}

void jet_querydef::test()
{
    tk_trace(2, u"jet_querydef::test(%s)", sql_);
    check_open();
    describe(sql_);
}

std::unique_ptr<jet_recordset> jet_querydef::open_recordset(int32_t type, int32_t options)
{
    tk_trace(2, "jet_querydef::open_recordset(type=%d, options=%d)", type, options);
    check_open();
    return std::make_unique<jet_recordset>(make_source(sql_), open_);
}
