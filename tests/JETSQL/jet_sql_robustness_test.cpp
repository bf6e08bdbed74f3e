// Statements made of random Access tokens: compiling them may fail, but
// only with DAO's errors, never with another exception or a crash.
#include <gtest/gtest.h>

#include <random>

#include "jet_sql_engine.h"
#include "jet_sql_error.h"
#include "jet_sql_test_source.h"
#include "tk_wstring.h"

namespace {

TEST(JetSqlRobustness, RandomTokenStatementsFailOnlyWithDaoErrors)
{
    jet_sql_test_source source(std::string(TOLVANE_TEST_DATA) + "/nwind.mdb");
    jet_sql_engine engine(source);
    const char16_t* vocabulary[] = {
        u"SELECT",
        u"DISTINCT",
        u"DISTINCTROW",
        u"TOP",
        u"5",
        u"PERCENT",
        u"*",
        u"FROM",
        u"WHERE",
        u"GROUP BY",
        u"HAVING",
        u"ORDER BY",
        u"DESC",
        u"UNION",
        u"ALL",
        u"INNER JOIN",
        u"LEFT JOIN",
        u"RIGHT JOIN",
        u"ON",
        u"AS",
        u"Orders",
        u"[Order Details]",
        u"Customers",
        u"OrderID",
        u"Orders.OrderID",
        u"CustomerID",
        u"Freight",
        u"(",
        u")",
        u",",
        u"=",
        u"<>",
        u"<",
        u">=",
        u"+",
        u"-",
        u"/",
        u"\\",
        u"^",
        u"&",
        u"Mod",
        u"And",
        u"Or",
        u"Not",
        u"Xor",
        u"Eqv",
        u"Is",
        u"Null",
        u"Between",
        u"In",
        u"Like",
        u"'a*'",
        u"\"x\"",
        u"#1/1/1995#",
        u"#bad#",
        u"1.5",
        u"&HFF",
        u"True",
        u"Exists",
        u"Count(*)",
        u"Sum(",
        u"IIf(",
        u"Format(",
        u"Mid(",
        u"DateAdd('d',",
        u";",
        u"[",
        u"]",
        u"'",
        u".",
        u"!",
        u"1e308",
        u"99999999999999999999",
    };
    std::mt19937 rng(20261206);
    std::uniform_int_distribution<size_t> pick(0, std::size(vocabulary) - 1);
    std::uniform_int_distribution<int> length(1, 25);
    int compiled = 0;
    for (int i = 0; i < 3000; ++i) {
        std::u16string sql = u"SELECT ";
        int n = length(rng);
        for (int k = 0; k < n; ++k) sql += std::u16string(vocabulary[pick(rng)]) + u" ";
        try {
            engine.test(sql);
            ++compiled;
        } catch (const jet_error& e) {
            EXPECT_GE(e.number, 1) << tk_to_utf8(sql);
        } catch (const std::exception& e) {
            ADD_FAILURE() << tk_to_utf8(sql) << ": " << e.what();
        }
    }
    EXPECT_GT(compiled, 0);
}

}  // namespace
