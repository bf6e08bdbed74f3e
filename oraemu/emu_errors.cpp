// Oracle's standard message texts (as of 11g-21c) for the errors the
// stand-in raises. %s placeholders are filled in order.
#include "emu_session.h"

#include <cstdio>
#include <map>

namespace emu {

namespace {

const std::map<int, const char*>& texts() {
    static const std::map<int, const char*> m = {
        {1, "unique constraint (%s.%s) violated"},
        {54, "resource busy and acquire with NOWAIT specified or timeout expired"},
        {900, "invalid SQL statement"},
        {901, "invalid CREATE command"},
        {902, "invalid datatype"},
        {903, "invalid table name"},
        {904, "%s: invalid identifier"},
        {905, "missing keyword"},
        {906, "missing left parenthesis"},
        {907, "missing right parenthesis"},
        {908, "missing NULL keyword"},
        {909, "invalid number of arguments"},
        {910, "specified length too long for its datatype"},
        {911, "invalid character"},
        {913, "too many values"},
        {917, "missing comma"},
        {918, "column ambiguously defined"},
        {920, "invalid relational operator"},
        {921, "unexpected end of SQL command"},
        {922, "missing or invalid option"},
        {923, "FROM keyword not found where expected"},
        {924, "missing BY keyword"},
        {925, "missing INTO keyword"},
        {926, "missing VALUES keyword"},
        {927, "missing equal sign"},
        {928, "missing SELECT keyword"},
        {932, "inconsistent datatypes: expected %s got %s"},
        {933, "SQL command not properly ended"},
        {936, "missing expression"},
        {937, "not a single-group group function"},
        {940, "invalid ALTER command"},
        {942, "table or view does not exist"},
        {947, "not enough values"},
        {950, "invalid DROP option"},
        {955, "name is already used by an existing object"},
        {957, "duplicate column name"},
        {969, "missing ON keyword"},
        {971, "missing SET keyword"},
        {972, "identifier is too long"},
        {979, "not a GROUP BY expression"},
        {1008, "not all variables bound"},
        {1017, "invalid username/password; logon denied"},
        {1031, "insufficient privileges"},
        {1036, "illegal variable name/number"},
        {1400, "cannot insert NULL into (%s)"},
        {1407, "cannot update (%s) to NULL"},
        {1408, "such column list already indexed"},
        {1418, "specified index does not exist"},
        {1422, "exact fetch returns more than requested number of rows"},
        {1427, "single-row subquery returns more than one row"},
        {1430, "column being added already exists in table"},
        {1438, "value larger than specified precision allowed for this column"},
        {1439, "column to be modified must be empty to change datatype"},
        {1440, "column to be modified must be empty to decrease precision or scale"},
        {1441, "cannot decrease column length because some value is too big"},
        {1442, "column to be modified to NOT NULL is already NOT NULL"},
        {1449, "column contains NULL values; cannot alter to NOT NULL"},
        {1451, "column to be modified to NULL cannot be modified to NULL"},
        {1452, "cannot CREATE UNIQUE INDEX; duplicate keys found"},
        {1465, "invalid hex number"},
        {1476, "divisor is equal to zero"},
        {1722, "invalid number"},
        {1724, "floating point precision is out of range (1 to 126)"},
        {1727, "numeric precision specifier is out of range (1 to 38)"},
        {1728, "numeric scale specifier is out of range (-84 to 127)"},
        {1735, "invalid ALTER TABLE option"},
        {600, "internal error code, arguments: [%s]"},
        {1723, "zero-length columns are not allowed"},
        {1849, "hour must be between 1 and 12"},
        {1855, "AM/A.M. or PM/P.M. required"},
        {1426, "numeric overflow"},
        {2430, "cannot enable constraint (%s) - no such constraint"},
        {4043, "object %s does not exist"},
        {1410, "invalid ROWID"},
        {1785, "ORDER BY item must be the number of a SELECT-list expression"},
        {1789, "query block has incorrect number of result columns"},
        {1935, "missing user or role name"},
        {22926, "specified trim length is greater than current LOB value's length"},
        {1758, "table must be empty to add mandatory (NOT NULL) column"},
        {2266, "unique/primary keys in table referenced by enabled foreign keys"},
        {2273, "this unique/primary key is referenced by some foreign keys"},
        {12983, "cannot drop all columns in a table"},
        {12154, "TNS:could not resolve the connect identifier specified"},
        {1658, "unable to create INITIAL extent for segment in tablespace %s"},
        {1950, "no privileges on tablespace '%s'"},
        {1740, "missing double quote in identifier"},
        {1741, "illegal zero-length identifier"},
        {1754, "a table may contain only one column of type LONG"},
        {1756, "quoted string not properly terminated"},
        {1810, "format code appears twice"},
        {1821, "date format not recognized"},
        {1830, "date format picture ends before converting entire input string"},
        {1839, "date not valid for month specified"},
        {1840, "input value not long enough for date format"},
        {1841, "(full) year must be between -4713 and +9999, and not be 0"},
        {1843, "not a valid month"},
        {1847, "day of month must be between 1 and last day of month"},
        {1850, "hour must be between 0 and 23"},
        {1851, "minutes must be between 0 and 59"},
        {1852, "seconds must be between 0 and 59"},
        {1858, "a non-numeric character was found where a numeric was expected"},
        {1861, "literal does not match format string"},
        {1920, "user name '%s' conflicts with another user or role name"},
        {1653, "unable to extend table %s.%s by %s in tablespace %s"},
        {2256, "number of referencing columns must match referenced columns"},
        {2260, "table can have only one primary key"},
        {2261, "such unique or primary key already exists in the table"},
        {2264, "name already used by an existing constraint"},
        {2268, "referenced table does not have a primary key"},
        {2270, "no matching unique or primary key for this column-list"},
        {2275, "such a referential constraint already exists in the table"},
        {2286, "no options specified for CREATE SEQUENCE"},
        {2289, "sequence does not exist"},
        {2291, "integrity constraint (%s.%s) violated - parent key not found"},
        {2292, "integrity constraint (%s.%s) violated - child record found"},
        {2296, "cannot enable (%s.%s) - null values found"},
        {2298, "cannot validate (%s.%s) - parent keys not found"},
        {2299, "cannot validate (%s.%s) - duplicate keys found"},
        {2327, "cannot create index on expression with datatype LOB"},
        {2329, "column of datatype LOB cannot be unique or a primary key"},
        {2429, "cannot drop index used for enforcement of unique/primary key"},
        {2437, "cannot validate (%s.%s) - primary key violated"},
        {2443, "Cannot drop constraint  - nonexistent constraint"},
        {2449, "unique/primary keys in table referenced by foreign keys"},
        {3113, "end-of-file on communication channel"},
        {3114, "not connected to ORACLE"},
        {4006, "START WITH cannot be less than MINVALUE"},
        {4008, "START WITH cannot be more than MAXVALUE"},
        {4002, "INCREMENT must be a non-zero integer"},
        {4080, "trigger '%s' does not exist"},
        {4081, "trigger '%s' already exists"},
        {4098, "trigger '%s.%s' is invalid and failed re-validation"},
        {6550, "line %s, column %s:\n%s"},
        {8002, "sequence %s.CURRVAL is not yet defined in this session"},
        {8004, "sequence %s.NEXTVAL exceeds MAXVALUE and cannot be instantiated"},
        {12514, "TNS:listener does not currently know of service requested in connect descriptor"},
        {12541, "TNS:no listener"},
        {12545, "Connect failed because target host or object does not exist"},
        {12899, "value too large for column %s (actual: %s, maximum: %s)"},
        {14155, "missing PARTITION or SUBPARTITION keyword"},
        {22275, "invalid LOB locator specified"},
        {22920, "row containing the LOB value is not locked"},
        {24344, "Success with compilation error"},
        {28000, "the account is locked"},
        {30088, "datetime/interval precision is out of range"},
        {984, "column not allowed here"},
        {2251, "subquery not allowed here"},
        {2287, "sequence number not allowed here"},
        {22818, "subquery expressions not allowed here"},
        {2248, "invalid option for ALTER SESSION"},
        {1450, "maximum key length (%s) exceeded"},
        {1704, "string literal too long"},
        {2267, "column type incompatible with referenced column type"},
        {2290, "check constraint (%s.%s) violated"},
        {2293, "cannot validate (%s.%s) - check constraint violated"},
        {2436, "date or system variable wrongly specified in CHECK constraint"},
        {4082, "NEW or OLD references not allowed in table level triggers"},
        {4077, "WHEN clause cannot be used with table level triggers"},
        {4084, "cannot change NEW values for this trigger type"},
    };
    return m;
}

}  // namespace

ora_error make_fault_error(int code, const std::string& owner, const std::string& table) {
    switch (code) {
    case 1: return make_error(code, {owner, "SYS_C007000"});
    case 1653: return make_error(code, {owner, table, "128", "USERS"});
    case 1658:
    case 1950: return make_error(code, {"USERS"});
    case 2291:
    case 2292: return make_error(code, {owner, "SYS_C007000"});
    default: return make_error(code, {"\"" + owner + "\".\"" + table + "\""});
    }
}

ora_error make_error(int code, const std::vector<std::string>& args) {
    auto it = texts().find(code);
    std::string fmt = it == texts().end() ? "message %s not found" : it->second;
    std::string body;
    size_t a = 0;
    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] == '%' && i + 1 < fmt.size() && fmt[i + 1] == 's') {
            if (it == texts().end()) body += std::to_string(code);
            else if (a < args.size()) body += args[a++];
            ++i;
        } else {
            body += fmt[i];
        }
    }
    char head[16];
    std::snprintf(head, sizeof head, "ORA-%05d: ", code);
    return ora_error(code, head + body);
}

}  // namespace emu
