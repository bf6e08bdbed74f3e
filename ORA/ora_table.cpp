#include "ora_table.h"

#include <algorithm>
#include <cstdint>

#include "ora_database.h"
#include "ora_engine.h"
#include "ora_exception.h"
#include "ora_lob_insert.h"
#include "ora_schema_initializer.h"
#include "ora_type_map.h"
#include "ora_validator.h"
#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_wstring.h"
#include "udb_field.h"
#include "udb_ftd.h"
#include "udb_record.h"

namespace {

const char* const k_structure_mismatch = "The structure of data source does not conform to the destination table.";

std::u16string quoted(const std::u16string& name)
{
    return u"\"" + name + u"\"";
}

}  // namespace

ora_table::ora_table(ora_database& database, const std::u16string& table_name, int)
    : ora_query_results(table_name, u""), database_(database)
{
    init_schema();
    if (!ora_engine::instance().skip_keys) init_indexes();
    record_count = ora_engine::instance().get_records_cnt(name);
    tk_trace(1, "Got %d records", record_count);
}

ora_table::ora_table(ora_database& database, const std::u16string& table_name, const std::u16string& text, int)
    : ora_query_results(table_name, text), database_(database)
{
    init_schema();
    record_count = ora_engine::instance().get_records_cnt(text, true);
    tk_trace(1, "Got %d records", record_count);
}

ora_table::~ora_table()
{
    // Nothing a table wrote may stay in an open transaction. A destructor
    // must not throw: a failed commit is traced only.
    try {
        wait_for_batch();
    } catch (const std::exception& e) {
        tk_trace(3, "Batch failed at the end of table: %s", e.what());
    }
    if (!dirty_) return;
    try {
        ora_engine::instance().commit();
    } catch (const std::exception& e) {
        tk_trace(3, "Commit at the end of table failed: %s", e.what());
    }
}

int32_t ora_table::get_columns_cnt()
{
    tk_trace(2, "ora_table::get_columns_cnt");
    auto rows =
        ora_select_strings(u"SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE table_name = " + ora_quote_literal(name));
    return rows.empty() ? 0 : std::stoi(tk_to_utf8(rows.front()));
}

void ora_table::init_schema()
{
    tk_trace(2, "ora_table::init_schema");
    if (is_query()) {
        initialize(0, query_text);
        return;
    }
    int32_t count = get_columns_cnt();
    tk_trace(1, "Got %d columns", count);
    if (count == 0) {
        tk_trace(1, "Empty table");
        TK_FAIL();
    }
    initialize(static_cast<uint32_t>(count), u"SELECT * FROM " + quoted(name));
    ora_query_results defaults(3, u"select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE from USER_TAB_COLUMNS "
                                  u"where table_name = " +
                                      ora_quote_literal(name));
    while (!defaults.is_eof()) {
        udb_record& row = *defaults.get_item();
        std::u16string column_name = row[0].to_wstring();
        int eye = schema.get_field_idx(column_name);
        tk_trace(1, u"Got field '%s'", column_name);
        if (eye < 0) {
            tk_trace(2, "Field not found in schema");
            continue;
        }
        t_ftd& f = schema[static_cast<size_t>(eye)];
        std::u16string def = row[1].is_null() ? u"" : row[1].to_wstring();
        std::u16string type = row[2].is_null() ? u"" : row[2].to_wstring();
        if (!tk_trim(def).empty()) {
            tk_trace(1, u"Got default string: %s (eye=%d, type=%d)", def, eye, f.vartype);
            f.def_value = get_def_value(f.vartype, def);
        }
        if (type == u"NVARCHAR2" || type == u"NCHAR") {
            tk_trace(1, "Tuning field size for NCHAR/NVARCHAR (eye=%d)", eye);
            f.size /= 2;
            ora_query_results::column(static_cast<size_t>(eye)).size = f.size;
        } else if (type.starts_with(u"TIMESTAMP")) {
            f.fraction_digits = 7;
        }
    }
}

ole_variant ora_table::get_def_value(ole_vartype vt, const std::u16string& source)
{
    tk_trace(1, u"ora_table::get_def_value(type=0x%08X, src=%s)", vt, source);
    std::u16string text = tk_trim(source);
    bool quoted_text = text.size() > 1 && text.front() == u'\'' && text.back() == u'\'';
    // N'...' as this program writes text defaults.
    if (!quoted_text && text.size() > 2 && (text[0] == u'N' || text[0] == u'n') && text[1] == u'\'' &&
        text.back() == u'\'') {
        text.erase(0, 1);
        quoted_text = true;
    }
    if (quoted_text) text = text.substr(1, text.size() - 2);
    if (vt == VT_BSTR && !quoted_text) {
        tk_trace(1, "Incorrect/empty/null default value for VT_BSTR");
        return {};
    }
    if (vt == VT_DATE) return {};
    std::u16string value;
    for (size_t i = 0; i < text.size(); ++i) {
        value += text[i];
        if (text[i] == u'\'' && i + 1 < text.size() && text[i + 1] == u'\'') ++i;
    }
    ole_variant v;
    try {
        v.from_wstring(value, vt);
    } catch (const tk_exception&) {
        return {};
    }
    return v;
}

void ora_table::init_indexes()
{
    tk_trace(2, "ora_table::init_indexes");
    std::u16string key_name;
    {
        ora_query_results pk(2, u"SELECT a.constraint_name, a.column_name FROM user_cons_columns a, "
                                u"user_constraints b WHERE a.table_name=" +
                                    ora_quote_literal(name) +
                                    u" AND a.constraint_name=b.constraint_name AND b.constraint_type='P' "
                                    u"ORDER BY a.constraint_name, a.position");
        udb_index key;
        while (!pk.is_eof()) {
            udb_record& row = *pk.get_item();
            if (key_name.empty()) {
                key_name = row[0].to_wstring();
                tk_trace(1, u"Got primary key '%s'", key_name);
            }
            std::u16string column = row[1].to_wstring();
            if (schema.get_field_idx(column) < 0)
                tk_trace(1, u"PK field '%s' not found - skip it", column);
            else
                key.fields.push_back(column);
        }
        if (!key_name.empty()) add_index(udb_index(key_name, true, true, key.fields));
    }
    std::u16string text =
        u"SELECT user_indexes.index_name, user_indexes.uniqueness, user_ind_columns.column_name FROM "
        u"user_ind_columns, user_indexes where user_ind_columns.table_name = " +
        ora_quote_literal(name) + (database_.version() >= 0x80000 ? u" AND user_indexes.generated='N'" : u"") +
        u" AND user_ind_columns.index_name = user_indexes.index_name AND user_ind_columns.table_name = "
        u"user_indexes.table_name ORDER BY user_indexes.index_name, user_ind_columns.column_position";
    ora_query_results idx(3, text);
    udb_index current;
    auto flush = [&] {
        if (current.name.empty() || current.fields.empty()) return;
        if (current.name == key_name) {
            tk_trace(1, "Skip Primary Key DoubleInitialization");
            return;
        }
        add_index(current);
    };
    while (!idx.is_eof()) {
        udb_record& row = *idx.get_item();
        std::u16string index_name = row[0].to_wstring();
        if (index_name != current.name) {
            flush();
            bool unique = row[1].to_wstring() == u"UNIQUE";
            tk_trace(1, u"Got index '%s' (unique=%d)", index_name, unique ? 1 : 0);
            current = udb_index(index_name, unique, false, {});
        }
        std::u16string column = row[2].to_wstring();
        if (schema.get_field_idx(column) < 0)
            tk_trace(1, u"Index field '%s' not found - skip it", column);
        else
            current.fields.push_back(column);
    }
    flush();
    if (!key_name.empty()) init_foreign_keys(key_name);
}

void ora_table::init_foreign_keys(const std::u16string& key_name)
{
    ora_query_results fk(4, u"select a.TABLE_NAME,a.CONSTRAINT_NAME,a.DELETE_RULE,b.COLUMN_NAME, "
                            u"b.POSITION FROM USER_CONSTRAINTS a, USER_CONS_COLUMNS b WHERE "
                            u"a.CONSTRAINT_NAME=b.CONSTRAINT_NAME and a.CONSTRAINT_TYPE='R' and "
                            u"a.R_CONSTRAINT_NAME=" +
                                ora_quote_literal(key_name) + u" ORDER BY a.CONSTRAINT_NAME, b.POSITION");
    const udb_index* key = key_index >= 0 ? &indexes[static_cast<size_t>(key_index)] : nullptr;
    udb_relationship current;
    auto flush = [&] {
        if (current.name.empty()) return;
        // The referenced columns are the key's, in the order of the
        // foreign-key columns.
        if (key != nullptr) current.ref_fields = key->fields;
        if (!database_.relationships.is_acceptable_name(current.name)) return;
        database_.relationships.push_back(current);
    };
    bool any = false;
    while (!fk.is_eof()) {
        udb_record& row = *fk.get_item();
        any = true;
        std::u16string constraint = row[1].to_wstring();
        tk_trace(1, u"GOT FK: %s,%s,%s,%s", row[0].to_wstring(), constraint, row[2].to_wstring(), row[3].to_wstring());
        if (constraint != current.name) {
            flush();
            current = udb_relationship();
            current.name = constraint;
            current.table = row[0].to_wstring();
            current.ref_table = name;
            std::u16string rule = row[2].is_null() ? u"" : row[2].to_wstring();
            if (!rule.empty()) current.source_text = u"ON DELETE " + rule;
        }
        current.fields.push_back(row[3].to_wstring());
    }
    flush();
    if (!any) tk_trace(1, "No foreign keys found");
}

bool ora_table::is_key_column(const std::u16string& column, bool primary_only) const
{
    for (const udb_index& i : indexes) {
        if (primary_only ? !i.primary : !(i.primary || i.unique)) continue;
        if (std::find(i.fields.begin(), i.fields.end(), column) != i.fields.end()) return true;
    }
    return false;
}

const std::vector<int>& ora_table::match_columns(const udb_record& record)
{
    bool same = match_names_.size() == record.size();
    for (size_t j = 0; same && j < record.size(); ++j) same = match_names_[j] == record[j].name;
    if (!same) {
        match_pos_ = compute_match(record);
        match_names_.clear();
        for (size_t j = 0; j < record.size(); ++j) match_names_.push_back(record[j].name);
    }
    return match_pos_;
}

std::vector<int> ora_table::compute_match(const udb_record& record) const
{
    std::vector<std::u16string> field_names;
    for (size_t j = 0; j < record.size(); ++j) field_names.push_back(record[j].name);
    // Each field's column name: the one stored when the table was made
    // here, else the name the table would have given the field.
    std::vector<std::u16string> targets;
    const t_names_map* map = database_.names_map.field_map(name);
    ora_fn_validator validator(record);
    std::vector<std::u16string> derived =
        ora_schema_initializer::column_names(field_names, database_.uppercase, validator);
    for (size_t j = 0; j < record.size(); ++j) {
        bool mapped = map != nullptr && map->pairs().count(field_names[j]) > 0;
        targets.push_back(mapped ? map->get_mapped_name(field_names[j], true) : derived[j]);
    }
    std::vector<int> pos(schema.size(), -1);
    std::vector<bool> used(record.size(), false);
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t c = 0; c < schema.size(); ++c) {
            if (pos[c] >= 0) continue;
            for (size_t j = 0; j < targets.size(); ++j) {
                bool same = pass == 0 ? targets[j] == schema[c].name : tk_equal_nocase(targets[j], schema[c].name);
                if (!used[j] && same) {
                    pos[c] = static_cast<int>(j);
                    used[j] = true;
                    break;
                }
            }
        }
    }
    bool complete = record.size() >= schema.size() ? std::none_of(pos.begin(), pos.end(), [](int p) { return p < 0; })
                                                   : std::all_of(used.begin(), used.end(), [](bool u) { return u; });
    if (!complete) {
        tk_trace(1, u"Field not found in appending record (table %s)", name);
        throw tk_exception(k_structure_mismatch, 0);
    }
    return pos;
}

std::u16string ora_table::get_fld_append_wstr(size_t column, const udb_field& field, const t_ftd& descriptor)
{
    tk_trace(1, "ora_table::get_fld_append_wstr");
    std::u16string text;
    if (!ora_value_in_range(field)) {
        tk_trace(1, "Number is out of range");
        std::u16string def = make_ora_def_val(&descriptor);
        text = descriptor.b_not_null && !def.empty() ? def : u"NULL";
    } else if (ora_is_lob(descriptor)) {
        tk_trace(1, "Got LOB - put placeholder");
        if (field.is_empty_or_null())
            text = u"NULL";
        else
            text = ora_is_text_kind(descriptor.vartype) ? u"EMPTY_CLOB()" : u"EMPTY_BLOB()";
    } else {
        text = ora_value_literal(field, &descriptor);
    }
    if (text == u"NULL" && descriptor.b_not_null && !is_key_column(descriptor.name, true)) {
        tk_trace(1, "Put NULL-field");
        reset_not_null_flag(column);
    }
    return text;
}

void ora_table::reset_not_null_flag(size_t column)
{
    tk_trace(2, "ora_table::reset_not_null_flag(%d)", static_cast<int>(column));
    TK_ASSERT(column < schema.size());
    wait_for_batch();
    t_ftd& f = schema[column];
    std::u16string text = u"ALTER TABLE " + quoted(name) + u" MODIFY " + quoted(f.name) + u" NULL";
    database_.query(text);
    f.b_not_null = false;
}

void ora_table::append_record(udb_record& record)
{
    tk_trace(2, "ora_table::append_record");
    wait_for_batch();
    const std::vector<int> pos = match_columns(record);
    std::u16string columns, values;
    ora_lob_insert lobs(name, schema);
    std::vector<const udb_field*> lob_values(lobs.columns().size(), nullptr);
    size_t lob_at = 0;
    for (size_t c = 0; c < schema.size(); ++c) {
        bool lob = lob_at < lobs.columns().size() && lobs.columns()[lob_at].position == c;
        if (pos[c] < 0) {
            if (lob) ++lob_at;
            continue;
        }
        const udb_field& field = record[static_cast<size_t>(pos[c])];
        if (!columns.empty()) {
            columns += u", ";
            values += u", ";
        }
        columns += quoted(schema[c].name);
        values += get_fld_append_wstr(c, field, schema[c]);
        if (lob) lob_values[lob_at++] = &field;
    }
    std::u16string text = u"INSERT /*+ APPEND */ INTO " + quoted(name) + u" (" + columns + u") VALUES(" + values;
    bool has_lobs = std::any_of(lob_values.begin(), lob_values.end(),
                                [](const udb_field* f) { return f != nullptr && !f->is_empty_or_null(); });
    std::u16string rowid = rowid_.do_insert(text, !has_lobs);
    tk_trace(1, u"GOT ROWID(2): %s", rowid);
    if (has_lobs) {
        dirty_ = true;
        try {
            lobs.insert_rowid(rowid, lob_values);
        } catch (...) {
            // The row stays, with what its LOBs got; the error goes on to
            // the run, and nothing is left open behind it.
            ora_engine::instance().commit();
            dirty_ = false;
            throw;
        }
        ora_engine::instance().commit();
        dirty_ = false;
    }
    ++rows_written;
    tk_trace(1, "ora_table::append_record - at the END");
}

void ora_table::update(udb_record& record)
{
    tk_trace(2, "ora_table::update");
    wait_for_batch();
    if (key_index < 0) {
        // Without a key the row cannot be found: saying nothing would lose it.
        tk_trace(1, "Missing primary/unique key");
        throw tk_exception("The row cannot be updated: the table has no primary or unique key.", 0);
    }
    const udb_index& key = indexes.at(static_cast<size_t>(key_index));
    const std::vector<int> pos = match_columns(record);
    ora_lob_insert lobs(name, schema);
    std::vector<const udb_field*> lob_values(lobs.columns().size(), nullptr);
    std::u16string set, where;
    size_t lob_at = 0;
    for (size_t c = 0; c < schema.size(); ++c) {
        bool lob = lob_at < lobs.columns().size() && lobs.columns()[lob_at].position == c;
        if (pos[c] < 0) {
            if (lob) ++lob_at;
            continue;
        }
        const udb_field& field = record[static_cast<size_t>(pos[c])];
        const t_ftd& f = schema[c];
        bool key_column = std::find(key.fields.begin(), key.fields.end(), f.name) != key.fields.end();
        if (key_column) {
            tk_trace(1, u"Field %s is a part of UKey", f.name);
            if (!where.empty()) where += u" AND ";
            std::u16string literal = ora_value_literal(field, &f);
            where += literal == u"NULL" ? quoted(f.name) + u" IS NULL" : quoted(f.name) + u"=" + literal;
        } else {
            tk_trace(1, u"Field %s is NOT a part of UKey", f.name);
            if (!set.empty()) set += u", ";
            set += quoted(f.name) + u"=" + get_fld_append_wstr(c, field, f);
        }
        if (lob) lob_values[lob_at++] = &field;
    }
    if (where.empty()) {
        tk_trace(1, "Missing primary/unique key");
        throw tk_exception("The record carries no value of the table's key.", 0);
    }
    if (set.empty()) {
        tk_trace(1, "Nothing to update: every column is part of the key");
        return;
    }
    std::u16string text = u"UPDATE " + quoted(name) + u" SET " + set + u" WHERE " + where;
    tk_trace(2, u"UPDATE QUERY: %s", text);
    ora_engine& engine = ora_engine::instance();
    ora_stmt stmt;
    tk_trace(3, u"Run SQL query: %s\n", text);
    stmt.prepare(text);
    dirty_ = true;
    stmt.execute(1);
    ub4 rows = 0;
    engine.check(engine.oci().OCIAttrGet(stmt.get(), OCI_HTYPE_STMT, &rows, nullptr, OCI_ATTR_ROW_COUNT, engine.err()));
    // Inside a held batch the batch's commit covers the update.
    const bool commit = !holding_batch();
    if (rows == 0) {
        if (commit) engine.commit();
        dirty_ = !commit;
        throw tk_exception("No row of the table has the key of the updated record.", 0);
    }
    lobs.insert(where, lob_values);
    if (commit) engine.commit();
    dirty_ = !commit;
}

void ora_table::next()
{
    tk_trace(1, "ora_table::next");
    ++rows_read;
}

void ora_table::begin_batches(size_t rows)
{
    tk_trace(2, "ora_table::begin_batches(%d)", static_cast<int>(rows));
    wait_for_batch();
    batch_rows_ = std::max<size_t>(rows, 1);
    loader_.reset();
    spare_.reset();
}

void ora_table::make_loader(const udb_record& record)
{
    batch_pos_ = match_columns(record);
    loader_columns_.clear();
    loader_fields_.clear();
    loader_column_.assign(schema.size(), SIZE_MAX);
    for (size_t c = 0; c < schema.size(); ++c) {
        if (batch_pos_[c] < 0) continue;
        const t_ftd& f = schema[c];
        ora_batch_column b;
        b.name = f.name;
        b.vartype = f.vartype;
        b.size = ora_is_lob(f) ? 0 : f.size;
        b.fraction_digits = f.fraction_digits;
        b.not_null = f.b_not_null;
        if (f.b_not_null) b.out_of_range_default = tk_to_utf8(make_ora_def_val(&f));
        b.national = ora_is_text_kind(f.vartype) && (!ora_is_lob(f) || database_.national_lobs());
        loader_column_[c] = loader_columns_.size();
        loader_columns_.push_back(std::move(b));
        loader_fields_.push_back(static_cast<size_t>(batch_pos_[c]));
    }
    loader_ = new_loader();
}

std::unique_ptr<ora_batch_loader> ora_table::new_loader() const
{
    ora_engine& engine = ora_engine::instance();
    return std::make_unique<ora_batch_loader>(engine.oci(), engine.env(), engine.svc(), engine.err(), name,
                                              loader_columns_, loader_fields_, batch_rows_);
}

bool ora_table::sends_null(size_t column, const udb_field& field) const
{
    const t_ftd& f = schema[column];
    if (!ora_value_in_range(field)) return make_ora_def_val(&f).empty();
    if (field.is_empty_or_null()) return true;
    if (ora_is_lob(f)) return false;
    if (field.get_vt() == VT_BSTR && !ora_is_binary_kind(f.vartype)) return field.as_wstring().empty();
    return ora_value_literal(field, &f) == u"NULL";
}

void ora_table::relax_for_nulls(const udb_record& record)
{
    for (size_t c = 0; c < schema.size(); ++c) {
        if (batch_pos_[c] < 0 || !schema[c].b_not_null || is_key_column(schema[c].name, true)) continue;
        if (!sends_null(c, record[static_cast<size_t>(batch_pos_[c])])) continue;
        tk_trace(1, "Put NULL-field");
        reset_not_null_flag(c);
        const size_t k = loader_column_[c];
        loader_columns_[k].not_null = false;
        loader_->relax_column(k);
        if (spare_) spare_->relax_column(k);
    }
}

bool ora_table::batchable(const udb_record& record)
{
    TK_ASSERT(batch_rows_ > 0);
    if (!loader_) make_loader(record);
    relax_for_nulls(record);
    return loader_->stage(record);
}

bool ora_table::queue_batched(uint64_t row)
{
    TK_ASSERT(loader_ != nullptr);
    dirty_ = true;
    return loader_->queue_staged(row);
}

ora_batch_outcome ora_table::flush_batch()
{
    wait_for_batch();
    if (!loader_ || loader_->pending() == 0) return {};
    ora_batch_outcome outcome = loader_->flush();
    rows_written += static_cast<int32_t>(outcome.committed);
    dirty_ = false;
    return outcome;
}

void ora_table::launch_batch()
{
    wait_for_batch();
    if (!loader_ || loader_->pending() == 0) return;
    if (!spare_) spare_ = new_loader();
    std::swap(loader_, spare_);
    if (!sender_) sender_ = std::make_unique<ora_batch_sender>();
    // The loader on its way is touched by nothing else until it has landed:
    // the sender's thread owns it and the session.
    sender_->start([loader = spare_.get()] { return loader->flush(); });
}

void ora_table::wait_for_batch()
{
    if (!batch_in_flight()) return;
    // Nothing is on its way afterwards, even when the flush raised: the
    // raise reaches the caller once.
    ora_batch_outcome outcome = sender_->wait();
    rows_written += static_cast<int32_t>(outcome.committed);
    landed_.sent += outcome.sent;
    landed_.committed += outcome.committed;
    landed_.whole_batch_failed = landed_.whole_batch_failed || outcome.whole_batch_failed;
    for (ora_row_failure& f : outcome.failures) landed_.failures.push_back(std::move(f));
}

ora_batch_outcome ora_table::land_batch()
{
    wait_for_batch();
    ora_batch_outcome outcome = std::move(landed_);
    landed_ = {};
    return outcome;
}

ora_batch_outcome ora_table::flush_batch_held()
{
    wait_for_batch();
    if (!loader_ || loader_->pending() == 0) return {};
    ora_batch_outcome outcome = loader_->flush(false);
    held_rows_ = static_cast<int32_t>(outcome.committed);
    rows_written += held_rows_;
    dirty_ = true;
    return outcome;
}

void ora_table::release_batch()
{
    if (loader_ && loader_->holding()) loader_->release_held();
}

ora_batch_outcome ora_table::resend_batch(uint64_t before, const std::vector<uint64_t>& skip)
{
    TK_ASSERT(holding_batch());
    rows_written -= held_rows_;
    held_rows_ = 0;
    ora_batch_outcome outcome = loader_->resend_held(before, skip);
    rows_written += static_cast<int32_t>(outcome.committed);
    return outcome;
}

void ora_table::finish_loading()
{
    wait_for_batch();
    ora_engine::instance().commit();
    dirty_ = false;
    database_.continue_sequence(name);
}
