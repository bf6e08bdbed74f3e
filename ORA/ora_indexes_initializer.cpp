#include "ora_indexes_initializer.h"

#include "ora_database.h"
#include "ora_exception.h"
#include "ora_report.h"
#include "ora_type_map.h"
#include "ora_validator.h"
#include "tk_logger.h"
#include "udb_ftd.h"
#include "udb_names_map.h"
#include "udb_schema.h"

namespace {

bool can_be_part_of_index(const udb_schema& target, const std::u16string& column)
{
    tk_trace(1, "ora_indexes_initializer::can_be_part_of_index");
    int pos = target.get_field_idx(column);
    if (pos < 0) return false;
    const t_ftd& f = target[static_cast<size_t>(pos)];
    tk_trace(1, "GOT FIELD: vt=%d, size=%d", f.vartype, f.size);
    return !ora_is_lob(f);
}

std::u16string quoted_list(const udb_name_list& names)
{
    std::u16string out;
    for (const std::u16string& n : names) {
        if (!out.empty()) out += u", ";
        tk_trace(1, u"Process idx.field %s", n);
        out += u"\"" + n + u"\"";
    }
    return out;
}

}  // namespace

ora_indexes_initializer::ora_indexes_initializer(const std::u16string& table_name, const udb_indexes& source,
                                                 const t_names_map& column_map, const udb_schema& target)
    : table_name_(table_name)
{
    ora_in_validator& validator = ora_in_validator::instance();
    validator.load(source);
    for (const udb_index& s : source) {
        udb_index index(s.name, s.unique, s.primary, {});
        if (!validator.is_acceptable(index.name)) {
            index.name = validator.get_safe_name(index.name);
            tk_trace(1, u"Store generated index name '%s'", index.name);
            validator.used_names.push_back(index.name);
        }
        bool usable = !s.fields.empty();
        for (const std::u16string& column : s.fields) {
            std::u16string mapped = column_map.get_mapped_name(column, false);
            if (!can_be_part_of_index(target, mapped)) {
                tk_trace(1, u"Field '%s' cannot be part of index", column);
                usable = false;
                break;
            }
            index.fields.push_back(mapped);
        }
        if (!usable) continue;
        validator.restricted_names.push_back(index.name);
        if (index.primary) pk_ = static_cast<uint32_t>(indexes_.size());
        indexes_.push_back(std::move(index));
    }
}

std::u16string ora_indexes_initializer::index_text(size_t i) const
{
    const udb_index& index = indexes_[i];
    std::u16string head;
    if (index.primary) {
        head = u"ALTER TABLE \"" + table_name_ + u"\" ADD CONSTRAINT \"" + index.name + u"\" PRIMARY KEY (";
    } else if (pk_ != UINT32_MAX && indexes_[pk_].consists_of_fields(index.fields) &&
               index.fields.size() == indexes_[pk_].fields.size()) {
        tk_trace(2, u"Skip index '%s', it is equal to PK", index.name);
        return {};
    } else if (index.unique) {
        head = u"ALTER TABLE \"" + table_name_ + u"\" ADD CONSTRAINT \"" + index.name + u"\" UNIQUE (";
    } else {
        head = u"CREATE INDEX \"" + index.name + u"\" ON \"" + table_name_ + u"\" (";
    }
    return head + quoted_list(index.fields) + u")";
}

void ora_indexes_initializer::build_indexes(ora_database& database)
{
    tk_trace(2, "ora_indexes_initializer::build_indexes(n_indexes=%d)", static_cast<int>(indexes_.size()));
    for (size_t i = 0; i < indexes_.size(); ++i) {
        std::u16string text = index_text(i);
        if (text.empty()) continue;
        try {
            database.query(text);
        } catch (const ora_exception& e) {
            tk_trace(2, "Got error: %08X", e.code);
            if (e.oracle_error() == 1408 || e.oracle_error() == 2261) continue;
            ora_report(e, u"Index '" + indexes_[i].name + u"' of table '" + table_name_ + u"'");
        }
    }
}
