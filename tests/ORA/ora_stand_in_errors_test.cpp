// Oracle errors and injected faults as the binding sees them through the
// stand-in: each arrives as ora_exception with the Oracle number, bit 20
// set in the code, and Oracle's "ORA-nnnnn: " text (what each statement
// fault raises is checked in the stand-in's own tests). Also transactions,
// array DML with OCI_BATCH_ERRORS and parse-only execution.
//
// Statement texts and oracle-sql-check: "SELEC 1 FROM dual" and
// "SELECT FROM WHERE" are wrong on purpose. "DROP TABLE t CASCADE
// CONSTRAINTS" is valid Oracle SQL that the checker's grammar rejects (it
// accepts only PURGE after the table name).
#include "ora_stand_in_support.h"

#ifdef ORAEMU_OCI_LIB

using namespace ora_test;

namespace {

// Expects a statement to fail with Oracle error `number`.
void expect_error(connection& c, const std::string& sql, int32_t number)
{
    std::optional<failure> f = fails(c, sql);
    ASSERT_TRUE(f) << sql;
    EXPECT_EQ(f->number, number) << sql << ": " << f->message;
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", number);
    EXPECT_EQ(f->message.rfind(prefix, 0), 0u) << f->message;
}

// The error a log-on fails with.
std::optional<failure> logon_error(const std::string& user, const std::string& password, const std::string& connect)
{
    connection c;
    return c.error_of(c.logon(user, password, connect));
}

class faults : public stand_in {
protected:
    void TearDown() override { emu::clear_faults("XE"); }
};

}  // namespace

TEST_F(stand_in, exception_code_is_the_oracle_number_with_bit_20)
{
    statement s(c, "SELECT * FROM no_such_table");
    try {
        c.check(s.execute(0));
        FAIL() << "no error";
    } catch (const ora_exception& e) {
        EXPECT_EQ(e.code, 0x100000u | 942u);
        EXPECT_EQ(e.level, 0);
        EXPECT_EQ(e.message, "ORA-00942: table or view does not exist");
    }
}

TEST_F(stand_in, error_records_follow_oci_rules)
{
    statement s(c, "SELECT * FROM no_such_table");
    ASSERT_EQ(s.execute(0), OCI_ERROR);
    sb4 code = 0;
    char16_t text[512];
    ASSERT_EQ(
        oci().OCIErrorGet(c.err, 1, nullptr, &code, reinterpret_cast<OraText*>(text), sizeof text, OCI_HTYPE_ERROR),
        OCI_SUCCESS);
    EXPECT_EQ(code, 942);
    EXPECT_EQ(n(text), "ORA-00942: table or view does not exist\n");
    EXPECT_EQ(
        oci().OCIErrorGet(c.err, 2, nullptr, &code, reinterpret_cast<OraText*>(text), sizeof text, OCI_HTYPE_ERROR),
        OCI_NO_DATA);
    // A small buffer truncates, still terminated.
    char16_t small[8];
    ASSERT_EQ(
        oci().OCIErrorGet(c.err, 1, nullptr, &code, reinterpret_cast<OraText*>(small), sizeof small, OCI_HTYPE_ERROR),
        OCI_SUCCESS);
    EXPECT_EQ(n(small), "ORA-009");
}

TEST_F(stand_in, schema_errors)
{
    run(c, "CREATE TABLE t (id NUMBER(3) NOT NULL, name VARCHAR2(5), CONSTRAINT pk_t PRIMARY KEY (id))");
    run(c, "INSERT INTO t VALUES (1, 'a')", OCI_COMMIT_ON_SUCCESS);
    expect_error(c, "INSERT INTO t VALUES (1, 'b')", 1);
    expect_error(c, "INSERT INTO t (name) VALUES ('c')", 1400);
    expect_error(c, "INSERT INTO t VALUES ('', 'c')", 1400);
    expect_error(c, "INSERT INTO t VALUES (2, 'abcdef')", 12899);
    expect_error(c, "INSERT INTO t VALUES (1000, 'x')", 1438);
    expect_error(c, "INSERT INTO t VALUES ('abc', 'x')", 1722);
    expect_error(c, "SELECT nope FROM t", 904);
    expect_error(c, "CREATE TABLE t (id NUMBER)", 955);
    expect_error(c, "ALTER TABLE t ADD CONSTRAINT pk_t2 PRIMARY KEY (name)", 2260);
    expect_error(c, "CREATE INDEX ix_t ON t (id)", 1408);
    expect_error(c, "CREATE TABLE n (x NVARCHAR2(2001))", 910);
    expect_error(c, "CREATE TABLE r (x RAW(2001))", 910);
    expect_error(c, "CREATE TABLE abcdefghijklmnopqrstuvwxyz012345 (x NUMBER)", 972);
    expect_error(c, "CREATE TABLE d (x NUMBER, x NUMBER)", 957);
    expect_error(c, "SELEC 1 FROM dual", 900);
    expect_error(c, "INSERT INTO t VALUES (3, TO_DATE('2023-13-01', 'YYYY-MM-DD'))", 1843);
}

TEST_F(stand_in, foreign_key_errors)
{
    run(c, "CREATE TABLE p (id NUMBER(5) PRIMARY KEY)");
    run(c, "CREATE TABLE ch (id NUMBER(5), pid NUMBER(5))");
    run(c, "ALTER TABLE ch ADD FOREIGN KEY (pid) REFERENCES p (id)");
    run(c, "INSERT INTO p VALUES (1)");
    run(c, "INSERT INTO ch VALUES (1, 1)", OCI_COMMIT_ON_SUCCESS);
    expect_error(c, "INSERT INTO ch VALUES (2, 2)", 2291);
    expect_error(c, "DELETE FROM p WHERE id = 1", 2292);
    expect_error(c, "DROP TABLE p", 2449);
    run(c, "DROP TABLE p CASCADE CONSTRAINTS");
    run(c, "INSERT INTO ch VALUES (3, 99)", OCI_COMMIT_ON_SUCCESS);
}

TEST_F(stand_in, failed_statement_changes_nothing)
{
    run(c, "CREATE TABLE t (id NUMBER(5) PRIMARY KEY)");
    run(c, "INSERT INTO t VALUES (1)");
    run(c, "INSERT INTO t VALUES (2)", OCI_COMMIT_ON_SUCCESS);
    expect_error(c, "UPDATE t SET id = 1", 1);
    EXPECT_EQ(query(c, "SELECT id FROM t ORDER BY id"), (std::vector<row>{{"1"}, {"2"}}));
}

TEST_F(stand_in, commit_on_success_and_rollback)
{
    run(c, "CREATE TABLE t (id NUMBER(5))");
    connection other;
    ASSERT_EQ(other.logon(user, "pw"), OCI_SUCCESS);
    run(c, "INSERT INTO t VALUES (1)");
    EXPECT_EQ(scalar(other, "SELECT COUNT(*) FROM t"), "0");
    c.check(oci().OCITransRollback(c.svc, c.err, OCI_DEFAULT));
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM t"), "0");
    run(c, "INSERT INTO t VALUES (2)", OCI_COMMIT_ON_SUCCESS);
    EXPECT_EQ(scalar(other, "SELECT COUNT(*) FROM t"), "1");
    run(c, "INSERT INTO t VALUES (3)");
    c.check(oci().OCITransCommit(c.svc, c.err, OCI_DEFAULT));
    EXPECT_EQ(scalar(other, "SELECT COUNT(*) FROM t"), "2");
}

TEST_F(stand_in, parse_only_checks_without_running)
{
    statement ok(c, "CREATE TABLE never_made (id NUMBER)");
    EXPECT_EQ(ok.execute(1, OCI_PARSE_ONLY), OCI_SUCCESS);
    EXPECT_TRUE(query(c, "SELECT TABLE_NAME FROM USER_TABLES").empty());
    statement bad(c, "SELECT FROM WHERE");
    auto f = c.error_of(bad.execute(1, OCI_PARSE_ONLY));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->message.rfind("ORA-", 0), 0u);
}

TEST_F(stand_in, non_query_with_zero_iterations_is_an_error)
{
    run(c, "CREATE TABLE t (id NUMBER(5))");
    statement s(c, "INSERT INTO t VALUES (1)");
    EXPECT_EQ(number_of(c.error_of(s.execute(0))), 24333);
}

TEST_F(stand_in, array_insert_with_batch_errors)
{
    run(c, "CREATE TABLE t (id NUMBER(5) PRIMARY KEY, name VARCHAR2(10))");
    run(c, "INSERT INTO t VALUES (4, 'old')", OCI_COMMIT_ON_SUCCESS);
    statement s(c, "INSERT INTO t VALUES (:id, :name)");
    int32_t ids[5] = {1, 2, 3, 4, 5};
    char16_t names[5][6] = {u"a", u"b", u"c", u"d", u"e"};
    OCIBind* b1 = nullptr;
    OCIBind* b2 = nullptr;
    std::u16string id_name = u":id", name_name = u":name";
    c.check(oci().OCIBindByName(s.h, &b1, c.err, txt(id_name), bytes(id_name), ids, sizeof ids[0], SQLT_INT, nullptr,
                                nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
    c.check(oci().OCIBindByName(s.h, &b2, c.err, txt(name_name), bytes(name_name), names, sizeof names[0], SQLT_STR,
                                nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
    emu::reset_round_trips("XE");
    sword rc =
        oci().OCIStmtExecute(c.svc, s.h, c.err, 5, 0, nullptr, nullptr, OCI_BATCH_ERRORS | OCI_COMMIT_ON_SUCCESS);
    ASSERT_NE(rc, OCI_ERROR);
    // Five rows and their commit cross the network once (the commit
    // published the counters).
    emu::rt_counters rt = emu::service_round_trips("XE");
    EXPECT_EQ(rt.execute, 1u);
    EXPECT_EQ(rt.commit, 0u);
    ub4 errors = 0;
    c.check(oci().OCIAttrGet(s.h, OCI_HTYPE_STMT, &errors, nullptr, OCI_ATTR_NUM_DML_ERRORS, c.err));
    ASSERT_EQ(errors, 1u);
    OCIError* row_err = nullptr;
    oci().OCIHandleAlloc(c.env, reinterpret_cast<void**>(&row_err), OCI_HTYPE_ERROR, 0, nullptr);
    ASSERT_EQ(oci().OCIParamGet(c.err, OCI_HTYPE_ERROR, c.err, reinterpret_cast<void**>(&row_err), 0), OCI_SUCCESS);
    ub4 offset = 99;
    c.check(oci().OCIAttrGet(row_err, OCI_HTYPE_ERROR, &offset, nullptr, OCI_ATTR_DML_ROW_OFFSET, c.err));
    EXPECT_EQ(offset, 3u);
    int32_t number = 0;
    std::u16string text;
    ASSERT_TRUE(ora_read_error(oci(), row_err, OCI_HTYPE_ERROR, 1, number, text));
    EXPECT_EQ(number, 1);
    oci().OCIHandleFree(row_err, OCI_HTYPE_ERROR);
    ub4 done = 0;
    c.check(oci().OCIAttrGet(s.h, OCI_HTYPE_STMT, &done, nullptr, OCI_ATTR_ROW_COUNT, c.err));
    EXPECT_EQ(done, 4u);
    connection other;
    ASSERT_EQ(other.logon(user, "pw"), OCI_SUCCESS);
    EXPECT_EQ(scalar(other, "SELECT COUNT(*) FROM t"), "5");
}

TEST_F(stand_in, invalid_trigger_is_created_with_info_and_blocks_inserts)
{
    run(c, "CREATE TABLE t (id NUMBER(5))");
    statement s(c, "CREATE OR REPLACE TRIGGER trg_t BEFORE INSERT ON t FOR EACH ROW BEGIN "
                   "select no_such_seq.nextval into :new.id from dual; END;");
    sword rc = s.execute();
    EXPECT_EQ(rc, OCI_SUCCESS_WITH_INFO);
    sb4 code = 0;
    char16_t text[256];
    oci().OCIErrorGet(c.err, 1, nullptr, &code, reinterpret_cast<OraText*>(text), sizeof text, OCI_HTYPE_ERROR);
    EXPECT_EQ(code, 24344);
    expect_error(c, "INSERT INTO t VALUES (1)", 4098);
}

// Refused log-ons, plain and through injected faults, each with Oracle's number.
TEST_F(faults, refused_logons)
{
    struct {
        const char* fault;  // nullptr: none
        std::string target, password, connect;
        int32_t number;
    } cases[] = {
        {nullptr, "", "wrong", "//localhost:1521/XE", 1017},
        {nullptr, "", "pw", "//localhost:1521/NOSUCH", 12514},
        {"account_locked", user, "pw", "//localhost:1521/XE", 28000},
        {"logon_refused", user, "pw", "//localhost:1521/XE", 1017},
        {"no_listener", "deadhost", "pw", "//deadhost:1521/XE", 12541},
        {"unknown_host", "nohost.invalid", "pw", "//nohost.invalid:1521/XE", 12545},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.connect + " " + (k.fault ? k.fault : "no fault"));
        if (k.fault) emu::add_fault("XE", {k.fault, k.target, 0, 0});
        EXPECT_EQ(number_of(logon_error(user, k.password, k.connect)), k.number);
        emu::clear_faults("XE");
    }
}

TEST_F(faults, connection_lost_after_some_statements)
{
    emu::add_fault("XE", {"connection_lost", "", 2, 0});
    connection lost;
    ASSERT_EQ(lost.logon(user, "pw"), OCI_SUCCESS);
    run(lost, "CREATE TABLE t (id NUMBER(5))");
    run(lost, "INSERT INTO t VALUES (1)");
    expect_error(lost, "INSERT INTO t VALUES (2)", 3113);
    expect_error(lost, "INSERT INTO t VALUES (3)", 3114);
}

#endif  // ORAEMU_OCI_LIB

namespace {

// A handle or descriptor of each kind, allocated on the connection's environment.
void* allocate(ora_test::connection& c, ub4 type, bool descriptor)
{
    void* h = nullptr;
    sword rc = descriptor ? oci().OCIDescriptorAlloc(c.env, &h, type, 0, nullptr)
                          : oci().OCIHandleAlloc(c.env, &h, type, 0, nullptr);
    EXPECT_EQ(rc, OCI_SUCCESS);
    return h;
}

sword release(void* h, ub4 type, bool descriptor)
{
    return descriptor ? oci().OCIDescriptorFree(h, type) : oci().OCIHandleFree(h, type);
}

}  // namespace

// Freeing a handle twice corrupts the heap of a real client library; the
// stand-in answers OCI_INVALID_HANDLE so that the test sees the mistake,
// even when a new handle was allocated in between (which a plain allocator
// may place at the freed address).
TEST_F(stand_in, handles_freed_twice_are_refused)
{
    struct {
        ub4 type;
        bool descriptor;
    } kinds[] = {{OCI_HTYPE_STMT, false},
                 {OCI_HTYPE_ERROR, false},
                 {OCI_HTYPE_SVCCTX, false},
                 {OCI_DTYPE_LOB, true},
                 {OCI_DTYPE_ROWID, true}};
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.type);
        void* first = allocate(c, k.type, k.descriptor);
        EXPECT_EQ(release(first, k.type, k.descriptor), OCI_SUCCESS);
        void* second = allocate(c, k.type, k.descriptor);
        EXPECT_EQ(release(first, k.type, k.descriptor), OCI_INVALID_HANDLE);
        // The handle allocated in between is untouched by the stale free.
        EXPECT_EQ(release(second, k.type, k.descriptor), OCI_SUCCESS);
        EXPECT_EQ(release(second, k.type, k.descriptor), OCI_INVALID_HANDLE);
    }
    // A statement still works after a stale free of another one.
    void* stale = allocate(c, OCI_HTYPE_STMT, false);
    ASSERT_EQ(oci().OCIHandleFree(stale, OCI_HTYPE_STMT), OCI_SUCCESS);
    ora_test::statement s(c, "SELECT 1 FROM DUAL");
    EXPECT_EQ(oci().OCIHandleFree(stale, OCI_HTYPE_STMT), OCI_INVALID_HANDLE);
    EXPECT_EQ(s.execute(0), OCI_SUCCESS);
    // The server and session handles of OCILogon belong to OCILogoff: a
    // caller freeing one is tolerated once, not twice.
    for (ub4 attr : {ub4(OCI_ATTR_SERVER), ub4(OCI_ATTR_SESSION)}) {
        void* h = nullptr;
        c.check(oci().OCIAttrGet(c.svc, OCI_HTYPE_SVCCTX, &h, nullptr, attr, c.err));
        ub4 type = attr == OCI_ATTR_SERVER ? OCI_HTYPE_SERVER : OCI_HTYPE_SESSION;
        EXPECT_EQ(oci().OCIHandleFree(h, type), OCI_SUCCESS);
        EXPECT_EQ(oci().OCIHandleFree(h, type), OCI_INVALID_HANDLE);
    }
}
