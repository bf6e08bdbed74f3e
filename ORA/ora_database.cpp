#include "ora_database.h"

#include <algorithm>

#include "ora_engine.h"
#include "ora_exception.h"
#include "ora_indexes_initializer.h"
#include "ora_report.h"
#include "ora_schema_initializer.h"
#include "ora_stmt.h"
#include "ora_table.h"
#include "ora_type_map.h"
#include "ora_validator.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_wstring.h"
#include "udb_ftd.h"

namespace {

std::u16string quoted(const std::u16string& name)
{
    return u"\"" + name + u"\"";
}

std::u16string upper(std::u16string s)
{
    tk_wstring::to_upper(s);
    return s;
}

// The sequence a trigger of ours names: SELECT "S".NEXTVAL.
std::u16string sequence_in_trigger(const std::u16string& body)
{
    static const std::u16string head = u"SELECT \"";
    static const std::u16string tail = u"\".NEXTVAL";
    size_t end = body.find(tail);
    if (end == std::u16string::npos) return {};
    size_t start = body.rfind(head, end);
    if (start == std::u16string::npos) return {};
    start += head.size();
    return body.substr(start, end - start);
}

}  // namespace

ora_database::ora_database(const std::u16string& data_source) : udb_database(data_source, 1, true)
{
    tk_trace(2, u"ora_database::ctor(%s)", data_source);
    version_ = ora_engine::instance().get_version();
    load_table_names();
    read_character_set();
}

ora_database::~ora_database() = default;

void ora_database::load_table_names()
{
    std::u16string text = version_ >= 0x80000
                              ? u"select TABLE_NAME, IOT_TYPE from user_tables where TEMPORARY='N' and NESTED='NO' and "
                                u"(IOT_TYPE IS NULL OR IOT_TYPE='IOT')"
                              : u"select TABLE_NAME from user_tables";
    // Tables in the recycle bin are not the user's tables any more.
    if (version_ >= 0xA0000) text += u" and DROPPED='NO'";
    table_names = ora_select_strings(text);
    for (const std::u16string& n : table_names) tk_trace(1, u"Find table '%s'", n);
    tk_trace(1, "Tables count: %d", static_cast<int>(table_names.size()));
}

void ora_database::read_character_set()
{
    try {
        auto rows = ora_select_strings(u"SELECT VALUE FROM NLS_DATABASE_PARAMETERS WHERE PARAMETER='NLS_CHARACTERSET'");
        if (!rows.empty()) national_lobs_ = rows.front() != u"AL32UTF8" && rows.front() != u"UTF8";
    } catch (const ora_exception& e) {
        // Unknown character set: national LOBs keep every character
        // whatever it is.
        tk_trace(2, "Database character set unknown: %s", e.message);
        national_lobs_ = true;
    }
}

void ora_database::query(const std::u16string& text)
{
    tk_trace(2, u"ora_database::query(%s)", text);
    tk_trace(3, u"Run SQL query: %s\n", text);
    ora_stmt stmt;
    stmt.prepare(text);
    // DDL commits by itself; a DML statement sent here is committed too, so
    // nothing is left in an open transaction that blocks other sessions.
    stmt.execute(1, OCI_COMMIT_ON_SUCCESS);
}

void ora_database::run_ddl_checked(const std::u16string& text, const std::u16string& trigger)
{
    tk_trace(3, u"Run SQL query: %s\n", text);
    ora_engine& engine = ora_engine::instance();
    ora_stmt stmt;
    stmt.prepare(text);
    if (stmt.execute(1) != OCI_SUCCESS_WITH_INFO) return;
    int32_t number = 0;
    std::u16string message;
    ora_read_error(engine.oci(), engine.err(), OCI_HTYPE_ERROR, 1, number, message);
    if (number == 0) number = 24344;
    // An invalid trigger makes every later insert fail (ORA-04098).
    try {
        query(u"DROP TRIGGER " + quoted(trigger));
    } catch (const ora_exception& e) {
        tk_trace(3, "Dropping the invalid trigger failed: %s", e.message);
    }
    throw ora_exception(number, message.empty() ? u"success with compilation error" : message);
}

bool ora_database::test_query(const std::u16string& text)
{
    tk_trace(2, u"ora_database::test_query(%s)", text);
    ora_stmt stmt;
    stmt.prepare(text);
    stmt.execute(1, OCI_PARSE_ONLY);
    return true;
}

void ora_database::delete_tab(const std::u16string& table)
{
    tk_trace(2, u"ora_database::delete_tab(%s)", table);
    TK_ASSERT(is_table_exist(table));
    // The sequence our trigger draws from goes with the table, or reruns
    // would leave T_0, T_1, ... behind until no name is free.
    std::u16string sequence = sequence_of(table).sequence;
    if (sequence.empty()) sequence = own_sequence_on_server(table);
    query(u"DROP TABLE " + quoted(table) + u" CASCADE CONSTRAINTS");
    udb_database::delete_tab(table);
    sequences_.erase(table);
    if (sequence.empty()) return;
    try {
        query(u"DROP SEQUENCE " + quoted(sequence));
    } catch (const ora_exception& e) {
        tk_trace(2, "Sequence not dropped: %s", e.message);
    }
}

std::u16string ora_database::own_sequence_on_server(const std::u16string& table)
{
    // Only a sequence this program made for the table: named after it
    // (base + "_" + n) and drawn by one of its triggers. A user's own
    // trigger or shared sequence is left alone; the look-up is best effort.
    try {
        for (const std::u16string& body : ora_select_strings(
                 u"SELECT TRIGGER_BODY FROM USER_TRIGGERS WHERE TABLE_NAME = " + ora_quote_literal(table))) {
            std::u16string sequence = sequence_in_trigger(body);
            size_t cut = sequence.rfind(u'_');
            if (sequence.empty() || cut == std::u16string::npos || cut + 1 == sequence.size()) continue;
            std::u16string digits = sequence.substr(cut + 1);
            if (digits.find_first_not_of(u"0123456789") != std::u16string::npos) continue;
            if (sequence.substr(0, cut) == ora_cut_name(table, ora_max_name_bytes - digits.size() - 1)) return sequence;
        }
    } catch (const ora_exception& e) {
        tk_trace(2, "Triggers of the table not read: %s", e.message);
    }
    return {};
}

std::unique_ptr<udb_recordset> ora_database::create_table(const std::u16string& table, const udb_schema& schema,
                                                          const udb_indexes& indexes)
{
    tk_trace(2, u"ora_database::create_table(%s)", table);
    TK_ASSERT(!is_table_exist(table));
    ora_schema_initializer columns(table, schema, indexes, uppercase);
    auto record_table = [&] {
        table_names.push_back(table);
        names_map.add_fn_map(table, columns.column_map());
    };
    try {
        columns.build_schema(*this);
    } catch (const tk_final_exception&) {
        record_table();  // the run ends, but the table exists
        throw;
    }
    // From here the table exists: whatever fails below is reported and the
    // table is kept, known and loadable.
    record_table();
    if (!indexes.empty()) {
        try {
            ora_indexes_initializer keys(table, indexes, columns.column_map(), columns.target_schema());
            keys.build_indexes(*this);
        } catch (const tk_final_exception&) {
            throw;
        } catch (const tk_exception& e) {
            ora_report(e, u"Indexes of table '" + table + u"'");
        }
    }
    return get_table(table, 2);
}

std::unique_ptr<udb_recordset> ora_database::get_table(const std::u16string& table, int mode)
{
    tk_trace(2, u"ora_database::get_table(%s)", table);
    TK_ASSERT(is_table_exist(table));
    return std::make_unique<ora_table>(*this, table, mode);
}

std::unique_ptr<udb_recordset> ora_database::get_query(const std::u16string& rs_name, const std::u16string& text,
                                                       int mode)
{
    tk_trace(2, u"ora_database::get_table(%s)", rs_name);
    return std::make_unique<ora_table>(*this, rs_name, text, mode);
}

ora_database::sequence_info ora_database::sequence_of(const std::u16string& table) const
{
    auto it = sequences_.find(table);
    return it == sequences_.end() ? sequence_info{} : it->second;
}

void ora_database::set_sequence(const std::u16string& table, const std::u16string& sequence,
                                const std::u16string& column)
{
    sequences_[table] = {sequence, column};
}

void ora_database::continue_sequence(const std::u16string& table)
{
    sequence_info s = sequence_of(table);
    if (s.sequence.empty()) return;
    auto top = ora_select_strings(u"SELECT MAX(" + quoted(s.column) + u") FROM " + quoted(table));
    if (top.empty() || top.front().empty()) return;
    // A sequence cannot be restarted on older servers: it is dropped and
    // made again to start after the largest loaded value. The trigger names
    // it and finds the new one.
    std::u16string start = top.front();
    if (start.find(u'.') != std::u16string::npos) start = start.substr(0, start.find(u'.'));
    long long next = std::stoll(tk_to_utf8(start)) + 1;
    if (next < 1) next = 1;
    query(u"DROP SEQUENCE " + quoted(s.sequence));
    query(u"CREATE SEQUENCE " + quoted(s.sequence) + u" INCREMENT BY 1 START WITH " +
          tk_widen_ascii(std::to_string(next)) +
          u" MAXVALUE 9999999999999999999999999999 MINVALUE 1 NOCYCLE NOCACHE ORDER");
}

std::u16string ora_database::get_tn_mapped_name_ex(const std::u16string& table) const
{
    tk_trace(1, u"ora_database::get_tn_mapped_name_ex(%s)", table);
    if (uppercase) return names_map.get_tn_mapped_name(upper(table), false);
    std::u16string exact = names_map.get_tn_mapped_name(table, true);
    if (std::find(table_names.begin(), table_names.end(), exact) != table_names.end()) return exact;
    tk_trace(1, u"Cannot find table %s", table);
    tk_trace(1, "Try to search case insensitive...");
    return names_map.get_tn_mapped_name(table, false);
}

std::u16string ora_database::get_fn_mapped_name_ex(const std::u16string& table, const std::u16string& field) const
{
    tk_trace(1, u"ora_database::get_fn_mapped_name_ex(%s)", field);
    if (uppercase) return names_map.get_fn_mapped_name(upper(table), upper(field), false);
    return names_map.get_fn_mapped_name(table, field, true);
}

void ora_database::create_fk_index_if(const std::u16string& table, const udb_name_list& columns)
{
    tk_trace(2, u"ora_database::create_fk_index_if(%s)", table);
    if (!is_table_exist(table)) return;
    std::unique_ptr<udb_recordset> rs = get_table(table, 1);
    udb_name_list mapped;
    for (const std::u16string& c : columns) mapped.push_back(get_fn_mapped_name_ex(table, c));
    if (rs->indexes.has_index_on_fields(mapped, true)) {
        tk_trace(2, u"FK index for table '%s' exists", table);
        return;
    }
    // The run builds the index-name validator; a caller without a run gets
    // one for the time of this call.
    std::unique_ptr<ora_in_validator> own;
    if (!ora_in_validator::exists()) own = std::make_unique<ora_in_validator>();
    ora_in_validator& validator = ora_in_validator::instance();
    std::u16string constraint = table + u"_UI";
    if (!validator.is_acceptable(constraint)) constraint = validator.get_safe_name(constraint);
    validator.used_names.push_back(constraint);
    validator.restricted_names.push_back(constraint);
    std::u16string list;
    for (const std::u16string& c : mapped) list += (list.empty() ? u"" : u", ") + quoted(c);
    try {
        query(u"ALTER TABLE " + quoted(table) + u" ADD CONSTRAINT " + quoted(constraint) + u" UNIQUE(" + list + u")");
        tk_trace(2, u"FK index for table '%s' has been created", table);
    } catch (const ora_exception& e) {
        tk_trace(2, "Error while creating index for FK:\n%s\n", e.message);
    }
}

void ora_database::create_relationships(const udb_relationships& relationships)
{
    tk_trace(2, "ora_database::create_relationships");
    tk_trace(3, "Converting foreign keys");
    if (open_mode == 8) {
        tk_trace(3, "Foreign Keys are not converted in append mode");
        return;
    }
    // A copy: reading a table's keys adds the foreign keys it finds to this
    // database's own list, which may be the one given.
    const udb_relationships list = relationships;
    for (const udb_relationship& r : list) {
        tk_trace(3, u"Processing '%s'", r.name);
        std::u16string ref_table = get_tn_mapped_name_ex(r.ref_table);
        if (!is_table_exist(ref_table)) {
            tk_trace(2, u"Table '%s' does not exist", ref_table);
            continue;
        }
        std::u16string table = get_tn_mapped_name_ex(r.table);
        if (!is_table_exist(table)) {
            tk_trace(2, u"Table '%s' does not exist", table);
            continue;
        }
        // Source names in, each mapped once: a target name may be another
        // column's source name ("A B" -> A_B, "A_B" -> A_B00000).
        create_fk_index_if(ref_table, r.ref_fields);
        udb_name_list ref_columns;
        for (const std::u16string& c : r.ref_fields) ref_columns.push_back(get_fn_mapped_name_ex(ref_table, c));
        std::u16string text = u"ALTER TABLE " + quoted(table) + u" ADD FOREIGN KEY (";
        for (size_t i = 0; i < r.fields.size(); ++i)
            text += (i ? u", " : u"") + quoted(get_fn_mapped_name_ex(table, r.fields[i]));
        text += u") REFERENCES " + quoted(ref_table) + u"(";
        for (size_t i = 0; i < ref_columns.size(); ++i) text += (i ? u", " : u"") + quoted(ref_columns[i]);
        text += u")";
        std::u16string rule = tk_trim(r.source_text);
        if (tk_equal_nocase(rule, u"ON DELETE SET NULL") || tk_equal_nocase(rule, u"ON DELETE CASCADE"))
            text += u" " + rule;
        try {
            query(text);
        } catch (const ora_exception& e) {
            ora_report(e, u"Foreign key '" + r.name + u"'");
        }
    }
}
