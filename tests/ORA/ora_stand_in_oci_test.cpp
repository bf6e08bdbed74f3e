// Further OCI behaviour of the stand-in that later Oracle code may lean on:
// piecewise LOB writing and polling reads, trimming, statement caching
// calls, binds by position and arrays of structures, round-trip counting.
#include "ora_stand_in_support.h"

#ifdef ORAEMU_OCI_LIB

using namespace ora_test;

namespace {

// Selects the one LOB of a query into `loc`.
void select_lob(connection& c, statement& s, OCILobLocator*& loc, ub2 type)
{
    define_lob(c, s, 1, loc, type);
    c.check(s.execute());
}

}  // namespace

TEST_F(stand_in, piecewise_clob_write_and_polling_read)
{
    run(c, "CREATE TABLE docs (id NUMBER(5), doc CLOB)");
    run(c, "INSERT INTO docs VALUES (1, EMPTY_CLOB())", OCI_COMMIT_ON_SUCCESS);
    OCILobLocator* loc = new_locator(c);
    {
        statement s(c, "SELECT doc FROM docs WHERE id = 1 FOR UPDATE");
        select_lob(c, s, loc, SQLT_CLOB);
        std::u16string pieces[3] = {u"first ", u"\u03B2\u03B3 ", u"last"};
        ub4 total = 0;
        ub1 kinds[3] = {OCI_FIRST_PIECE, OCI_NEXT_PIECE, OCI_LAST_PIECE};
        for (int i = 0; i < 3; ++i) {
            ub4 amount = total;
            sword rc = oci().OCILobWrite(c.svc, c.err, loc, &amount, 1, const_cast<char16_t*>(pieces[i].data()),
                                         bytes(pieces[i]), kinds[i], nullptr, nullptr, 0, SQLCS_IMPLICIT);
            if (i < 2) {
                EXPECT_EQ(rc, OCI_NEED_DATA) << i;
            } else {
                c.check(rc);
                EXPECT_EQ(rc, OCI_SUCCESS);
                total = amount;
            }
        }
        EXPECT_EQ(total, 13u);
        c.check(oci().OCITransCommit(c.svc, c.err, OCI_DEFAULT));
    }
    statement s(c, "SELECT doc FROM docs WHERE id = 1");
    select_lob(c, s, loc, SQLT_CLOB);
    // Ask for everything (amount 0) with a buffer of 4 units: the client
    // polls, each call returning OCI_NEED_DATA until the last piece.
    std::u16string back;
    char16_t buf[4];
    ub4 amount = 0;
    sword rc = OCI_NEED_DATA;
    int calls = 0;
    while (rc == OCI_NEED_DATA && calls < 10) {
        rc = oci().OCILobRead(c.svc, c.err, loc, &amount, 1, buf, sizeof buf, nullptr, nullptr, 0, SQLCS_IMPLICIT);
        ASSERT_NE(rc, OCI_ERROR);
        back.append(buf, amount);
        ++calls;
    }
    EXPECT_EQ(rc, OCI_SUCCESS);
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(back, u"first \u03B2\u03B3 last");
    oci().OCIDescriptorFree(loc, OCI_DTYPE_LOB);
}

TEST_F(stand_in, lob_calls_with_64_bit_amounts)
{
    run(c, "CREATE TABLE docs (id NUMBER(5), doc CLOB)");
    run(c, "INSERT INTO docs VALUES (1, EMPTY_CLOB())", OCI_COMMIT_ON_SUCCESS);
    OCILobLocator* loc = new_locator(c);
    statement s(c, "SELECT doc FROM docs WHERE id = 1 FOR UPDATE");
    select_lob(c, s, loc, SQLT_CLOB);
    std::u16string text = u"\u5317\u4EAC \U0001F600!";  // 5 characters, 6 UTF-16 units
    oraub8 byte_amt = 0, char_amt = text.size();
    c.check(oci().OCILobWrite2(c.svc, c.err, loc, &byte_amt, &char_amt, 1, const_cast<char16_t*>(text.data()),
                               bytes(text), OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT));
    EXPECT_EQ(char_amt, 6u);
    EXPECT_EQ(byte_amt, 12u);
    // Characters asked for rule over bytes; both come back.
    char16_t back[16] = {};
    byte_amt = 2, char_amt = 4;
    c.check(oci().OCILobRead2(c.svc, c.err, loc, &byte_amt, &char_amt, 1, back, sizeof back, OCI_ONE_PIECE, nullptr,
                              nullptr, 0, SQLCS_IMPLICIT));
    EXPECT_EQ(char_amt, 4u);
    EXPECT_EQ(byte_amt, 8u);
    EXPECT_EQ(std::u16string(back, 4), text.substr(0, 4));
    oci().OCIDescriptorFree(loc, OCI_DTYPE_LOB);
}

TEST_F(stand_in, lob_trim_and_overwrite)
{
    run(c, "CREATE TABLE docs (id NUMBER(5), pic BLOB)");
    run(c, "INSERT INTO docs VALUES (1, HEXTORAW('0102030405'))", OCI_COMMIT_ON_SUCCESS);
    OCILobLocator* loc = new_locator(c);
    statement s(c, "SELECT pic FROM docs WHERE id = 1 FOR UPDATE");
    select_lob(c, s, loc, SQLT_BLOB);
    ub4 length = 0;
    c.check(oci().OCILobGetLength(c.svc, c.err, loc, &length));
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(number_of(c.error_of(oci().OCILobTrim(c.svc, c.err, loc, 6))), 22926);
    c.check(oci().OCILobTrim(c.svc, c.err, loc, 3));
    // Writing at offset 2 replaces what is there and extends the LOB.
    unsigned char data[3] = {0xAA, 0xBB, 0xCC};
    ub4 amount = 3;
    c.check(oci().OCILobWrite(c.svc, c.err, loc, &amount, 2, data, 3, OCI_ONE_PIECE, nullptr, nullptr, 0, 0));
    c.check(oci().OCILobGetLength(c.svc, c.err, loc, &length));
    EXPECT_EQ(length, 4u);
    oraub8 length8 = 0;
    c.check(oci().OCILobGetLength2(c.svc, c.err, loc, &length8));
    EXPECT_EQ(length8, 4u);
    unsigned char back[8] = {};
    amount = 8;
    c.check(oci().OCILobRead(c.svc, c.err, loc, &amount, 1, back, sizeof back, nullptr, nullptr, 0, 0));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(back), amount), std::string("\x01\xAA\xBB\xCC", 4));
    // Past the end there is nothing to read.
    amount = 8;
    c.check(oci().OCILobRead(c.svc, c.err, loc, &amount, 9, back, sizeof back, nullptr, nullptr, 0, 0));
    EXPECT_EQ(amount, 0u);
    oci().OCIDescriptorFree(loc, OCI_DTYPE_LOB);
}

TEST_F(stand_in, unfetched_locator_is_invalid)
{
    OCILobLocator* loc = new_locator(c);
    ub4 length = 0;
    EXPECT_EQ(number_of(c.error_of(oci().OCILobGetLength(c.svc, c.err, loc, &length))), 22275);
    oci().OCIDescriptorFree(loc, OCI_DTYPE_LOB);
}

TEST_F(stand_in, prepare2_and_binds_by_position)
{
    run(c, "CREATE TABLE t (a NUMBER(5), b VARCHAR2(10))");
    std::u16string sql = u"INSERT INTO t (b, a) VALUES (:x, :y)";
    OCIStmt* s = nullptr;
    c.check(oci().OCIStmtPrepare2(c.svc, &s, c.err, txt(sql), bytes(sql), nullptr, 0, OCI_NTV_SYNTAX, OCI_DEFAULT));
    ub2 type = 0;
    c.check(oci().OCIAttrGet(s, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, c.err));
    EXPECT_EQ(type, OCI_STMT_INSERT);
    // Positions follow the order of the placeholders in the text.
    struct row_t {
        int32_t a;
        char16_t b[6];
        sb2 b_ind;
    } rows[3] = {{1, u"one", 0}, {2, u"two", -1}, {3, u"three", 0}};
    OCIBind* bx = nullptr;
    OCIBind* by = nullptr;
    c.check(oci().OCIBindByPos(s, &bx, c.err, 1, rows[0].b, sizeof rows[0].b, SQLT_STR, &rows[0].b_ind, nullptr,
                               nullptr, 0, nullptr, OCI_DEFAULT));
    c.check(oci().OCIBindByPos(s, &by, c.err, 2, &rows[0].a, sizeof rows[0].a, SQLT_INT, nullptr, nullptr, nullptr, 0,
                               nullptr, OCI_DEFAULT));
    c.check(oci().OCIBindArrayOfStruct(bx, c.err, sizeof(row_t), sizeof(row_t), 0, 0));
    c.check(oci().OCIBindArrayOfStruct(by, c.err, sizeof(row_t), 0, 0, 0));
    c.check(oci().OCIStmtExecute(c.svc, s, c.err, 3, 0, nullptr, nullptr, OCI_COMMIT_ON_SUCCESS));
    ub4 count = 0;
    c.check(oci().OCIAttrGet(s, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, c.err));
    EXPECT_EQ(count, 3u);
    OCIBind* bad = nullptr;
    EXPECT_EQ(number_of(c.error_of(oci().OCIBindByPos(s, &bad, c.err, 3, &count, 4, SQLT_INT, nullptr, nullptr, nullptr,
                                                      0, nullptr, OCI_DEFAULT))),
              1036);
    c.check(oci().OCIStmtRelease(s, c.err, nullptr, 0, OCI_DEFAULT));

    EXPECT_EQ(query(c, "SELECT a, b FROM t ORDER BY a"),
              (std::vector<row>{{"1", "one"}, {"2", std::nullopt}, {"3", "three"}}));
}

TEST_F(stand_in, binding_in_ddl_is_an_illegal_variable)
{
    statement s(c, "CREATE TABLE t (a NUMBER)");
    OCIBind* b = nullptr;
    std::u16string name = u":1";
    int32_t v = 0;
    EXPECT_EQ(number_of(c.error_of(oci().OCIBindByName(s.h, &b, c.err, txt(name), bytes(name), &v, sizeof v, SQLT_INT,
                                                       nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT))),
              1036);
}

TEST_F(stand_in, ping_answers_while_connected)
{
    c.check(oci().OCIPing(c.svc, c.err, OCI_DEFAULT));
    EXPECT_EQ(oci().OCIPing(nullptr, c.err, OCI_DEFAULT), OCI_INVALID_HANDLE);
}

TEST_F(stand_in, round_trips_are_counted_per_network_call)
{
    run(c, "CREATE TABLE t (id NUMBER(5))");
    run(c, "INSERT INTO t VALUES (1)");
    run(c, "INSERT INTO t VALUES (2)");
    run(c, "INSERT INTO t VALUES (3)", OCI_COMMIT_ON_SUCCESS);
    connection counted;
    emu::reset_round_trips("XE");
    ASSERT_EQ(counted.logon(user, "pw"), OCI_SUCCESS);
    {
        statement s(counted, "SELECT id FROM t");
        int32_t id = 0;
        OCIDefine* d = nullptr;
        counted.check(oci().OCIDefineByPos(s.h, &d, counted.err, 1, &id, sizeof id, SQLT_INT, nullptr, nullptr, nullptr,
                                           OCI_DEFAULT));
        counted.check(s.execute());  // one execute, first row included
        EXPECT_EQ(s.fetch(), OCI_SUCCESS);
        EXPECT_EQ(s.fetch(), OCI_SUCCESS);
        EXPECT_EQ(s.fetch(), OCI_NO_DATA);
    }
    counted.check(oci().OCITransCommit(counted.svc, counted.err, OCI_DEFAULT));
    counted.check(oci().OCILogoff(counted.svc, counted.err));
    counted.svc = nullptr;
    emu::rt_counters rt = emu::service_round_trips("XE");
    EXPECT_EQ(rt.execute, 1u);
    EXPECT_EQ(rt.fetch, 3u);
    EXPECT_GE(rt.commit, 1u);
}

#endif  // ORAEMU_OCI_LIB

// Under a WE8MSWIN1252 database, the text of a statement passes through the
// database character set: an N'...' literal keeps Greek only when the
// environment was created with ORA_NCHAR_LITERAL_REPLACE=TRUE.
TEST_F(stand_in, nchar_literals_need_the_client_setting)
{
    struct restore {
        ~restore()
        {
            emu::set_setting("XE", "db_charset", "AL32UTF8");
            unsetenv("ORA_NCHAR_LITERAL_REPLACE");
        }
    } restore_after;
    emu::set_setting("XE", "db_charset", "WE8MSWIN1252");
    const std::string omega = "\xCE\xA9", e_acute = "\xC3\xA9";
    struct {
        const char* env;  // nullptr: unset
        std::string kept;
    } cases[] = {{nullptr, "?" + e_acute}, {"FALSE", "?" + e_acute}, {"TRUE", omega + e_acute}};
    int n = 0;
    for (const auto& k : cases) {
        SCOPED_TRACE(k.env ? k.env : "unset");
        if (k.env)
            setenv("ORA_NCHAR_LITERAL_REPLACE", k.env, 1);
        else
            unsetenv("ORA_NCHAR_LITERAL_REPLACE");
        connection other;  // the setting is read when the environment is created
        unsetenv("ORA_NCHAR_LITERAL_REPLACE");
        ASSERT_EQ(other.logon(user, "pw"), OCI_SUCCESS);
        std::string table = "NL" + std::to_string(++n);
        run(other, "CREATE TABLE " + table + " (N NVARCHAR2(10), V VARCHAR2(10))");
        run(other, "INSERT INTO " + table + " (N, V) VALUES (N'" + omega + e_acute + "', '" + omega + e_acute + "')");
        // A plain literal never keeps it.
        EXPECT_EQ(query(other, "SELECT N, V FROM " + table), (std::vector<row>{{k.kept, "?" + e_acute}}));
    }
}

// A TIMESTAMP(7) value fetched as text and sent back as text (read with
// the session's NLS_TIMESTAMP_FORMAT) is the same value to 100 ns.
TEST_F(stand_in, timestamp_7_round_trips_as_text)
{
    run(c, "CREATE TABLE TS7 (ID NUMBER, T TIMESTAMP(7))");
    run(c, "INSERT INTO TS7 (ID, T) VALUES (1, TO_TIMESTAMP('2021-05-06 22:45:12.3456789', "
           "'YYYY-MM-DD HH24:MI:SS.FF7'))");
    std::vector<row> first = query(c, "SELECT T FROM TS7");
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0][0], "06-MAY-21 10.45.12.3456789 PM");
    run(c, "INSERT INTO TS7 (ID, T) VALUES (2, '" + *first[0][0] + "')");
    EXPECT_EQ(query(c, "SELECT COUNT(*) FROM TS7 a, TS7 b WHERE a.ID = 1 AND b.ID = 2 AND a.T = b.T"),
              (std::vector<row>{{std::string("1")}}));
    EXPECT_EQ(query(c, "SELECT TO_CHAR(T, 'HH24:MI:SS.FF7') FROM TS7 WHERE ID = 2"),
              (std::vector<row>{{std::string("22:45:12.3456789")}}));
}
