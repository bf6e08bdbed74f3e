#include "jet_sql_file_source.h"

#include "jet_catalog.h"
#include "jet_file.h"
#include "jet_sql_saved_query.h"
#include "jet_table_reader.h"
#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

// The table reader of a catalogue entry, with the entry's column
// properties as the component's own table scan takes them: without them a
// calculated column would arrive as its stored bytes, header included.
std::unique_ptr<jet_table_reader> open_reader(const jet_file& file, MdbCatalogEntry* mdb_entry,
                                              const jet_catalog_entry& entry)
{
    return std::make_unique<jet_table_reader>(file, mdb_entry, entry.properties.get());
}

class file_cursor final : public jet_sql_cursor {
public:
    explicit file_cursor(std::unique_ptr<jet_table_reader> reader) : reader_(std::move(reader)) {}

    bool next(jet_sql_row_sink& sink) override
    {
        if (!reader_->next(row_)) return false;
        for (size_t i = 0; i < row_.size(); ++i) put(sink, i, row_[i]);
        return true;
    }

private:
    static void put(jet_sql_row_sink& sink, size_t i, const jet_value& v)
    {
        switch (v.kind) {
        case jet_kind::null: return sink.put_null(i);
        case jet_kind::boolean:
        case jet_kind::byte:
        case jet_kind::int16:
        case jet_kind::int32:
        case jet_kind::int64: return sink.put_int(i, v.i);
        case jet_kind::currency:
            // Below 2^53 the quotient is the double nearest the exact amount,
            // as reading its text would give, without making the text.
            if (v.i > -(int64_t{1} << 53) && v.i < (int64_t{1} << 53))
                return sink.put_double(i, static_cast<double>(v.i) / 10000.0);
            return sink.put_utf8(i, jet_currency_text(v.i));
        case jet_kind::single:
        case jet_kind::dbl: return sink.put_double(i, v.d);
        case jet_kind::date: return sink.put_date_ticks(i, v.d, v.ticks);
        case jet_kind::text:
        case jet_kind::guid: return sink.put_text(i, v.text);
        case jet_kind::binary: return sink.put_blob(i, v.bytes.data(), v.bytes.size());
        case jet_kind::decimal: return sink.put_utf8(i, jet_decimal_text(v.dec));
        }
    }

    std::unique_ptr<jet_table_reader> reader_;
    std::vector<jet_value> row_;
};

std::u16string text_at(const std::vector<jet_value>& row, int c)
{
    return c >= 0 && row[static_cast<size_t>(c)].kind == jet_kind::text ? row[static_cast<size_t>(c)].text
                                                                        : std::u16string();
}

int64_t int_at(const std::vector<jet_value>& row, int c)
{
    return c >= 0 ? row[static_cast<size_t>(c)].i : 0;
}

}  // namespace

jet_sql_file_source::jet_sql_file_source(const jet_file& file, const jet_catalog& catalog)
    : file_(file), catalog_(catalog)
{}

jet_sql_file_source::~jet_sql_file_source() = default;

const jet_catalog_entry* jet_sql_file_source::local_table(std::u16string_view name) const
{
    const jet_catalog_entry* e = catalog_.find(name);
    if (e == nullptr || e->is_linked() || catalog_.mdb_entry(*e) == nullptr) return nullptr;
    return e;
}

bool jet_sql_file_source::find_table(std::u16string_view wanted, std::u16string& name,
                                     std::vector<jet_sql_column>& columns)
{
    const jet_catalog_entry* e = local_table(wanted);
    if (e == nullptr) return false;
    std::unique_ptr<jet_table_reader> reader = open_reader(file_, catalog_.mdb_entry(*e), *e);
    name = e->name;
    columns.clear();
    for (const jet_column& c : reader->columns()) columns.push_back({c.name, c.dao_type, c.size});
    return true;
}

std::unique_ptr<jet_sql_cursor> jet_sql_file_source::open_table(const std::u16string& name)
{
    const jet_catalog_entry* e = local_table(name);
    TK_ASSERT(e != nullptr);
    return std::make_unique<file_cursor>(open_reader(file_, catalog_.mdb_entry(*e), *e));
}

std::unique_ptr<jet_sql_cursor> jet_sql_file_source::open_columns(const std::u16string& name,
                                                                  const std::vector<bool>& wanted)
{
    const jet_catalog_entry* e = local_table(name);
    TK_ASSERT(e != nullptr);
    std::unique_ptr<jet_table_reader> reader = open_reader(file_, catalog_.mdb_entry(*e), *e);
    reader->set_wanted(wanted);
    return std::make_unique<file_cursor>(std::move(reader));
}

int64_t jet_sql_file_source::row_estimate(const std::u16string& name)
{
    const jet_catalog_entry* e = local_table(name);
    if (e == nullptr) return -1;
    return open_reader(file_, catalog_.mdb_entry(*e), *e)->stored_row_count();
}

bool jet_sql_file_source::find_query(std::u16string_view wanted, std::u16string& name, std::u16string& sql)
{
    if (!queries_read_) read_queries();
    auto it = queries_.find(tk_fold_case(wanted));
    if (it == queries_.end()) return false;
    name = it->second.first;
    sql = it->second.second;
    return true;
}

void jet_sql_file_source::read_queries()
{
    queries_read_ = true;
    const jet_catalog_entry* objects = local_table(u"MSysObjects");
    const jet_catalog_entry* rows = local_table(u"MSysQueries");
    if (objects == nullptr || rows == nullptr) return;
    std::map<int64_t, std::u16string> names;
    {
        std::unique_ptr<jet_table_reader> r = open_reader(file_, catalog_.mdb_entry(*objects), *objects);
        const int c_id = r->find_column(u"Id"), c_name = r->find_column(u"Name"), c_type = r->find_column(u"Type");
        std::vector<jet_value> row;
        while (r->next(row))
            if (int_at(row, c_type) == 5) names[int_at(row, c_id)] = text_at(row, c_name);
    }
    std::map<int64_t, std::vector<jet_sql_query_row>> parts;
    {
        std::unique_ptr<jet_table_reader> r = open_reader(file_, catalog_.mdb_entry(*rows), *rows);
        const int c_obj = r->find_column(u"ObjectId"), c_attr = r->find_column(u"Attribute"),
                  c_flag = r->find_column(u"Flag"), c_n1 = r->find_column(u"Name1"), c_n2 = r->find_column(u"Name2"),
                  c_expr = r->find_column(u"Expression");
        std::vector<jet_value> row;
        while (r->next(row)) {
            jet_sql_query_row q;
            q.attribute = static_cast<int32_t>(int_at(row, c_attr));
            q.flag = static_cast<int32_t>(int_at(row, c_flag));
            q.name1 = text_at(row, c_n1);
            q.name2 = text_at(row, c_n2);
            q.expression = text_at(row, c_expr);
            parts[int_at(row, c_obj)].push_back(std::move(q));
        }
    }
    for (const auto& [id, name] : names) {
        std::u16string sql;
        if (!jet_sql_rebuild_query(parts[id], sql)) {
            tk_trace(1, u"Saved query '%s' cannot be rebuilt", name);
            continue;
        }
        queries_[tk_fold_case(name)] = {name, sql};
    }
}
