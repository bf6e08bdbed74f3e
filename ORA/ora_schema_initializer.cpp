#include "ora_schema_initializer.h"

#include "ora_database.h"
#include "ora_exception.h"
#include "ora_report.h"
#include "ora_stmt.h"
#include "ora_type_map.h"
#include "tk_format.h"
#include "tk_logger.h"
#include "tk_wstring.h"
#include "udb_ftd.h"
#include "udb_index.h"

namespace {

constexpr int k_sequence_attempts = 100;
constexpr std::u16string_view k_trigger_suffix = u"__TRIGGER";

int oracle_number(const ora_exception& e)
{
    return e.oracle_error();
}

std::u16string upper(std::u16string s)
{
    tk_wstring::to_upper(s);
    return s;
}

}  // namespace

ora_schema_initializer::ora_schema_initializer(const std::u16string& table_name, const udb_schema& source,
                                               const udb_indexes&, bool uppercase)
    : table_name_(table_name), uppercase_(uppercase), validator_(source)
{
    tk_trace(2, "ora_schema_initializer::ctor");
    std::vector<std::u16string> source_names;
    for (const t_ftd* f : source) source_names.push_back(f->name);
    std::vector<std::u16string> names = column_names(source_names, uppercase_, validator_);
    for (size_t i = 0; i < source.size(); ++i) {
        const t_ftd* f = &source[i];
        const std::u16string& name = names[i];
        column_map_.add(f->name, name);
        auto target = std::make_unique<t_ftd>(*f);
        target->name = name;
        if (f->b_auto_increment) {
            target->def_value = ole_variant();
            target->b_not_null = false;
            auto_increment_ = name;
        }
        schema_.push_back(std::move(target));
    }
}

std::vector<std::u16string> ora_schema_initializer::column_names(const std::vector<std::u16string>& source,
                                                                 bool uppercase, ora_fn_validator& validator)
{
    std::vector<std::u16string> out;
    for (const std::u16string& s : source) {
        std::u16string name = uppercase ? upper(s) : s;
        if (!validator.is_acceptable(name)) name = validator.get_safe_name(name);
        if (name != s) {
            tk_trace(1, u"Store generated column name '%s'", name);
            validator.used_names.push_back(name);
            validator.add_mapped_pair(s, name);
        }
        // Restricted from here on: a later column folding to the same text
        // gets a suffix instead.
        validator.restricted_names.push_back(name);
        out.push_back(std::move(name));
    }
    return out;
}

std::u16string ora_schema_initializer::create_table_text(bool national_lobs) const
{
    std::u16string text = u"CREATE TABLE \"" + table_name_ + u"\" (";
    bool first = true;
    for (const t_ftd* f : schema_) {
        if (!first) text += u", ";
        first = false;
        text += u"\"" + f->name + u"\" " + get_native_type(*f, national_lobs);
        bool lob = ora_is_lob(*f);
        std::u16string def = lob ? std::u16string() : make_ora_def_val(f);
        tk_trace(1, u"got def value: %s", def);
        if (!def.empty()) text += u" DEFAULT " + def;
        tk_trace(1, u"OraField name='%s', type=%d, size=%d", f->name, f->vartype, f->size);
        if (f->b_not_null && !lob) text += u" NOT NULL";
    }
    return text + u")";
}

void ora_schema_initializer::build_schema(ora_database& database)
{
    tk_trace(2, "ora_schema_initializer::build_schema( n_columns=%d )", static_cast<int>(schema_.size()));
    database.query(create_table_text(database.national_lobs()));
    if (auto_increment_.empty()) return;
    std::u16string sequence;
    try {
        sequence = create_sequence(table_name_, database);
    } catch (const tk_exception& e) {
        ora_report(e, u"Sequence for table '" + table_name_ + u"'");
        return;
    }
    if (sequence.empty()) {
        tk_trace(2, "Failed to create a sequence");
        ora_report(tk_exception("No free sequence name: auto increment will not be converted.", 0),
                   u"Sequence for table '" + table_name_ + u"'");
        return;
    }
    database.set_sequence(table_name_, sequence, auto_increment_);
    create_trigger(database, sequence);
}

std::u16string ora_schema_initializer::create_sequence(const std::u16string& table_name, ora_database& database)
{
    tk_trace(2, "ora_schema_initializer::create_sequence");
    for (int n = 0; n < k_sequence_attempts; ++n) {
        std::u16string suffix = tk_format(u"_%d", n);
        std::u16string name = ora_cut_name(table_name, ora_max_name_bytes - suffix.size()) + suffix;
        try {
            database.query(u"CREATE SEQUENCE \"" + name +
                           u"\" INCREMENT BY 1 START WITH 1 MAXVALUE 9999999999999999999999999999 MINVALUE 1 NOCYCLE "
                           u"NOCACHE ORDER");
            return name;
        } catch (const ora_exception& e) {
            if (oracle_number(e) == 955) continue;
            if (oracle_number(e) == 1031)
                throw tk_exception("Insufficient privileges to create sequence.\nAuto increment will not be converted.",
                                   0);
            throw;
        }
    }
    return {};
}

std::u16string ora_schema_initializer::trigger_name(const std::u16string& table, int attempt)
{
    std::u16string suffix = attempt == 0 ? std::u16string() : tk_format(u"_%d", attempt);
    suffix += k_trigger_suffix;
    return ora_cut_name(table, ora_max_name_bytes - suffix.size()) + suffix;
}

std::u16string ora_schema_initializer::trigger_text(const std::u16string& trigger, const std::u16string& table,
                                                    const std::u16string& column, const std::u16string& sequence)
{
    return u"CREATE OR REPLACE TRIGGER \"" + trigger + u"\" BEFORE INSERT ON \"" + table +
           u"\" FOR EACH ROW WHEN (new.\"" + column + u"\" IS NULL) BEGIN SELECT \"" + sequence +
           u"\".NEXTVAL INTO :new.\"" + column + u"\" FROM dual; END;";
}

void ora_schema_initializer::create_trigger(ora_database& database, const std::u16string& sequence)
{
    // CREATE OR REPLACE would silently take over another table's trigger
    // whose name was cut to the same text: such names are skipped.
    std::u16string name;
    for (int attempt = 0; attempt < k_sequence_attempts && name.empty(); ++attempt) {
        std::u16string candidate = trigger_name(table_name_, attempt);
        auto owners = ora_select_strings(u"SELECT table_name FROM user_triggers WHERE trigger_name = " +
                                         ora_quote_literal(candidate));
        if (owners.empty() || owners.front() == table_name_) name = candidate;
    }
    try {
        if (name.empty()) throw tk_exception("No free trigger name", 0);
        database.run_ddl_checked(trigger_text(name, table_name_, auto_increment_, sequence), name);
    } catch (const tk_exception& e) {
        ora_report(e, u"Trigger for table '" + table_name_ + u"'");
    }
}
