#include "dao_database.h"

#include "dao_exception.h"
#include "dao_record.h"
#include "dao_recordset.h"
#include "dao_schema_initializer.h"
#include "jet_catalog.h"
#include "jet_querydef.h"
#include "jet_recordset.h"
#include "jet_tabledef.h"
#include "tk_logger.h"
#include "tk_wstring.h"
#include "udb_field.h"

namespace {

const char16_t* const k_relationship_query =
    u"SELECT szRelationship, szColumn, szObject, szReferencedObject, szReferencedColumn, grbit FROM "
    u"MSysRelationships ORDER BY szRelationship";

void trace_sink(const std::u16string& database, const tk_exception& e)
{
    tk_trace(3, u"Error:\n%s: %s", database, tk_from_ansi(e.message));
}

dao_database::error_sink g_sink = trace_sink;

// DAO's recordset options: dbReadOnly for reading, dbAppendOnly otherwise.
int32_t options_for(int mode)
{
    return (mode & dao_database::k_read_only) != 0 ? 4 : 8;
}

// TableDefs.Append and TableDefs.Delete, as the component answers them.
[[noreturn]] void refuse_write()
{
    dao_invoke([] { throw jet_error(jet_err_not_supported); });
    TK_FAIL();  // dao_invoke always raises here
}

}  // namespace

void dao_database::set_error_sink(error_sink sink)
{
    g_sink = sink != nullptr ? sink : trace_sink;
}

dao_database::error_sink dao_database::get_error_sink()
{
    return g_sink;
}

dao_database::dao_database(const std::u16string& name, std::unique_ptr<jet_database> db, int mode)
    : udb_database(name, mode, false), db_(std::move(db))
{
    tk_trace(2, u"dao_database::dao_database( %s )", name);
    TK_ASSERT(db_);
    read_catalogue();
    if ((mode & k_skip_relationships) != 0) return;
    try {
        init_fkeys();
    } catch (const tk_exception& e) {
        g_sink(name, e);
    }
}

dao_database::~dao_database()
{
    tk_trace(2, "dao_database::~dao_database");
    try {
        db_->close();
    } catch (const tk_exception&) {
        // Closing an Access file read-only cannot lose anything.
    }
}

bool dao_database::is_skipped(int32_t attributes)
{
    return (attributes & (jet_attr_linked | jet_attr_system)) != 0;
}

std::u16string dao_database::table_statement(const std::u16string& table)
{
    return u"SELECT * FROM [" + table + u"]";
}

void dao_database::read_catalogue()
{
    std::vector<jet_tabledef> defs = dao_invoke([&] { return db_->tabledefs(); });
    for (const jet_tabledef& t : defs) {
        const int32_t attributes = t.attributes();
        if ((attributes & jet_attr_linked) != 0)
            tk_trace(2, u"Skip linked table '%s'", t.name());
        else if ((attributes & jet_attr_system) != 0)
            tk_trace(2, u"Skip system table '%s'", t.name());
        else {
            tk_trace(2, u"Got table: '%s'", t.name());
            table_names.push_back(t.name());
        }
    }
}

std::unique_ptr<jet_querydef> dao_database::temp_querydef(const std::u16string& sql)
{
    std::unique_ptr<jet_querydef> qd = dao_invoke([&] { return db_->create_querydef(u"", sql); });
    if (!qd) dao_raise_unknown();
    return qd;
}

void dao_database::init_fkeys()
{
    tk_trace(2, "dao_database::init_fkeys");
    std::unique_ptr<jet_querydef> qd = temp_querydef(k_relationship_query);
    std::unique_ptr<jet_recordset> rs = dao_invoke([&] { return qd->open_recordset(2, 4); });
    if (!rs) dao_raise_unknown();
    read_relationship_rows(*rs);
}

void dao_database::read_relationship_rows(jet_recordset& rs)
{
    udb_relationship current;
    bool open = false;
    if (!rs.eof()) dao_invoke([&] { rs.move_first(); });
    while (!rs.eof()) {
        tk_trace(1, "Reading next record from MSysRelationships");
        dao_record row(dao_invoke([&]() -> const std::vector<jet_field>& { return rs.fields(); }));
        TK_ASSERT(row.size() == 6);
        const std::u16string name = row[0].to_wstring();
        const std::u16string column = row[1].to_wstring();
        const std::u16string object = row[2].to_wstring();
        const std::u16string ref_object = row[3].to_wstring();
        const std::u16string ref_column = row[4].to_wstring();
        if (open && tk_equal_nocase(name, current.source_text)) {
            tk_trace(1, u"'%s' is a multi-column FK", name);
        } else {
            if (open) finish_relationship(current);
            current = udb_relationship{};
            current.source_text = name;
            current.table = object;
            current.ref_table = ref_object;
            open = true;
        }
        current.fields.push_back(column);
        current.ref_fields.push_back(ref_column);
        tk_trace(1, u"rels_name=%s, src=%s.%s, dest=%s.%s", name, object, column, ref_object, ref_column);
        dao_invoke([&] { rs.move_next(); });
    }
    if (open) finish_relationship(current);
}

void dao_database::finish_relationship(udb_relationship& rel)
{
    rel.name = relationships.gen_relship_name(rel);
    relationships.push_back(std::move(rel));
}

std::unique_ptr<udb_recordset> dao_database::get_table(const std::u16string& name, int mode)
{
    tk_trace(2, u"dao_database::get_table(%s, %d)", name, mode);
    // A linked or system table is not in the catalogue but is still a
    // table of the file: it is answered with none below. Only a name the
    // file does not know at all is a caller's error.
    if (!is_table_exist(name)) TK_ASSERT(db_->catalog().find(name) != nullptr);
    const std::u16string sql = table_statement(name);
    auto def = std::make_unique<jet_tabledef>(dao_invoke([&] { return db_->tabledef(name); }));
    tk_trace(1, "Right after tdfs->getItem");
    if (is_skipped(def->attributes())) return nullptr;
    std::unique_ptr<jet_querydef> qd = temp_querydef(sql);
    tk_trace(1, "Right after src->CreateQueryDef");
    std::unique_ptr<jet_recordset> rs = dao_invoke([&] { return qd->open_recordset(2, options_for(mode)); });
    if (!rs) dao_raise_unknown();
    return std::make_unique<dao_recordset>(def->name(), std::move(rs), std::move(def));
}

uint32_t dao_database::count_rows(const std::u16string& sql)
{
    std::unique_ptr<jet_querydef> qd = temp_querydef(u"select count(*) from (" + sql + u")");
    std::unique_ptr<jet_recordset> rs = dao_invoke([&] { return qd->open_recordset(2, 4); });
    if (!rs) dao_raise_unknown();
    if (rs->eof()) return 0;
    dao_invoke([&] { rs->move_first(); });
    const ole_variant value = dao_invoke([&] { return rs->fields().at(0).value(); });
    return static_cast<uint32_t>(value.to_long());
}

std::unique_ptr<udb_recordset> dao_database::get_query(const std::u16string& name, const std::u16string& text, int mode)
{
    tk_trace(2, u"dao_database::get_query(%s, %d)", name, mode);
    std::unique_ptr<jet_querydef> qd = temp_querydef(text);
    std::unique_ptr<jet_recordset> rs = dao_invoke([&] { return qd->open_recordset(2, options_for(mode)); });
    if (!rs) dao_raise_unknown();
    const uint32_t count = count_rows(text);
    return std::make_unique<dao_recordset>(name, text, std::move(rs), std::move(qd), count);
}

bool dao_database::test_query(const std::u16string& text)
{
    tk_trace(2, u"dao_database::test_query(%s)", text);
    try {
        // The component's dynaset would read the first row; compiling the
        // statement and resolving its names answers the same question
        // without reading the tables.
        std::unique_ptr<jet_querydef> qd = temp_querydef(text);
        dao_invoke([&] { qd->test(); });
        return true;
    } catch (const tk_exception& e) {
        tk_trace(2, "Error: %s", e.message);
        return false;
    }
}

void dao_database::delete_tab(const std::u16string& name)
{
    tk_trace(1, u"dao_database::delete_tab(%s)", name);
    TK_ASSERT((open_mode & k_read_only) == 0);
    TK_ASSERT(is_table_exist(name));
    // TableDefs.Delete: the component writes nothing into Access files,
    // so the table stays, and so does its catalogue entry.
    refuse_write();
}

std::unique_ptr<udb_recordset> dao_database::create_table(const std::u16string& name, const udb_schema& schema,
                                                          const udb_indexes& indexes)
{
    tk_trace(2, u"dao_database::create_table (%s)", name);
    TK_ASSERT((open_mode & k_read_only) == 0);
    if (is_table_exist(name)) {
        TK_ASSERT((open_mode & k_open_existing) != 0);
        return get_table(name, 8);
    }
    // The definitions are checked and named as Access would take them, so
    // that a schema Access could not hold fails the same way; appending
    // the TableDef is then refused, since the component writes nothing.
    dao_schema_initializer(schema).initialize();
    dao_indexes_initializer(indexes, schema).initialize();
    tk_trace(1, "Right before Append");
    refuse_write();
}
