// Access's operators, literals and functions, each against the value
// Access gives (worked out by hand from Access's documented rules): the
// cases of jet_sql_function_cases.txt, one expression and its value a line,
// and the functions called directly.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "jet_sql_date.h"
#include "jet_sql_engine.h"
#include "jet_sql_functions.h"
#include "jet_sql_test_util.h"

namespace {

// A source without tables: the expressions need none.
class empty_source : public jet_sql_source {
public:
    bool find_table(std::u16string_view, std::u16string&, std::vector<jet_sql_column>&) override { return false; }
    std::unique_ptr<jet_sql_cursor> open_table(const std::u16string&) override { return nullptr; }
};

class JetSqlFunctions : public ::testing::Test {
protected:
    std::string eval(const std::u16string& expr)
    {
        jet_rows rows = jet_run(engine_, u"SELECT " + expr);
        return rows.size() == 1 && rows[0].size() == 1 ? rows[0][0] : "?";
    }

    empty_source source_;
    jet_sql_engine engine_{source_};
};

TEST_F(JetSqlFunctions, EveryCaseOfTheTable)
{
    const std::string path = std::string(TOLVANE_SOURCE_DIR) + "/tests/JETSQL/jet_sql_function_cases.txt";
    std::ifstream in(path);
    ASSERT_TRUE(in.is_open()) << path;
    std::string line;
    int number = 0;
    int cases = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty() || line.starts_with("--")) continue;
        SCOPED_TRACE("line " + std::to_string(number) + ": " + line);
        const size_t tab = line.find('\t');
        ASSERT_TRUE(tab != std::string::npos && line.size() >= tab + 3 && line[tab + 1] == '"' && line.back() == '"');
        EXPECT_EQ(eval(tk_from_utf8(line.substr(0, tab))), line.substr(tab + 2, line.size() - tab - 3));
        ++cases;
    }
    EXPECT_EQ(cases, 225);  // the file was read to its end
}

TEST_F(JetSqlFunctions, LikePatterns)
{
    EXPECT_TRUE(jet_sql_like(u"Smith", u"*m[a-j]th"));
    EXPECT_FALSE(jet_sql_like(u"Smyth", u"*m[a-j]th"));
    EXPECT_TRUE(jet_sql_like(u"aaab", u"*a*b"));
}

TEST_F(JetSqlFunctions, DateLiterals)
{
    double d = 0;
    EXPECT_FALSE(jet_sql_date_parse(u"2/30/2000", d));
    EXPECT_FALSE(jet_sql_date_parse(u"25:00", d));
    EXPECT_TRUE(jet_sql_date_parse(u"1/1/1800 6:00", d));
    EXPECT_DOUBLE_EQ(d, jet_sql_days_from_civil(1800, 1, 1) - 0.25);  // the time counts forward
}

TEST_F(JetSqlFunctions, TextFunctions)
{
    // Only text functions have a $ form.
    EXPECT_ANY_THROW(eval(u"Len$('abc')"));
}

TEST_F(JetSqlFunctions, NumberFunctions)
{
    EXPECT_DOUBLE_EQ(jet_sql_round(0.125, 2), 0.12);
    EXPECT_DOUBLE_EQ(jet_sql_round(0.375, 2), 0.38);
}

}  // namespace
