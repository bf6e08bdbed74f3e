// Text becoming a DATE or TIMESTAMP the way Oracle reads it: through the
// session's NLS formats unless a format is given, with every field checked;
// TIMESTAMP(n) columns and FF1-FF9 keep fractions to the digit.
#include "emu_test_support.h"

class EmuDatetime : public store_fixture {
protected:
    void SetUp() override {
        store_fixture::SetUp();
        run("CREATE TABLE T (D DATE, TS TIMESTAMP(7))");
    }
};

// Oracle reads date text with NLS_DATE_FORMAT, DD-MON-RR by default: an ISO
// text does not match it (ORA-01861 or ORA-01843, depending on where the
// reading fails) and nothing is stored.
TEST_F(EmuDatetime, TextFollowsTheDefaultDateFormat) {
    struct {
        const char* text;
        int code;        // 0: accepted
        const char* stored;
    } cases[] = {
        {"01-JAN-05", 0, "2005-01-01 00:00:00"},
        {"31-dec-1999", 0, "1999-12-31 00:00:00"},
        {"2005-01-01", -1, nullptr},
        {"2005-01-01 00:00:00", -1, nullptr},
        {"01-JAN-2005 10:00:00", 1830, nullptr},   // the picture ends before the text
        {"32-JAN-05", 1847, nullptr},
        {"29-FEB-05", 1839, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int code = error_of(std::string("INSERT INTO T (D) VALUES ('") + c.text + "')");
        if (c.code < 0) EXPECT_TRUE(code == 1861 || code == 1843) << last_error;
        else EXPECT_EQ(code, c.code) << last_error;
        if (c.stored) {
            EXPECT_EQ(one("SELECT D FROM T"), c.stored);
        }
        run("DELETE FROM T");
    }
    // A text bind is read the same way.
    emu::bind_value iso{":1", emu::value::make(emu::col_type::varchar2, "2005-01-01 00:00:00"), false};
    EXPECT_THROW(run("INSERT INTO T (D) VALUES (:1)", {iso}), emu::ora_error);
    EXPECT_EQ(one("SELECT COUNT(*) FROM T"), "0");
}

TEST_F(EmuDatetime, AlterSessionSetsTheDateFormat) {
    EXPECT_EQ(error_of("ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-MM-DD HH24:MI:SS'"), 0);
    struct {
        const char* text;
        int code;
    } cases[] = {
        {"2005-01-31 10:20:30", 0}, {"2005-13-45 00:00:00", 1843}, {"2005-12-45 00:00:00", 1847},
        {"2005-02-29 00:00:00", 1839}, {"2005-01-01 24:00:00", 1850}, {"2005-01-01 10:60:00", 1851},
        {"0000-01-01 00:00:00", 1841},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(error_of(std::string("INSERT INTO T (D) VALUES ('") + c.text + "')"), c.code) << last_error;
    }
    EXPECT_EQ(rows("SELECT D, TO_CHAR(D) FROM T"), (Rows{{"2005-01-31 10:20:30", "2005-01-31 10:20:30"}}));
    EXPECT_EQ(one("SELECT COUNT(*) FROM T WHERE D = '2005-01-31 10:20:30'"), "1");
    // The old format no longer applies.
    EXPECT_NE(error_of("INSERT INTO T (D) VALUES ('01-JAN-05')"), 0);
    // A bad format is refused when it is set; unknown parameters are refused.
    EXPECT_EQ(error_of("ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-QQQ'"), 1821);
    EXPECT_EQ(error_of("ALTER SESSION SET NLS_BOGUS = 'x'"), 2248);
    // ALTER SESSION is no DDL: it does not commit the open transaction.
    run("ALTER SESSION SET NLS_DATE_FORMAT = 'DD-MON-RR'");
    s->rollback();
    EXPECT_EQ(one("SELECT COUNT(*) FROM T"), "0");
}

// A TIMESTAMP(7) column keeps 100-ns fractions; FF1-FF9 read and write
// exactly as many digits.
TEST_F(EmuDatetime, TimestampFractionsToTheDigit) {
    ASSERT_EQ(error_of("INSERT INTO T (TS) VALUES (TO_TIMESTAMP('2021-05-06 22:45:12.3456789', "
                       "'YYYY-MM-DD HH24:MI:SS.FF7'))"),
              0)
        << last_error;
    EXPECT_EQ(rows("SELECT TS, TO_CHAR(TS, 'YYYY-MM-DD HH24:MI:SS.FF7') FROM T"),
              (Rows{{"2021-05-06 22:45:12.345678900", "2021-05-06 22:45:12.3456789"}}));
    const std::string digits = "123456789";
    for (int n = 1; n <= 9; ++n) {
        SCOPED_TRACE(n);
        std::string ff = "FF" + std::to_string(n);
        std::string frac = digits.substr(0, static_cast<size_t>(n));
        EXPECT_EQ(one("SELECT TO_CHAR(TO_TIMESTAMP('2000-01-01 00:00:00." + frac + "', 'YYYY-MM-DD HH24:MI:SS." + ff +
                      "'), 'FF9') FROM DUAL"),
                  (frac + "000000000").substr(0, 9));
        EXPECT_EQ(one("SELECT TO_CHAR(TO_TIMESTAMP('2000-01-01 00:00:00.123456789', 'YYYY-MM-DD HH24:MI:SS.FF9'), '" +
                      ff + "') FROM DUAL"),
                  frac);
        // More digits than FFn allows do not fit the picture.
        EXPECT_EQ(error_of("SELECT TO_TIMESTAMP('2000-01-01 00:00:00." + frac + "1', 'YYYY-MM-DD HH24:MI:SS." + ff +
                           "') FROM DUAL"),
                  1830);
    }
    // Each precision 0-9 is a column type of its own; 10 is out of range.
    for (int n = 0; n <= 9; ++n) {
        std::string name = "P" + std::to_string(n);
        ASSERT_EQ(error_of("CREATE TABLE " + name + " (X TIMESTAMP(" + std::to_string(n) + "))"), 0) << last_error;
        EXPECT_EQ(one("SELECT DATA_TYPE FROM USER_TAB_COLUMNS WHERE TABLE_NAME = '" + name + "'"),
                  "TIMESTAMP(" + std::to_string(n) + ")");
    }
    EXPECT_EQ(error_of("CREATE TABLE P10 (X TIMESTAMP(10))"), 30088);
}

TEST_F(EmuDatetime, TimestampTextAndBinds) {
    // A timestamp bound as a value keeps its 100-ns fraction.
    emu::bind_value ts{":1", emu::value::make(emu::col_type::timestamp, "1999-12-31 23:59:59.999999900"), false};
    run("INSERT INTO T (TS) VALUES (:1)", {ts});
    EXPECT_EQ(one("SELECT TS FROM T"), "1999-12-31 23:59:59.999999900");
    run("DELETE FROM T");
    // Text is read with NLS_TIMESTAMP_FORMAT (DD-MON-RR HH.MI.SSXFF AM by default).
    EXPECT_EQ(error_of("INSERT INTO T (TS) VALUES ('06-MAY-21 10.45.12.3456789 PM')"), 0) << last_error;
    EXPECT_EQ(one("SELECT TS FROM T"), "2021-05-06 22:45:12.345678900");
    EXPECT_NE(error_of("INSERT INTO T (TS) VALUES ('2021-05-06 22:45:12.3456789')"), 0);
    ASSERT_EQ(error_of("ALTER SESSION SET NLS_TIMESTAMP_FORMAT = 'YYYY-MM-DD HH24:MI:SS.FF7'"), 0);
    EXPECT_EQ(error_of("INSERT INTO T (TS) VALUES ('2021-05-06 22:45:12.0000001')"), 0) << last_error;
    EXPECT_EQ(rows("SELECT TO_CHAR(TS) FROM T ORDER BY TS"),
              (Rows{{"2021-05-06 22:45:12.0000001"}, {"2021-05-06 22:45:12.3456789"}}));
    // A column of lower precision rounds the fraction, carrying into the
    // seconds and on to the year.
    run("CREATE TABLE T3 (TS TIMESTAMP(3), T0 TIMESTAMP(0))");
    emu::bind_value low{":2", emu::value::make(emu::col_type::timestamp, "2004-02-28 23:59:59.499999999"), false};
    run("INSERT INTO T3 (TS, T0) VALUES (:1, :2)", {ts, low});
    EXPECT_EQ(rows("SELECT TS, T0 FROM T3"), (Rows{{"2000-01-01 00:00:00.000000000", "2004-02-28 23:59:59.000000000"}}));
    emu::bind_value leap{":1", emu::value::make(emu::col_type::timestamp, "2004-02-28 23:59:59.9996"), false};
    run("DELETE FROM T3");
    run("INSERT INTO T3 (TS, T0) VALUES (:1, :1)", {leap});
    EXPECT_EQ(rows("SELECT TS, T0 FROM T3"), (Rows{{"2004-02-29 00:00:00.000000000", "2004-02-29 00:00:00.000000000"}}));
}
