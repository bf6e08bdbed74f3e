// Decimal values keep all their digits through queries: a double would
// keep 15 of a Decimal's 28, merge values that differ in the last digits
// and misplace them in ORDER BY, Min and Max.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jet_sql_decimal.h"
#include "jet_sql_engine.h"
#include "jet_sql_error.h"
#include "jet_sql_row_source.h"
#include "ole_variant.h"
#include "tk_wstring.h"

namespace {

// One table "Amounts" (Id Long, Amount Decimal) whose Decimal values arrive
// as exact text, as the Access reader delivers them.
class decimal_source final : public jet_sql_source {
public:
    struct row {
        int id;
        std::optional<std::string> amount;
    };
    explicit decimal_source(std::vector<row> rows) : rows_(std::move(rows)) {}

    bool find_table(std::u16string_view wanted, std::u16string& name, std::vector<jet_sql_column>& columns) override
    {
        if (!tk_equal_nocase(wanted, u"Amounts")) return false;
        name = u"Amounts";
        columns = {{u"Id", jet_dao_long, 4}, {u"Amount", jet_dao_decimal, 17}};
        return true;
    }

    std::unique_ptr<jet_sql_cursor> open_table(const std::u16string&) override
    {
        return std::make_unique<cursor>(rows_);
    }

private:
    class cursor final : public jet_sql_cursor {
    public:
        explicit cursor(const std::vector<row>& rows) : rows_(rows) {}
        bool next(jet_sql_row_sink& sink) override
        {
            if (at_ == rows_.size()) return false;
            const row& r = rows_[at_++];
            sink.put_int(0, r.id);
            if (r.amount)
                sink.put_utf8(1, *r.amount);
            else
                sink.put_null(1);
            return true;
        }

    private:
        const std::vector<row>& rows_;
        size_t at_ = 0;
    };

    std::vector<row> rows_;
};

// The value of column c of every row, as exact text ("NULL" for Null),
// failing on any kind but VT_DECIMAL.
std::vector<std::string> decimals(jet_sql_engine& engine, const std::u16string& sql, size_t c = 0)
{
    std::vector<std::string> out;
    auto r = engine.open(sql);
    while (r->next()) {
        ole_variant v = r->value(c);
        if (v.get_vt() == VT_NULL) {
            out.push_back("NULL");
            continue;
        }
        EXPECT_EQ(v.get_vt(), VT_DECIMAL) << tk_to_utf8(sql);
        if (v.get_vt() == VT_DECIMAL) out.push_back(ole_dec_to_str(v.as_decimal()));
    }
    return out;
}

const std::string k_big = "1234567890123456789012345678";
const std::string k_big_less = "1234567890123456789012345677";
const std::string k_big_more = "1234567890123456789012345679";
const std::string k_negative = "-9999999999999999999999999999";
const std::string k_fraction = "0.1234567890123456789012345678";
const std::string k_mixed = "12345678901234567890.12345678";

class JetSqlDecimal : public ::testing::Test {
protected:
    JetSqlDecimal()
        : source_({{1, k_big},
                   {2, "10"},
                   {3, k_negative},
                   {4, k_big_more},
                   {5, std::nullopt},
                   {6, "2"},
                   {7, k_fraction},
                   {8, k_big_less},
                   {9, k_mixed},
                   {10, "2.50"}}),
          engine_(source_)
    {}
    decimal_source source_;
    jet_sql_engine engine_;
};

}  // namespace

TEST_F(JetSqlDecimal, PlainColumnKeepsEveryDigitAndTheScale)
{
    const std::vector<std::string> expected = {k_big, "10",       k_negative, k_big_more, "NULL",
                                               "2",   k_fraction, k_big_less, k_mixed,    "2.5"};
    EXPECT_EQ(decimals(engine_, u"SELECT Amount FROM Amounts ORDER BY Id"), expected);
    // The component's own value keeps the scale the text had.
    jet_sql_row_source rs(engine_, u"SELECT [Amounts].[Amount] FROM [Amounts] WHERE Id IN (7, 10) ORDER BY Id");
    std::vector<jet_value> row;
    ASSERT_TRUE(rs.next(row));
    ASSERT_EQ(row[0].kind, jet_kind::decimal);
    EXPECT_EQ(jet_decimal_text(row[0].dec), k_fraction);
    EXPECT_EQ(row[0].dec.scale, 28);
    ASSERT_TRUE(rs.next(row));
    ASSERT_EQ(row[0].kind, jet_kind::decimal);
    EXPECT_EQ(jet_decimal_text(row[0].dec), "2.50");
    EXPECT_FALSE(rs.next(row));
}

TEST_F(JetSqlDecimal, OrderingIsNumericAndExact)
{
    const std::vector<std::string> ascending = {"NULL", k_negative, k_fraction, "2",   "2.5",
                                                "10",   k_mixed,    k_big_less, k_big, k_big_more};
    EXPECT_EQ(decimals(engine_, u"SELECT Amount FROM Amounts ORDER BY Amount"), ascending);
    std::vector<std::string> descending(ascending.rbegin(), ascending.rend());
    EXPECT_EQ(decimals(engine_, u"SELECT Amount FROM Amounts ORDER BY Amount DESC"), descending);
    // Through a derived table and a saved-query-like view of it.
    EXPECT_EQ(decimals(engine_, u"SELECT X.Amount FROM (SELECT Id, Amount FROM Amounts) AS X ORDER BY X.Amount DESC"),
              descending);
}

// Min, Max, First, Last and Sum keep every digit, and comparisons with
// numbers are numeric: as text, "10" would sort before "5" and "2.50" after
// "2.5".
TEST_F(JetSqlDecimal, AggregatesAndComparisonsAreExact)
{
    using texts = std::vector<std::string>;
    const std::pair<const char16_t*, texts> cases[] = {
        {u"SELECT Max(Amount) FROM Amounts", {k_big_more}},
        {u"SELECT Min(Amount) FROM Amounts", {k_negative}},
        {u"SELECT Max(Amount) FROM Amounts WHERE Id IN (1, 8)", {k_big}},
        {u"SELECT Min(Amount) FROM Amounts WHERE Id IN (1, 8, 4)", {k_big_less}},
        {u"SELECT First(Amount), Last(Amount) FROM (SELECT Amount FROM Amounts WHERE Id < 5 ORDER BY Id) AS X",
         {k_big}},
        {u"SELECT Max(Amount) FROM (SELECT Amount FROM Amounts) AS X", {k_big_more}},
        {u"SELECT Sum(Amount) FROM Amounts WHERE Id IN (1, 4, 8)", {"3703703670370370367037037034"}},
        {u"SELECT Sum(Amount) FROM Amounts WHERE Id IN (7, 9, 10)", {"12345678901234567892.746913569"}},
        {u"SELECT Sum(Amount) FROM Amounts WHERE Id IN (1, 3)", {"-8765432109876543210987654321"}},
        {u"SELECT Sum(Amount) FROM Amounts WHERE Id = 5", {"NULL"}},
        {u"SELECT Amount FROM Amounts WHERE Amount > 5 AND Amount < 100", {"10"}},
        {u"SELECT Amount FROM Amounts WHERE Amount = 2.5", {"2.5"}},
        {u"SELECT Amount FROM Amounts WHERE Amount BETWEEN 1 AND 3 ORDER BY Amount", {"2", "2.5"}},
    };
    for (const auto& [sql, want] : cases) EXPECT_EQ(decimals(engine_, sql), want) << tk_to_utf8(sql);
    // A self-join on the exact value pairs each row with itself only.
    auto r = engine_.open(u"SELECT Count(*) FROM Amounts AS A INNER JOIN Amounts AS B ON A.Amount = B.Amount");
    ASSERT_TRUE(r->next());
    EXPECT_EQ(r->as_int(0), 9);
}

TEST_F(JetSqlDecimal, GroupingAndDistinctTellCloseValuesApart)
{
    // As doubles the three large values are one number.
    auto r = engine_.open(u"SELECT Count(*) FROM (SELECT DISTINCT Amount FROM Amounts WHERE Id IN (1, 4, 8))");
    ASSERT_TRUE(r->next());
    EXPECT_EQ(r->as_int(0), 3);
    EXPECT_EQ(decimals(engine_, u"SELECT Amount, Count(*) FROM Amounts WHERE Id IN (1, 4, 8) GROUP BY Amount"),
              (std::vector<std::string>{k_big_less, k_big, k_big_more}));
    // Equal values in other scales are one group: 2.5 and 2.50.
    decimal_source again({{1, "2.5"}, {2, "2.50"}, {3, "2.500"}});
    jet_sql_engine engine(again);
    auto g = engine.open(u"SELECT Amount, Count(*) FROM Amounts GROUP BY Amount");
    ASSERT_TRUE(g->next());
    EXPECT_EQ(g->as_int(1), 3);
    EXPECT_FALSE(g->next());
}

TEST(JetSqlDecimalSum, OverflowAndRoundingToFit)
{
    decimal_source big({{1, "79228162514264337593543950335"}, {2, "1"}});
    jet_sql_engine engine(big);
    auto r = engine.open(u"SELECT Sum(Amount) FROM Amounts");
    EXPECT_THROW(r->next(), jet_sql_error);
    // Beyond 96 bits at scale 28 the sum gives up fraction digits, rounded
    // half to even, as Decimal addition does.
    decimal_source wide({{1, "7.9228162514264337593543950335"}, {2, "7.9228162514264337593543950335"}});
    jet_sql_engine engine2(wide);
    EXPECT_EQ(decimals(engine2, u"SELECT Sum(Amount) FROM Amounts"),
              std::vector<std::string>{"15.845632502852867518708790067"});
}

TEST(JetSqlDecimalCompare, OrdersTextByValue)
{
    EXPECT_GT(jet_sql_decimal_compare("10", "2"), 0);
    EXPECT_EQ(jet_sql_decimal_compare("2.5", "2.50"), 0);
    EXPECT_EQ(jet_sql_decimal_compare("-0", "0.000"), 0);
    EXPECT_EQ(jet_sql_decimal_compare("1e3", "1000"), 0);
    EXPECT_EQ(jet_sql_decimal_compare("1.5E-2", "0.015"), 0);
    EXPECT_LT(jet_sql_decimal_compare("-10", "-2"), 0);
    EXPECT_LT(jet_sql_decimal_compare("-1", "0"), 0);
    EXPECT_LT(jet_sql_decimal_compare("0", "0.0000000000000000000000000001"), 0);
    EXPECT_LT(jet_sql_decimal_compare(k_big_less, k_big), 0);
    EXPECT_GT(jet_sql_decimal_compare(k_big, "999999999999999999999999999.9"), 0);
    // Non-numbers follow every number, among themselves by their bytes.
    EXPECT_LT(jet_sql_decimal_compare("99", "abc"), 0);
    EXPECT_LT(jet_sql_decimal_compare("abc", "abd"), 0);
    EXPECT_GT(jet_sql_decimal_compare("1.2.3", "5"), 0);
    EXPECT_EQ(jet_sql_decimal_text(0.1), "0.1");
    EXPECT_EQ(jet_sql_decimal_text(-1234.5), "-1234.5");
}

TEST_F(JetSqlDecimal, ArithmeticAndFunctionsReadTheTextAsNumbers)
{
    // Arithmetic works on doubles: 15 significant digits.
    auto r = engine_.open(u"SELECT Amount * 2, Amount + 1, Int(Amount), Format(Amount, \"0.00\"), Avg(Amount), Amount "
                          u"& \"\", CStr(Amount) "
                          u"FROM Amounts WHERE Id = 10 GROUP BY Amount");
    ASSERT_TRUE(r->next());
    EXPECT_EQ(ole_dec_to_str(r->value(0).as_decimal()), "5");
    EXPECT_EQ(ole_dec_to_str(r->value(1).as_decimal()), "3.5");
    EXPECT_DOUBLE_EQ(r->as_double(2), 2.0);
    EXPECT_EQ(tk_to_utf8(r->value(3).as_wstring()), "2.50");
    EXPECT_EQ(ole_dec_to_str(r->value(4).as_decimal()), "2.5");
    // Text of a Decimal, as Access writes it.
    EXPECT_EQ(tk_to_utf8(r->value(5).as_wstring()), "2.5");
    EXPECT_EQ(tk_to_utf8(r->value(6).as_wstring()), "2.5");
}
