#include "jet_catalog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "jet_error.h"
#include "jet_file.h"
#include "jet_table_reader.h"
#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

// Text of a value, empty for NULL or a non-text value.
std::u16string text_of(const std::vector<jet_value>& row, int col)
{
    return col >= 0 && row[col].kind == jet_kind::text ? row[col].text : std::u16string();
}

int64_t int_of(const std::vector<jet_value>& row, int col)
{
    if (col < 0) return 0;
    switch (row[col].kind) {
    case jet_kind::boolean:
    case jet_kind::byte:
    case jet_kind::int16:
    case jet_kind::int32:
    case jet_kind::int64: return row[col].i;
    default: return 0;
    }
}

bool starts_nocase(std::u16string_view s, std::u16string_view prefix)
{
    return s.size() >= prefix.size() && tk_equal_nocase(s.substr(0, prefix.size()), prefix);
}

}  // namespace

jet_catalog::jet_catalog(const jet_file& file) : mdb_(file.mdb())
{
    tk_trace(2, "jet_catalog::jet_catalog");
    read_objects(file);
    read_relationships(file);
}

int32_t jet_catalog::attributes_of(int32_t type, uint32_t flags, std::u16string_view name)
{
    if (type == jet_object_linked_table) return jet_attr_linked;
    if (type == jet_object_odbc_link) return jet_attr_odbc;
    // System objects: the flag bits, the MSys prefix (MSysCompactError and
    // others carry no flag) and Access's temporary "~" tables.
    if ((flags & 0x80000002u) != 0 || starts_nocase(name, u"MSys") || starts_nocase(name, u"~")) return jet_attr_system;
    return 0;
}

void jet_catalog::read_objects(const jet_file& file)
{
    // MSysObjects' own definition is always page 2.
    jet_table_reader reader(file, make_entry(u"MSysObjects", 2), nullptr);
    const int c_id = reader.find_column(u"Id"), c_name = reader.find_column(u"Name"),
              c_type = reader.find_column(u"Type"), c_flags = reader.find_column(u"Flags"),
              c_connect = reader.find_column(u"Connect"), c_db = reader.find_column(u"Database"),
              c_foreign = reader.find_column(u"ForeignName"), c_props = reader.find_column(u"LvProp");
    if (c_id < 0 || c_name < 0 || c_type < 0) throw jet_error(jet_err_unrecognized_format, file.path());
    std::vector<jet_value> row;
    while (reader.next(row)) {
        jet_catalog_entry e;
        e.type = static_cast<int32_t>(int_of(row, c_type));
        if (e.type != 1 && e.type != 4 && e.type != 6) continue;
        e.name = text_of(row, c_name);
        if (e.name.empty()) continue;
        e.flags = static_cast<uint32_t>(int_of(row, c_flags));
        e.table_page = static_cast<uint32_t>(int_of(row, c_id)) & 0x00FFFFFFu;
        e.connect = text_of(row, c_connect);
        e.database = text_of(row, c_db);
        e.foreign_name = text_of(row, c_foreign);
        e.attributes = attributes_of(e.type, e.flags, e.name);
        const std::vector<uint8_t>& blob = c_props >= 0 ? row[c_props].bytes : std::vector<uint8_t>();
        e.properties = std::make_shared<jet_properties>(jet_properties::parse(file, blob.data(), blob.size()));
        if (e.type == jet_object_table) make_entry(e.name, e.table_page);
        tables_.push_back(std::move(e));
    }
}

void jet_catalog::read_relationships(const jet_file& file)
{
    const jet_catalog_entry* rel = find(u"MSysRelationships");
    if (rel == nullptr) return;  // older files may lack it: no relationships
    jet_table_reader reader(file, mdb_entry(*rel), rel->properties.get());
    const int c_name = reader.find_column(u"szRelationship"), c_obj = reader.find_column(u"szObject"),
              c_col = reader.find_column(u"szColumn"), c_ref = reader.find_column(u"szReferencedObject"),
              c_refcol = reader.find_column(u"szReferencedColumn"), c_grbit = reader.find_column(u"grbit"),
              c_cc = reader.find_column(u"ccolumn"), c_ic = reader.find_column(u"icolumn");
    std::vector<jet_value> row;
    while (reader.next(row)) {
        jet_relationship r;
        r.name = text_of(row, c_name);
        r.object = text_of(row, c_obj);
        r.column = text_of(row, c_col);
        r.referenced_object = text_of(row, c_ref);
        r.referenced_column = text_of(row, c_refcol);
        r.grbit = static_cast<int32_t>(int_of(row, c_grbit));
        r.ccolumn = static_cast<int32_t>(int_of(row, c_cc));
        r.icolumn = static_cast<int32_t>(int_of(row, c_ic));
        relationships_.push_back(std::move(r));
    }
}

const jet_catalog_entry* jet_catalog::find(std::u16string_view name) const
{
    for (const jet_catalog_entry& e : tables_)
        if (tk_equal_nocase(e.name, name)) return &e;
    return nullptr;
}

MdbCatalogEntry* jet_catalog::make_entry(const std::u16string& name, uint32_t page)
{
    auto e = std::make_unique<MdbCatalogEntry>();
    std::memset(e.get(), 0, sizeof(MdbCatalogEntry));
    e->mdb = mdb_;
    std::string utf8 = tk_to_utf8(name);
    std::snprintf(e->object_name, sizeof e->object_name, "%s", utf8.c_str());
    e->object_type = MDB_TABLE;
    e->table_pg = page;
    entries_.push_back(std::move(e));
    return entries_.back().get();
}

MdbCatalogEntry* jet_catalog::mdb_entry(const jet_catalog_entry& table) const
{
    if (table.type != 1) return nullptr;
    for (const auto& e : entries_)
        if (e->table_pg == table.table_page) return e.get();
    return nullptr;
}
