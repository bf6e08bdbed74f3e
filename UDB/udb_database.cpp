#include "udb_database.h"

#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_wstring.h"

udb_database::udb_database(std::u16string db_name, int32_t mode, bool case_sensitive)
    : open_mode(mode), name(std::move(db_name)), case_sensitive_names(case_sensitive)
{
    tk_trace(1, u"udb_database::ctor(%s)", name);
}

udb_database::~udb_database()
{
    tk_trace(1, "udb_database::dtor");
}

bool udb_database::same_table_name(std::u16string_view a, std::u16string_view b) const
{
    return case_sensitive_names ? a == b : tk_equal_nocase(a, b);
}

void udb_database::delete_tab(const std::u16string& table)
{
    tk_trace(1, u"udb_database::delete_tab (%s)", table);
    // The same comparison as is_table_exist, so that a table the
    // catalogue reports can always be removed from it.
    for (auto it = table_names.begin(); it != table_names.end(); ++it) {
        if (same_table_name(*it, table)) {
            table_names.erase(it);
            return;
        }
    }
    TK_FAIL();
}

void udb_database::query(const std::u16string&)
{
    TK_FAIL();
}

void udb_database::create_relationships(const udb_relationships&) {}

bool udb_database::is_table_exist(const std::u16string& table)
{
    tk_trace(1, u"udb_database::is_table_exist(%s)", table);
    for (const std::u16string& entry : table_names) {
        tk_trace(1, u"Compare with %s", entry);
        if (same_table_name(entry, table)) {
            tk_trace(1, "table exists");
            return true;
        }
    }
    tk_trace(1, "table not found");
    return false;
}
