// Statements a real Oracle server refuses must be refused here as well, with
// Oracle's error number: a client tested against the stand-in would
// otherwise pass here and fail in production.
#include "emu_test_support.h"

using emu_test::store_fixture;
using Rows = std::vector<std::vector<std::string>>;

namespace {

// One statement after some set-up, and the error Oracle gives (0: accepted).
struct refusal_case {
    const char* why;                    // Oracle's documented behaviour
    std::vector<std::string> setup;
    std::string sql;
    int code;
};

std::string text_of(size_t n, char c = 'x') { return std::string(n, c); }

}  // namespace

class EmuRefusal : public store_fixture {
protected:
    void check_cases(const std::vector<refusal_case>& cases) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.why);
            for (const auto& setup : c.setup) ASSERT_EQ(error_of(setup), 0) << setup << ": " << last_error;
            EXPECT_EQ(error_of(c.sql), c.code) << c.sql.substr(0, 200) << ": " << last_error;
            s->rollback();
            for (const auto& t : {"T", "P", "C"}) error_of(std::string("DROP TABLE ") + t + " CASCADE CONSTRAINTS");
        }
    }
};

TEST_F(EmuRefusal, LiteralsKeysAndLengths) {
    const std::string big = text_of(4001), full = text_of(4000);
    check_cases({
        {"Oracle: ORA-01704 string literal too long (over 4000 bytes)", {"CREATE TABLE T (C CLOB)"},
         "INSERT INTO T (C) VALUES ('" + big + "')", 1704},
        {"Oracle: a literal of exactly 4000 bytes is accepted", {"CREATE TABLE T (C CLOB)"},
         "INSERT INTO T (C) VALUES ('" + full + "')", 0},
        {"Oracle: the limit counts bytes, not characters (2001 two-byte letters)", {"CREATE TABLE T (C CLOB)"},
         "INSERT INTO T (C) VALUES ('" + [] { std::string s; for (int i = 0; i < 2001; ++i) s += "\xCE\xB1"; return s; }() + "')",
         1704},
        {"Oracle: ORA-01450 maximum key length (6398) exceeded on an 8 KB block",
         {"CREATE TABLE T (A VARCHAR2(4000), B VARCHAR2(4000))"}, "CREATE INDEX TI ON T (A, B)", 1450},
        {"Oracle: a primary key is an index and has the same limit", {},
         "CREATE TABLE T (A NVARCHAR2(2000), B NVARCHAR2(2000), CONSTRAINT TPK PRIMARY KEY (A, B))", 1450},
        {"Oracle: a unique constraint added later has the same limit",
         {"CREATE TABLE T (A VARCHAR2(4000 CHAR), B VARCHAR2(3000))"}, "ALTER TABLE T ADD CONSTRAINT TU UNIQUE (A, B)",
         1450},
        {"Oracle: keys within the limit are created", {"CREATE TABLE T (A VARCHAR2(4000), B VARCHAR2(2000))"},
         "CREATE INDEX TI ON T (A, B)", 0},
        {"Oracle: one VARCHAR2(4000) key fits", {"CREATE TABLE T (A VARCHAR2(4000), B NUMBER)"},
         "CREATE UNIQUE INDEX TI ON T (A, B)", 0},
        {"Oracle: ORA-02267 column type incompatible with referenced column type",
         {"CREATE TABLE P (ID NUMBER PRIMARY KEY)", "CREATE TABLE C (PID VARCHAR2(10))"},
         "ALTER TABLE C ADD CONSTRAINT CF FOREIGN KEY (PID) REFERENCES P (ID)", 2267},
        {"Oracle: DATE does not refer to NUMBER", {"CREATE TABLE P (ID NUMBER PRIMARY KEY)"},
         "CREATE TABLE C (PID DATE REFERENCES P (ID))", 2267},
        {"Oracle: NUMBER(5) refers to NUMBER(11) (precision may differ)",
         {"CREATE TABLE P (ID NUMBER(11) PRIMARY KEY)"}, "CREATE TABLE C (PID NUMBER(5) REFERENCES P (ID))", 0},
        {"Oracle: ORA-00904 IFNULL is no Oracle function", {}, "SELECT IFNULL(NULL, 1) FROM DUAL", 904},
        {"Oracle: ORA-00907 TRIM takes no second argument after a comma", {}, "SELECT TRIM('xax', 'x') FROM DUAL", 907},
        {"Oracle: LTRIM takes a set of characters", {}, "SELECT LTRIM('xax', 'x') FROM DUAL", 0},
    });
}

// The 4000-byte ceiling of VARCHAR2 holds whatever the length semantics:
// VARCHAR2(4000 CHAR) cannot take 4000 two-byte characters.
TEST_F(EmuRefusal, CharSemanticsKeepTheByteCeiling) {
    run("CREATE TABLE T (A VARCHAR2(4000 CHAR), B VARCHAR2(10 CHAR))");
    std::string alpha2000, alpha2001;
    for (int i = 0; i < 2000; ++i) alpha2000 += "\xCE\xB1";
    alpha2001 = alpha2000 + "\xCE\xB1";
    EXPECT_EQ(error_of("INSERT INTO T (A) VALUES ('" + alpha2000 + "')"), 0);
    try {
        run("INSERT INTO T (A) VALUES (:1)", {{":1", emu::value::make(emu::col_type::varchar2, alpha2001), false}});
        ADD_FAILURE() << "4002 bytes stored in VARCHAR2(4000 CHAR)";
    } catch (const emu::ora_error& e) {
        EXPECT_EQ(e.code, 12899);
        EXPECT_NE(std::string(e.text).find("actual: 4002, maximum: 4000"), std::string::npos) << e.text;
    }
    // Ten characters of four bytes each fit VARCHAR2(10 CHAR).
    EXPECT_EQ(error_of("INSERT INTO T (B) VALUES ('" + std::string(10 * 1, 'a') + "')"), 0);
    run("INSERT INTO T (B) VALUES (:1)", {{":1", emu::value::make(emu::col_type::varchar2, [] {
                                               std::string s;
                                               for (int i = 0; i < 10; ++i) s += "\xF0\x9F\x98\x80";
                                               return s;
                                           }()),
                                           false}});
    EXPECT_EQ(one("SELECT COUNT(*) FROM T"), "3");
}
