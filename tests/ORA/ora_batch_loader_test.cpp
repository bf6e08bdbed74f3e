// The array loader against the stand-in: values of every kind stored
// exactly, one round trip and one commit per batch, and the rows Oracle
// refuses inside a batch handed back one by one with their own numbers.
#include "ora_stand_in_support.h"

#ifdef ORAEMU_OCI_LIB

#include "ora_batch_loader.h"
#include "udb_field.h"
#include "udb_record.h"

namespace {

using namespace ora_test;

udb_record record_of(std::vector<ole_variant> values)
{
    udb_record r;
    for (size_t i = 0; i < values.size(); ++i)
        r.push_back(std::make_unique<udb_field>(u"F" + w(std::to_string(i)), 0, values[i], false, false));
    return r;
}

// A column of the loader: its Oracle name and kind, size, TIMESTAMP digits,
// NOT NULL, default for out-of-range numbers, national character set.
ora_batch_column col(const char16_t* name, ole_vartype vt, uint32_t size = 0, uint8_t fraction = 0,
                     bool not_null = false, std::string def = {}, bool national = false)
{
    return {name, vt, size, fraction, not_null, std::move(def), national};
}

std::vector<size_t> identity(size_t n)
{
    std::vector<size_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = i;
    return v;
}

class batch_loader : public stand_in {
protected:
    std::unique_ptr<ora_batch_loader> loader(const std::string& table, std::vector<ora_batch_column> cols, size_t rows,
                                             size_t budget = ora_batch_loader::default_byte_budget)
    {
        size_t n = cols.size();
        return std::make_unique<ora_batch_loader>(oci(), c.env, c.svc, c.err, w(table), std::move(cols), identity(n),
                                                  rows, budget);
    }

    // Loads `count` rows of (ID, NAME) made by `make`, in batches of `rows`;
    // returns every outcome.
    std::vector<ora_batch_outcome> load_keyed(int count, size_t rows, const std::function<udb_record(int)>& make)
    {
        auto l = loader("T", {col(u"ID", VT_I4, 0, 0, true), col(u"NAME", VT_BSTR, 10, 0, true, {}, true)}, rows);
        std::vector<ora_batch_outcome> out;
        for (int i = 1; i <= count; ++i)
            if (l->add(make(i), static_cast<uint64_t>(i))) out.push_back(l->flush());
        if (l->pending() != 0) out.push_back(l->flush());
        return out;
    }

    std::string count_of(const std::string& table)
    {
        connection other;
        other.logon(user, "pw");
        return query(other, "SELECT COUNT(*) FROM " + table)[0][0].value_or("?");
    }
};

TEST_F(batch_loader, every_kind_is_stored_exactly)
{
    run(c, "CREATE TABLE v (n NUMBER, d NUMBER(30,4), f NUMBER, b NUMBER(3,0), dt DATE, "
           "ts TIMESTAMP(7), s NVARCHAR2(20), r RAW(8), m CLOB, o BLOB)");
    ole_decimal dec;
    ASSERT_EQ(ole_dec_from_str("-12345678901234567890123.4567", dec), OLE_S_OK);
    ole_variant stamp = date_value(2024, 2, 29, 23, 59, 58);
    stamp.set_date_fraction(1234567);
    std::u16string memo(10000, u'x');
    memo[0] = u'\u00e9';
    memo[9999] = u'\u20ac';
    std::vector<uint8_t> blob(70000);
    for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<uint8_t>(i * 7);
    const uint8_t raw[] = {0x00, 0xFF, 0x10};
    auto l = loader("V",
                    {col(u"N", VT_R8), col(u"D", VT_DECIMAL), col(u"F", VT_R4), col(u"B", VT_BOOL), col(u"DT", VT_DATE),
                     col(u"TS", VT_DATE, 0, 7), col(u"S", VT_BSTR, 20, 0, false, {}, true), col(u"R", VT_ARRAY_UI1, 8),
                     col(u"M", VT_BSTR), col(u"O", VT_ARRAY_UI1)},
                    10);
    l->add(record_of({ole_variant(0.1), ole_variant(dec), ole_variant(0.3f), ole_variant(true),
                      date_value(1899, 12, 30, 13, 14, 15), stamp, ole_variant(u"O'Brien \u4e2d"),
                      ole_variant(sizeof raw, raw), ole_variant(memo), ole_variant(blob.size(), blob.data())}),
           1);
    const ole_variant null = null_value();
    udb_record empty = record_of({null, null, null, null, null, null, ole_variant(u""), null, null, null});
    ASSERT_TRUE(l->bindable(empty));
    l->add(empty, 2);
    ora_batch_outcome o = l->flush();
    EXPECT_EQ(o.sent, 2u);
    EXPECT_EQ(o.committed, 2u);
    for (const auto& f : o.failures) ADD_FAILURE() << f.row << ": " << n(f.text);

    connection other;
    ASSERT_EQ(other.logon(user, "pw"), OCI_SUCCESS);
    auto rows = query(other, "SELECT TO_CHAR(n), TO_CHAR(d), TO_CHAR(f), b, TO_CHAR(dt, 'YYYY-MM-DD HH24:MI:SS'), "
                             "TO_CHAR(ts, 'YYYY-MM-DD HH24:MI:SS.FF7'), s, r, LENGTH(m), "
                             "LENGTH(o) FROM v ORDER BY b NULLS LAST");
    ASSERT_EQ(rows.size(), 2u);
    row expected = {".1",
                    "-12345678901234567890123.4567",
                    ".3",
                    "1",
                    "1899-12-30 13:14:15",
                    "2024-02-29 23:59:58.1234567",
                    "O'Brien \xe4\xb8\xad",
                    "00FF10",
                    "10000",
                    "70000"};
    EXPECT_EQ(rows[0], expected);
    EXPECT_EQ(rows[1], row(10, std::nullopt));
    // The large values arrive whole.
    auto text = query(other, "SELECT SUBSTR(m, 9999, 2) FROM v WHERE b = 1");
    EXPECT_EQ(text[0][0], std::optional<std::string>("x\xe2\x82\xac"));
}

TEST_F(batch_loader, one_round_trip_and_one_commit_per_batch)
{
    run(c, "CREATE TABLE t (id NUMBER(11) PRIMARY KEY, name NVARCHAR2(10) NOT NULL)");
    emu::reset_round_trips("XE");
    auto outcomes = load_keyed(2500, 1000, [](int i) {
        return record_of({ole_variant(i), ole_variant(u"n" + w(std::to_string(i)))});
    });
    c.check(oci().OCILogoff(c.svc, c.err));
    c.svc = nullptr;
    emu::rt_counters rt = emu::service_round_trips("XE");
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_EQ(outcomes[2].sent, 500u);
    EXPECT_EQ(rt.execute, 3u);
    EXPECT_EQ(rt.transactions, 3u);
    EXPECT_EQ(rt.commit, 1u);  // the logoff's
    EXPECT_EQ(count_of("t"), "2500");
}

TEST_F(batch_loader, refused_rows_come_back_in_order_and_the_others_stay)
{
    run(c, "CREATE TABLE t (id NUMBER(11) PRIMARY KEY, name NVARCHAR2(10) NOT NULL)");
    run(c, "INSERT INTO t VALUES (3, 'old')", OCI_COMMIT_ON_SUCCESS);
    run(c, "INSERT INTO t VALUES (700, 'old')", OCI_COMMIT_ON_SUCCESS);
    const ole_variant null = null_value();
    // Row 3 and 700: duplicate keys; 537: a name too long; 900: NULL into
    // NOT NULL.
    auto outcomes = load_keyed(1000, 1000, [&](int i) {
        ole_variant name(u"n" + w(std::to_string(i)));
        if (i == 537) name = u"much too long for ten";
        if (i == 900) name = null;
        return record_of({ole_variant(i), name});
    });
    ASSERT_EQ(outcomes.size(), 1u);
    const ora_batch_outcome& o = outcomes[0];
    EXPECT_FALSE(o.whole_batch_failed);
    EXPECT_EQ(o.sent, 1000u);
    EXPECT_EQ(o.committed, 996u);
    struct {
        uint64_t row;
        int32_t error;
    } expected[] = {{3, 1}, {537, 12899}, {700, 1}, {900, 1400}};
    ASSERT_EQ(o.failures.size(), std::size(expected));
    for (size_t k = 0; k < std::size(expected); ++k) {
        EXPECT_EQ(o.failures[k].row, expected[k].row);
        EXPECT_EQ(o.failures[k].oracle_error, expected[k].error) << n(o.failures[k].text);
        EXPECT_EQ(n(o.failures[k].text).substr(0, 4), "ORA-");
    }
    EXPECT_EQ(count_of("t"), "998");
}

TEST_F(batch_loader, injected_insert_fault_hits_its_row_inside_the_batch)
{
    run(c, "CREATE TABLE t (id NUMBER(11) PRIMARY KEY, name NVARCHAR2(10) NOT NULL)");
    emu::add_fault("XE", {"insert_fails", "T", 250, 1653});
    auto outcomes = load_keyed(300, 100, [](int i) { return record_of({ole_variant(i), ole_variant(u"n")}); });
    emu::clear_faults("XE");
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_TRUE(outcomes[0].failures.empty());
    ASSERT_EQ(outcomes[2].failures.size(), 1u);
    EXPECT_EQ(outcomes[2].failures[0].row, 250u);
    EXPECT_EQ(outcomes[2].failures[0].oracle_error, 1653);
    EXPECT_EQ(outcomes[2].committed, 99u);
    EXPECT_EQ(count_of("t"), "299");
}

TEST_F(batch_loader, lost_connection_fails_the_whole_batch_and_keeps_earlier_ones)
{
    run(c, "CREATE TABLE t (id NUMBER(11) PRIMARY KEY, name NVARCHAR2(10) NOT NULL)");
    // The session has run one statement; the loss comes 150 rows later,
    // in the middle of the second batch.
    emu::add_fault("XE", {"connection_lost", "", 151, 0});
    auto outcomes = load_keyed(300, 100, [](int i) { return record_of({ole_variant(i), ole_variant(u"n")}); });
    emu::clear_faults("XE");
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_EQ(outcomes[0].committed, 100u);
    EXPECT_TRUE(outcomes[0].failures.empty());
    for (size_t b : {1u, 2u}) {
        EXPECT_TRUE(outcomes[b].whole_batch_failed);
        EXPECT_EQ(outcomes[b].committed, 0u);
        ASSERT_EQ(outcomes[b].failures.size(), 100u);
        EXPECT_EQ(outcomes[b].failures.front().row, 100 * b + 1);
        EXPECT_EQ(outcomes[b].failures.front().oracle_error, b == 1 ? 3113 : 3114);
    }
    EXPECT_EQ(count_of("t"), "100");
}

TEST_F(batch_loader, byte_budget_and_out_of_range_doubles)
{
    run(c, "CREATE TABLE t (x NUMBER, y NUMBER NOT NULL, m CLOB)");
    auto l = loader("T", {col(u"X", VT_R8), col(u"Y", VT_R8, 0, 0, true, "0"), col(u"M", VT_BSTR)}, 1000, 4000);
    // 1500 characters are 3000 bytes: the second row passes the budget.
    std::u16string memo(1500, u'm');
    EXPECT_FALSE(l->add(record_of({ole_variant(1e126), ole_variant(-1e127), ole_variant(memo)}), 1));
    EXPECT_TRUE(l->add(record_of({ole_variant(2.5), ole_variant(7.0), ole_variant(memo)}), 2));
    ora_batch_outcome o = l->flush();
    EXPECT_EQ(o.committed, 2u);
    EXPECT_TRUE(o.failures.empty());
    EXPECT_EQ(l->pending(), 0u);
    auto rows = query(c, "SELECT TO_CHAR(x), TO_CHAR(y) FROM t ORDER BY y");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (row{std::nullopt, "0"}));
    EXPECT_EQ(rows[1], (row{"2.5", "7"}));
}

TEST_F(batch_loader, rows_that_cannot_travel_in_the_array)
{
    run(c, "CREATE TABLE t (n NUMBER, d DATE, s NVARCHAR2(10), r RAW(16), m CLOB, o BLOB)");
    auto l = loader("T",
                    {col(u"N", VT_I4), col(u"D", VT_DATE), col(u"S", VT_BSTR, 10, 0, false, {}, true),
                     col(u"R", VT_ARRAY_UI1, 16), col(u"M", VT_BSTR), col(u"O", VT_ARRAY_UI1)},
                    10);
    const ole_variant null = null_value();
    std::vector<uint8_t> none;
    std::u16string huge(ora_batch_loader::max_value_bytes / 2 + 1, u'h');
    struct {
        size_t column;
        ole_variant value;
        bool bindable;
    } cases[] = {
        {0, ole_variant(u"12"), false},                                            // text for a number
        {0, ole_variant(1.5), true},                                               // a double in a NUMBER column
        {0, ole_variant(1e300), true},                                             // out of range: NULL or default
        {1, ole_variant(u"2024-01-01"), false},                                    // text for a date
        {2, ole_variant(42), false},                                               // a number for a text column
        {2, ole_variant(u""), true},                                               // empty text: NULL
        {3, ole_variant(u"{guid {00112233-4455-6677-8899-AABBCCDDEEFF}}"), true},  // its 16 bytes
        {3, ole_variant(u"0x0A1B"), true},                                         // hexadecimal bytes
        {3, ole_variant(u"0x"), false},                                            // neither: the row path's error
        {3, ole_variant(u"abc"), false},
        {3, ole_variant(none.size(), none.data()), true},  // empty RAW: NULL
        {4, ole_variant(u""), true},                       // empty CLOB: made empty after the insert
        {4, ole_variant(huge), true},                      // beyond one bound value: through the locator
        {4, ole_variant(u"memo"), true},
        {5, ole_variant(none.size(), none.data()), true},  // empty BLOB likewise
    };
    std::vector<ole_variant> guid_row(6, null);
    guid_row[3] = ole_variant(u"{guid {00112233-4455-6677-8899-AABBCCDDEEFF}}");
    l->add(record_of(guid_row), 1);
    EXPECT_EQ(l->flush().committed, 1u);
    EXPECT_EQ(query(c, "SELECT r FROM t")[0][0], std::optional<std::string>("33221100554477668899AABBCCDDEEFF"));
    for (const auto& k : cases) {
        std::vector<ole_variant> values(6, null);
        values[k.column] = k.value;
        EXPECT_EQ(l->bindable(record_of(values)), k.bindable)
            << "column " << k.column << ": " << k.value.to_string().substr(0, 40);
    }
    // Nothing of a row looked at stays behind, converted half-way or whole:
    // a staged row goes in exactly as converted, one staged but not queued
    // is dropped.
    std::vector<ole_variant> good{ole_variant(7), null, ole_variant(u"seven"), null, ole_variant(u""), null};
    std::vector<ole_variant> bad{ole_variant(8), null, ole_variant(u"eight"), ole_variant(u"abc"), null, null};
    ASSERT_TRUE(l->stage(record_of(good)));
    EXPECT_FALSE(l->queue_staged(2));
    EXPECT_FALSE(l->stage(record_of(bad)));
    ASSERT_TRUE(l->stage(record_of({ole_variant(9), null, ole_variant(u"nine"), null, ole_variant(u"m"), null})));
    ora_batch_outcome o = l->flush();
    EXPECT_EQ(o.sent, 1u);
    EXPECT_EQ(o.committed, 1u);
    EXPECT_EQ(query(c, "SELECT n, s, LENGTH(m) FROM t WHERE n IS NOT NULL ORDER BY n"),
              (std::vector<row>{{"7", "seven", "0"}}));
}

TEST_F(batch_loader, empty_lobs_stay_empty_not_null)
{
    run(c, "CREATE TABLE t (id NUMBER, m CLOB, o BLOB, k CLOB NOT NULL)");
    std::vector<uint8_t> none, one{0x7F};
    const ole_variant null = null_value();
    auto l = loader(
        "T", {col(u"ID", VT_I4), col(u"M", VT_BSTR), col(u"O", VT_ARRAY_UI1), col(u"K", VT_BSTR, 0, 0, true)}, 10);
    // A NOT NULL LOB column cannot take the NULL an empty value, or one
    // too large for a bound buffer, travels as.
    EXPECT_FALSE(l->bindable(record_of({ole_variant(9), null, null, ole_variant(u"")})));
    std::u16string huge(ora_batch_loader::max_value_bytes / 2 + 1, u'h');
    EXPECT_FALSE(l->bindable(record_of({ole_variant(9), null, null, ole_variant(huge)})));
    l->add(record_of({ole_variant(1), ole_variant(u""), ole_variant(none.size(), none.data()), ole_variant(u"k")}), 1);
    l->add(record_of({ole_variant(2), null, null, ole_variant(u"k")}), 2);
    l->add(record_of({ole_variant(3), ole_variant(u"x"), ole_variant(one.size(), one.data()), ole_variant(u"k")}), 3);
    l->add(record_of({ole_variant(3), ole_variant(u""), null, null}), 4);  // refused: K is NULL
    emu::reset_round_trips("XE");
    ora_batch_outcome o = l->flush();
    // Counted at the commit that ended the batch.
    emu::rt_counters rt = emu::service_round_trips("XE");
    EXPECT_EQ(rt.execute, 3u);  // the insert and one update per LOB column
    EXPECT_EQ(rt.transactions, 1u);
    EXPECT_EQ(o.committed, 3u);
    ASSERT_EQ(o.failures.size(), 1u);
    EXPECT_EQ(o.failures[0].row, 4u);
    auto rows = query(c, "SELECT id FROM t WHERE m IS NULL OR o IS NULL ORDER BY id");
    EXPECT_EQ(rows, (std::vector<row>{{"2"}}));
    EXPECT_EQ(query(c, "SELECT LENGTH(m), LENGTH(o) FROM t WHERE id = 1"), (std::vector<row>{{"0", "0"}}));

    // Held open, then taken back but for the rows before one the caller
    // stops at (and those it settled): they go again, empty LOBs included.
    l->add(record_of({ole_variant(11), ole_variant(u""), ole_variant(none.size(), none.data()), ole_variant(u"k")}),
           11);
    l->add(record_of({ole_variant(12), ole_variant(u"x"), ole_variant(one.size(), one.data()), ole_variant(u"k")}), 12);
    l->add(record_of({ole_variant(13), ole_variant(u"y"), null, ole_variant(u"k")}), 13);
    l->add(record_of({ole_variant(14), ole_variant(u""), null, ole_variant(u"k")}), 14);
    EXPECT_EQ(l->flush(false).committed, 4u);
    EXPECT_TRUE(l->holding());
    EXPECT_EQ(l->resend_held(14, {12}).committed, 2u);
    EXPECT_FALSE(l->holding());
    run(c, "COMMIT");
    EXPECT_EQ(query(c, "SELECT id, LENGTH(m), LENGTH(o) FROM t WHERE id > 10 ORDER BY id"),
              (std::vector<row>{{"11", "0", "0"}, {"13", "1", std::nullopt}}));
}

TEST_F(batch_loader, values_beyond_one_buffer_go_through_their_row_locator)
{
    run(c, "CREATE TABLE t (id NUMBER PRIMARY KEY, m CLOB, o BLOB)");
    auto l = loader("T", {col(u"ID", VT_I4), col(u"M", VT_BSTR), col(u"O", VT_ARRAY_UI1)}, 10);
    const ole_variant null = null_value();
    std::u16string memo(1536 * 1024, u'm');  // 3 MB of UTF-16
    memo[1] = u'\u20ac';
    memo.back() = u'z';
    std::vector<uint8_t> blob(2u << 20);
    for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<uint8_t>(i * 31 + 7);
    l->add(record_of({ole_variant(1), ole_variant(u"small"), null}), 1);
    l->add(record_of({ole_variant(2), ole_variant(memo), ole_variant(blob.size(), blob.data())}), 2);
    l->add(record_of({ole_variant(3), null, ole_variant(blob.size(), blob.data())}), 3);
    l->add(record_of({ole_variant(1), ole_variant(memo), null}), 4);  // a duplicate key: no LOB written for it
    emu::reset_round_trips("XE");
    ora_batch_outcome o = l->flush();
    emu::rt_counters rt = emu::service_round_trips("XE");
    EXPECT_EQ(o.sent, 4u);
    EXPECT_EQ(o.committed, 3u);
    ASSERT_EQ(o.failures.size(), 1u);
    EXPECT_EQ(o.failures[0].row, 4u);
    // The array, one update per LOB column, one select per large value.
    EXPECT_EQ(rt.execute, 6u);
    EXPECT_EQ(rt.lob_write, 3u);
    EXPECT_EQ(rt.transactions, 1u);
    auto rows = query(c, "SELECT id, LENGTH(m), SUBSTR(m, 1, 3), SUBSTR(m, LENGTH(m) - 1), LENGTH(o) FROM t "
                         "ORDER BY id");
    EXPECT_EQ(rows, (std::vector<row>{{"1", "5", "sma", "ll", std::nullopt},
                                      {"2", "1572864", "m\u20acm", "mz", "2097152"},
                                      {"3", std::nullopt, std::nullopt, std::nullopt, "2097152"}}));
}

}  // namespace

#endif  // ORAEMU_OCI_LIB
