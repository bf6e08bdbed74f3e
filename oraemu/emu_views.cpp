// The dictionary views (USER_*), DUAL and V$VERSION as query sources.
#include "emu_query.h"
#include "emu_views.h"

namespace emu {

namespace {

struct view_col {
    const char* name;
    col_type type;
    uint32_t size;
    bool numeric;   // the SQLite column holds an integer
};

struct view_def {
    const char* name;
    std::vector<view_col> cols;
    const char* sql;   // ?OWNER? is replaced by the quoted user name
};

constexpr col_type V = col_type::varchar2;
constexpr col_type N = col_type::number;
constexpr col_type L = col_type::long_;

const std::vector<view_def>& views() {
    static const std::vector<view_def> v = {
        {"USER_TABLES",
         {{"TABLE_NAME", V, 128, false}, {"TABLESPACE_NAME", V, 30, false}, {"STATUS", V, 8, false},
          {"IOT_TYPE", V, 12, false}, {"TEMPORARY", V, 1, false}, {"NESTED", V, 3, false},
          {"SECONDARY", V, 1, false}, {"DROPPED", V, 3, false}, {"PARTITIONED", V, 3, false},
          {"NUM_ROWS", N, 22, true}},
         "SELECT name, 'USERS', 'VALID', NULL, 'N', 'NO', 'N', 'NO', 'NO', NULL FROM oraemu_objects "
         "WHERE owner=?OWNER? AND type='TABLE' ORDER BY obj_id"},
        {"USER_TAB_COLUMNS",
         {{"TABLE_NAME", V, 128, false}, {"COLUMN_NAME", V, 128, false}, {"DATA_TYPE", V, 106, false},
          {"DATA_LENGTH", N, 22, true}, {"DATA_PRECISION", N, 22, true}, {"DATA_SCALE", N, 22, true},
          {"NULLABLE", V, 1, false}, {"COLUMN_ID", N, 22, true}, {"DEFAULT_LENGTH", N, 22, true},
          {"DATA_DEFAULT", L, 0, false}, {"CHAR_LENGTH", N, 22, true}, {"CHAR_USED", V, 1, false}},
         "SELECT table_name, column_name, data_type, data_length, data_precision, data_scale, nullable, "
         "column_id, length(CAST(data_default AS BLOB)), data_default, char_length, char_used "
         "FROM oraemu_columns WHERE owner=?OWNER? ORDER BY table_name, column_id"},
        {"USER_CONSTRAINTS",
         {{"OWNER", V, 128, false}, {"CONSTRAINT_NAME", V, 128, false}, {"CONSTRAINT_TYPE", V, 1, false},
          {"TABLE_NAME", V, 128, false}, {"SEARCH_CONDITION", L, 0, false}, {"R_OWNER", V, 128, false},
          {"R_CONSTRAINT_NAME", V, 128, false}, {"DELETE_RULE", V, 9, false}, {"STATUS", V, 8, false},
          {"DEFERRABLE", V, 14, false}, {"DEFERRED", V, 9, false}, {"VALIDATED", V, 13, false},
          {"GENERATED", V, 14, false}, {"INDEX_OWNER", V, 128, false}, {"INDEX_NAME", V, 128, false}},
         "SELECT owner, constraint_name, constraint_type, table_name, search_condition, r_owner, "
         "r_constraint_name, delete_rule, status, 'NOT DEFERRABLE', 'IMMEDIATE', 'VALIDATED', generated, "
         "CASE WHEN index_name IS NULL THEN NULL ELSE owner END, index_name FROM oraemu_constraints "
         "WHERE owner=?OWNER? ORDER BY rowid"},
        {"USER_CONS_COLUMNS",
         {{"OWNER", V, 128, false}, {"CONSTRAINT_NAME", V, 128, false}, {"TABLE_NAME", V, 128, false},
          {"COLUMN_NAME", V, 4000, false}, {"POSITION", N, 22, true}},
         "SELECT owner, constraint_name, table_name, column_name, position FROM oraemu_cons_columns "
         "WHERE owner=?OWNER? ORDER BY rowid"},
        {"USER_INDEXES",
         {{"INDEX_NAME", V, 128, false}, {"INDEX_TYPE", V, 27, false}, {"TABLE_OWNER", V, 128, false},
          {"TABLE_NAME", V, 128, false}, {"TABLE_TYPE", V, 11, false}, {"UNIQUENESS", V, 9, false},
          {"TABLESPACE_NAME", V, 30, false}, {"STATUS", V, 8, false}, {"GENERATED", V, 1, false}},
         "SELECT index_name, 'NORMAL', owner, table_name, 'TABLE', uniqueness, 'USERS', 'VALID', generated "
         "FROM oraemu_indexes WHERE owner=?OWNER? ORDER BY rowid"},
        {"USER_IND_COLUMNS",
         {{"INDEX_NAME", V, 128, false}, {"TABLE_NAME", V, 128, false}, {"COLUMN_NAME", V, 4000, false},
          {"COLUMN_POSITION", N, 22, true}, {"COLUMN_LENGTH", N, 22, true}, {"CHAR_LENGTH", N, 22, true},
          {"DESCEND", V, 4, false}},
         "SELECT i.index_name, i.table_name, i.column_name, i.column_position, c.data_length, "
         "c.char_length, i.descend FROM oraemu_ind_columns i LEFT JOIN oraemu_columns c ON "
         "c.owner=i.owner AND c.table_name=i.table_name AND c.column_name=i.column_name "
         "WHERE i.owner=?OWNER? ORDER BY i.rowid"},
        {"USER_SEQUENCES",
         {{"SEQUENCE_NAME", V, 128, false}, {"MIN_VALUE", N, 22, false}, {"MAX_VALUE", N, 22, false},
          {"INCREMENT_BY", N, 22, false}, {"CYCLE_FLAG", V, 1, false}, {"ORDER_FLAG", V, 1, false},
          {"CACHE_SIZE", N, 22, true}, {"LAST_NUMBER", N, 22, false}},
         "SELECT sequence_name, min_value, max_value, increment_by, cycle_flag, order_flag, cache_size, "
         "last_number FROM oraemu_sequences WHERE owner=?OWNER? ORDER BY rowid"},
        {"USER_TRIGGERS",
         {{"TRIGGER_NAME", V, 128, false}, {"TRIGGER_TYPE", V, 16, false},
          {"TRIGGERING_EVENT", V, 246, false}, {"TABLE_OWNER", V, 128, false},
          {"BASE_OBJECT_TYPE", V, 18, false}, {"TABLE_NAME", V, 128, false},
          {"COLUMN_NAME", V, 4000, false}, {"REFERENCING_NAMES", V, 422, false},
          {"WHEN_CLAUSE", V, 4000, false}, {"STATUS", V, 8, false}, {"DESCRIPTION", V, 4000, false},
          {"ACTION_TYPE", V, 11, false}, {"TRIGGER_BODY", L, 0, false}},
         "SELECT trigger_name, trigger_type, triggering_event, owner, 'TABLE', table_name, NULL, "
         "'REFERENCING NEW AS NEW OLD AS OLD', when_clause, 'ENABLED', description, 'PL/SQL', "
         "trigger_body FROM oraemu_triggers WHERE owner=?OWNER? ORDER BY rowid"},
        {"USER_OBJECTS",
         {{"OBJECT_NAME", V, 128, false}, {"OBJECT_ID", N, 22, true}, {"OBJECT_TYPE", V, 23, false},
          {"CREATED", col_type::date, 7, false}, {"STATUS", V, 7, false}},
         "SELECT name, obj_id, type, created, status FROM oraemu_objects WHERE owner=?OWNER? "
         "UNION ALL SELECT index_name, NULL, 'INDEX', NULL, 'VALID' FROM oraemu_indexes WHERE owner=?OWNER? "
         "UNION ALL SELECT trigger_name, NULL, 'TRIGGER', NULL, CASE WHEN valid THEN 'VALID' ELSE "
         "'INVALID' END FROM oraemu_triggers WHERE owner=?OWNER?"},
        {"DUAL", {{"DUMMY", V, 1, false}}, "SELECT 'X'"},
        {"NLS_DATABASE_PARAMETERS",
         {{"PARAMETER", V, 30, false}, {"VALUE", V, 64, false}},
         "SELECT 'NLS_CHARACTERSET', coalesce((SELECT value FROM oraemu_settings WHERE key='db_charset'), "
         "'AL32UTF8') UNION ALL SELECT 'NLS_NCHAR_CHARACTERSET', coalesce((SELECT value FROM oraemu_settings "
         "WHERE key='nchar_charset'), 'AL16UTF16') UNION ALL SELECT 'NLS_DATE_FORMAT', 'DD-MON-RR' "
         "UNION ALL SELECT 'NLS_LENGTH_SEMANTICS', 'BYTE'"},
    };
    return v;
}

std::string replace_owner(std::string sql, const std::string& owner) {
    const std::string key = "?OWNER?";
    for (size_t p; (p = sql.find(key)) != std::string::npos;) sql.replace(p, key.size(), sq_text(owner));
    return sql;
}

}  // namespace

std::vector<std::string> banner_rows(const std::string& version) {
    if (version == "19c")
        return {"Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production"};
    if (version == "23ai")
        return {"Oracle Database 23ai Free Release 23.0.0.0.0 - Develop, Learn, and Run for Free"};
    return {"Oracle Database 11g Express Edition Release 11.2.0.2.0 - 64bit Production",
            "PL/SQL Release 11.2.0.2.0 - Production", "CORE\t11.2.0.2.0\tProduction",
            "TNS for Linux: Version 11.2.0.2.0 - Production", "NLSRTL Version 11.2.0.2.0 - Production"};
}

std::string banner_full_version(const std::string& version) {
    if (version == "19c") return "Version 19.3.0.0.0";
    if (version == "23ai") return "Version 23.4.0.24.05";
    return "";
}

bool view_columns(const std::string& name, const std::string& owner, const std::string& version,
                  size_t ident_limit, std::vector<src_col>& cols, std::string& sql) {
    std::string n = name == "USER_TAB_COLS" ? "USER_TAB_COLUMNS" : name;
    if (n == "V$VERSION") {
        auto rows = banner_rows(version);
        bool modern = version != "11g";
        for (const auto& r : rows) {
            sql += sql.empty() ? "SELECT " : " UNION ALL SELECT ";
            sql += sq_text(r);
            if (modern) sql += ", " + sq_text(r + "\n" + banner_full_version(version)) + ", " + sq_text(r) + ", 0";
        }
        auto mk = [](const char* nm, col_type t, uint32_t sz, bool numeric) {
            src_col c;
            c.name = nm;
            c.info.name = nm;
            c.info.type = t;
            c.info.size = sz;
            c.numeric_sql = numeric;
            return c;
        };
        cols.push_back(mk("BANNER", V, 80, false));
        if (modern) {
            cols.push_back(mk("BANNER_FULL", V, 160, false));
            cols.push_back(mk("BANNER_LEGACY", V, 80, false));
            cols.push_back(mk("CON_ID", N, 22, true));
        }
        return true;
    }
    for (const auto& v : views()) {
        if (n != v.name) continue;
        for (const auto& c : v.cols) {
            src_col s;
            s.name = c.name;
            s.info.name = c.name;
            s.info.type = c.type;
            s.info.size = c.size == 128 ? static_cast<uint32_t>(ident_limit) : c.size;
            if (c.type == V) s.info.char_length = s.info.size;
            if (c.type == N) s.info.scale = -127;
            s.numeric_sql = c.numeric;
            cols.push_back(s);
        }
        sql = replace_owner(v.sql, owner);
        return true;
    }
    return false;
}

}  // namespace emu
