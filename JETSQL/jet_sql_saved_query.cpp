#include "jet_sql_saved_query.h"

#include "tk_wstring.h"

namespace {

enum : int32_t {
    attr_type = 1,
    attr_flags = 3,
    attr_remote = 4,
    attr_table = 5,
    attr_column = 6,
    attr_join = 7,
    attr_where = 8,
    attr_group = 9,
    attr_having = 10,
    attr_order = 11,
};

std::u16string bracket(const std::u16string& name)
{
    return u"[" + name + u"]";
}

struct group {
    std::u16string text;
    std::vector<std::u16string> members;  // aliases or names inside
};

struct join_row {
    std::u16string left, right, on;
    int32_t flag = 1;
};

int find_group(const std::vector<group>& groups, const std::u16string& name)
{
    for (size_t i = 0; i < groups.size(); ++i)
        for (const auto& m : groups[i].members)
            if (tk_equal_nocase(m, name)) return static_cast<int>(i);
    return -1;
}

// Conditions of several rows for the same pair of tables form one join.
std::vector<join_row> merged_joins(const std::vector<jet_sql_query_row>& rows)
{
    std::vector<join_row> joins;
    for (const auto& r : rows) {
        if (r.attribute != attr_join) continue;
        bool merged = false;
        for (auto& j : joins) {
            if (tk_equal_nocase(j.left, r.name1) && tk_equal_nocase(j.right, r.name2) && j.flag == r.flag) {
                j.on += u" AND " + r.expression;
                merged = true;
            }
        }
        if (!merged) joins.push_back({r.name1, r.name2, r.expression, r.flag});
    }
    return joins;
}

bool from_clause(const std::vector<jet_sql_query_row>& rows, std::u16string& out)
{
    std::vector<group> groups;
    for (const auto& r : rows) {
        if (r.attribute != attr_table) continue;
        if (!r.expression.empty()) return false;  // a table of another database
        group g;
        g.text = bracket(r.name1) + (r.name2.empty() ? u"" : u" AS " + bracket(r.name2));
        g.members.push_back(r.name2.empty() ? r.name1 : r.name2);
        groups.push_back(std::move(g));
    }
    for (const join_row& j : merged_joins(rows)) {
        int a = find_group(groups, j.left);
        int b = find_group(groups, j.right);
        if (a < 0 || b < 0 || a == b) return false;
        const char16_t* op = j.flag == 2 ? u" LEFT JOIN " : j.flag == 3 ? u" RIGHT JOIN " : u" INNER JOIN ";
        group& ga = groups[static_cast<size_t>(a)];
        group gb = std::move(groups[static_cast<size_t>(b)]);
        ga.text = u"(" + ga.text + op + gb.text + u" ON " + j.on + u")";
        ga.members.insert(ga.members.end(), gb.members.begin(), gb.members.end());
        groups.erase(groups.begin() + b);
    }
    for (size_t i = 0; i < groups.size(); ++i) out += (i > 0 ? u", " : u"") + groups[i].text;
    return !groups.empty();
}

std::u16string list_of(const std::vector<jet_sql_query_row>& rows, int32_t attribute)
{
    std::u16string out;
    for (const auto& r : rows) {
        if (r.attribute != attribute) continue;
        if (!out.empty()) out += u", ";
        out += r.expression;
        if (attribute == attr_order && (r.name1 == u"D" || r.name1 == u"d")) out += u" DESC";
    }
    return out;
}

}  // namespace

bool jet_sql_rebuild_query(const std::vector<jet_sql_query_row>& rows, std::u16string& sql)
{
    int32_t type = 0, flags = 0;
    std::u16string top;
    for (const auto& r : rows) {
        if (r.attribute == attr_type) type = r.flag;
        if (r.attribute == attr_remote) return false;
        if (r.attribute == attr_flags) {
            flags = r.flag;
            top = r.name1;
        }
    }
    if (type != 1) return false;
    sql = u"SELECT ";
    if (flags & 0x02) sql += u"DISTINCT ";
    if (flags & 0x08) sql += u"DISTINCTROW ";
    if ((flags & 0x10) && !top.empty()) sql += u"TOP " + top + ((flags & 0x20) ? u" PERCENT " : u" ");
    std::u16string columns;
    if (flags & 0x01) columns = u"*";
    for (const auto& r : rows) {
        if (r.attribute != attr_column) continue;
        if (!columns.empty()) columns += u", ";
        columns += r.expression + (r.name1.empty() ? u"" : u" AS " + bracket(r.name1));
    }
    if (columns.empty()) return false;
    sql += columns;
    std::u16string from;
    if (!from_clause(rows, from)) return false;
    sql += u" FROM " + from;
    std::u16string where = list_of(rows, attr_where);
    if (!where.empty()) sql += u" WHERE " + where;
    std::u16string group = list_of(rows, attr_group);
    if (!group.empty()) sql += u" GROUP BY " + group;
    std::u16string having = list_of(rows, attr_having);
    if (!having.empty()) sql += u" HAVING " + having;
    std::u16string order = list_of(rows, attr_order);
    if (!order.empty()) sql += u" ORDER BY " + order;
    return true;
}
