#include "jet_viewer.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "jet_dao_types.h"
#include "jet_database.h"
#include "jet_dbengine.h"
#include "jet_querydef.h"
#include "jet_recordset.h"
#include "jet_tabledef.h"
#include "ole_vartype.h"
#include "tk_wstring.h"

namespace {

std::string hex(const std::vector<uint8_t>& bytes)
{
    static const char k[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        s += k[b >> 4];
        s += k[b & 15];
    }
    return s;
}

// A Date/Time Extended value (ticks below the second) prints them as
// seven digits after the second.
std::string date_text(double number, uint32_t ticks)
{
    jet_date_parts p;
    if (!jet_split_date(number, p)) return "null";
    // Whole seconds, rounded as DAO rounds them.
    int32_t seconds = p.hour * 3600 + p.minute * 60 + p.second + (p.millisecond >= 500 ? 1 : 0);
    if (seconds == 86400) {
        jet_date_parts midnight{p.year, p.month, p.day, 0, 0, 0, 0, 0};
        jet_split_date(jet_join_date(midnight) + 1.0, p);
        seconds = 0;
    }
    char buf[48];
    std::snprintf(buf, sizeof buf, "\"%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, seconds / 3600,
                  seconds / 60 % 60, seconds % 60);
    std::string out = buf;
    if (ticks != 0) {
        std::snprintf(buf, sizeof buf, ".%07u", static_cast<unsigned>(ticks % 10000000));
        out += buf;
    }
    return out + "\"";
}

std::string value_json(const jet_value& v)
{
    switch (v.kind) {
    case jet_kind::null: return "null";
    case jet_kind::boolean: return v.i ? "true" : "false";
    case jet_kind::byte:
    case jet_kind::int16:
    case jet_kind::int32:
    case jet_kind::int64: return std::to_string(v.i);
    case jet_kind::currency: return jet_currency_text(v.i);
    case jet_kind::decimal: return jet_decimal_text(v.dec);
    case jet_kind::single: {
        float f = static_cast<float>(v.d);
        return std::isfinite(f) ? jet_viewer::shortest(f) : "null";
    }
    case jet_kind::dbl: return std::isfinite(v.d) ? jet_viewer::shortest(v.d) : "null";
    case jet_kind::date: return date_text(v.d, v.ticks);
    case jet_kind::text: return jet_viewer::json_string(v.text);
    case jet_kind::guid: return jet_viewer::json_string(jet_guid_text(v.bytes.data()));
    case jet_kind::binary: return "\"" + hex(v.bytes) + "\"";
    }
    return "null";
}

std::string flag(bool b)
{
    return b ? "true" : "false";
}

std::string strings(const std::vector<std::u16string>& list)
{
    std::string s = "[";
    for (size_t i = 0; i < list.size(); ++i) s += (i ? ", " : "") + jet_viewer::json_string(list[i]);
    return s + "]";
}

void write_rows(jet_recordset& rs, std::ostream& out)
{
    out << "[";
    bool first = true;
    while (!rs.eof()) {
        out << (first ? "\n       [" : ",\n       [");
        first = false;
        const std::vector<jet_field>& f = rs.fields();
        for (size_t i = 0; i < f.size(); ++i) out << (i ? ", " : "") << value_json(f[i].raw_value());
        out << "]";
        rs.move_next();
    }
    out << "]";
}

void write_table(jet_database& db, jet_tabledef& t, bool rows, std::ostream& out)
{
    out << "    {\"name\": " << jet_viewer::json_string(t.name())
        << ", \"attributes\": " << static_cast<uint32_t>(t.attributes()) << ", \"record_count\": " << t.record_count()
        << ",\n";
    out << "     \"columns\": [";
    std::vector<jet_field> fields = t.fields();
    for (size_t i = 0; i < fields.size(); ++i) {
        const jet_field& f = fields[i];
        out << (i ? ",\n       " : "\n       ") << "{\"name\": " << jet_viewer::json_string(f.name())
            << ", \"dao_type\": " << f.type() << ", \"size\": " << f.size() << ", \"required\": " << flag(f.required())
            << ", \"auto_increment\": " << flag((f.attributes() & jet_field_auto_increment) != 0)
            << ", \"default\": " << jet_viewer::json_string(f.default_value())
            << ", \"kind\": " << jet_viewer::neutral_kind(f.type()) << "}";
    }
    out << "],\n     \"skipped_columns\": " << strings(t.skipped_columns()) << ",\n     \"indexes\": [";
    std::vector<jet_index> idx = t.indexes();
    for (size_t i = 0; i < idx.size(); ++i)
        out << (i ? ",\n       " : "\n       ") << "{\"name\": " << jet_viewer::json_string(idx[i].name)
            << ", \"primary\": " << flag(idx[i].primary) << ", \"unique\": " << flag(idx[i].unique)
            << ", \"foreign\": " << flag(idx[i].foreign) << ", \"fields\": " << strings(idx[i].fields) << "}";
    out << "]";
    if (rows) {
        out << ",\n     \"rows\": ";
        auto rs = db.create_querydef(u"", u"SELECT * FROM [" + t.name() + u"]")->open_recordset(2, 4);
        write_rows(*rs, out);
    }
    out << "}";
}

// Opens the database the options name, with the workgroup logon when one
// is given.
std::unique_ptr<jet_database> open_database(const jet_inspect_options& o, std::unique_ptr<jet_dbengine>& engine)
{
    engine = jet_dbengine::create(3);
    engine->set_jet3_code_page(o.jet3_code_page);
    if (!o.workgroup.empty() && !o.user.empty()) {
        engine->set_system_db(o.workgroup);
        engine->create_workspace(u"New Workspace", o.user, o.user_password);
    }
    return engine->open_database(o.file, false, true, o.password.empty() ? u"" : u";pwd=" + o.password);
}

}  // namespace

int jet_viewer::neutral_kind(int16_t dao_type)
{
    switch (dao_type) {
    case jet_dao_boolean: return VT_BOOL;
    case jet_dao_byte: return VT_UI1;
    case jet_dao_integer: return VT_I2;
    case jet_dao_long: return VT_I4;
    case jet_dao_currency: return VT_CY;
    case jet_dao_single: return VT_R4;
    case jet_dao_double:
    case jet_dao_numeric:
    case jet_dao_float: return VT_R8;
    case jet_dao_date:
    case jet_dao_time:
    case jet_dao_date_time_extended: return VT_DATE;
    case jet_dao_text:
    case jet_dao_memo: return VT_BSTR;
    case jet_dao_bigint: return VT_I8;        // exact, not raw bytes
    case jet_dao_decimal: return VT_DECIMAL;  // exact, not a double
    default: return VT_BLOB;
    }
}

std::string jet_viewer::json_string(std::u16string_view text)
{
    std::string u = tk_to_utf8(text);
    std::string out = "\"";
    for (unsigned char c : u) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char b[8];
            std::snprintf(b, sizeof b, "\\u%04x", c);
            out += b;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string jet_viewer::shortest(double value)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string jet_viewer::shortest(float value)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

void jet_viewer::inspect_query(const jet_inspect_options& o, std::ostream& out)
{
    std::unique_ptr<jet_dbengine> engine;
    std::unique_ptr<jet_database> db = open_database(o, engine);
    std::unique_ptr<jet_querydef> qd = db->create_querydef(u"", o.query);
    // The recordset goes before the database it reads.
    {
        std::unique_ptr<jet_recordset> rs = qd->open_recordset(2, 4);
        out << "{\"file\": " << json_string(o.file) << ", \"format\": \"" << db->file().header().format_name()
            << "\",\n \"query\": " << json_string(o.query) << ", \"record_count\": " << rs->record_count()
            << ",\n \"columns\": [";
        std::vector<jet_field> fields = qd->fields();
        for (size_t i = 0; i < fields.size(); ++i)
            out << (i ? ",\n   " : "\n   ") << "{\"name\": " << json_string(fields[i].name())
                << ", \"dao_type\": " << fields[i].type() << ", \"size\": " << fields[i].size()
                << ", \"kind\": " << neutral_kind(fields[i].type()) << "}";
        out << "]";
        if (o.rows) {
            out << ",\n \"rows\": ";
            write_rows(*rs, out);
        }
        out << "}\n";
    }
    qd.reset();
    db->close();
}

void jet_viewer::test_query(const jet_inspect_options& o, std::ostream& out)
{
    std::unique_ptr<jet_dbengine> engine;
    std::unique_ptr<jet_database> db = open_database(o, engine);
    db->create_querydef(u"", o.test_query)->test();
    out << "ok\n";
}

void jet_viewer::inspect(const jet_inspect_options& o, std::ostream& out)
{
    if (!o.query.empty()) return inspect_query(o, out);
    if (!o.test_query.empty()) return test_query(o, out);
    std::unique_ptr<jet_dbengine> engine;
    std::unique_ptr<jet_database> db = open_database(o, engine);
    if (!o.table.empty()) db->tabledef(o.table);  // 3265 for an unknown table

    out << "{\"file\": " << json_string(o.file) << ", \"format\": \"" << db->file().header().format_name() << "\",\n";
    out << " \"tables\": [\n";
    std::vector<std::pair<std::u16string, std::string>> skipped;
    bool first = true;
    for (jet_tabledef& t : db->tabledefs()) {
        if (!o.table.empty() && !tk_equal_nocase(t.name(), o.table)) continue;
        if (t.attributes() & jet_attr_linked) {
            skipped.emplace_back(t.name(), "linked");
            continue;
        }
        if (t.attributes() & jet_attr_system) {
            skipped.emplace_back(t.name(), "system");
            continue;
        }
        if (!first) out << ",\n";
        first = false;
        // Each table is written whole or replaced by its error, so that one
        // unreadable table leaves a sound document and the others are read.
        std::ostringstream one;
        try {
            write_table(*db, t, o.rows, one);
            out << one.str();
        } catch (const jet_error& e) {
            out << "    {\"name\": " << json_string(t.name())
                << ", \"attributes\": " << static_cast<uint32_t>(t.attributes())
                << ", \"linked\": " << flag((t.attributes() & 0x60000000) != 0)
                << ",\n     \"error\": {\"number\": " << e.number << ", \"description\": " << json_string(e.description)
                << "}}";
        }
    }
    out << "],\n \"skipped\": [";
    for (size_t i = 0; i < skipped.size(); ++i)
        out << (i ? ",\n   " : "\n   ") << "{\"name\": " << json_string(skipped[i].first) << ", \"reason\": \""
            << skipped[i].second << "\"}";
    out << "],\n \"relationships\": [";
    const std::vector<jet_relationship>& rels = db->catalog().relationships();
    for (size_t i = 0; i < rels.size(); ++i) {
        const jet_relationship& r = rels[i];
        out << (i ? ",\n   " : "\n   ") << "{\"name\": " << json_string(r.name)
            << ", \"table\": " << json_string(r.object) << ", \"column\": " << json_string(r.column)
            << ", \"referenced_table\": " << json_string(r.referenced_object)
            << ", \"referenced_column\": " << json_string(r.referenced_column) << ", \"grbit\": " << r.grbit
            << ", \"pair\": " << r.icolumn << "}";
    }
    out << "]}\n";
}
