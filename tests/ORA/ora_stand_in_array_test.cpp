// The stand-in's array execution and prefetch: round trips counted as a
// server would see them, and rows of one array treated each as its own
// INSERT (triggers, faults).
#include "ora_stand_in_support.h"

#ifdef ORAEMU_OCI_LIB

namespace {

using namespace ora_test;

// Round trips of fetching every row of a 250-row table one at a time.
uint64_t fetch_round_trips(const std::string& user, ub4 prefetch)
{
    connection counted;
    EXPECT_EQ(counted.logon(user, "pw"), OCI_SUCCESS);
    emu::reset_round_trips("XE");
    int rows = 0;
    {
        statement s(counted, "SELECT id FROM t");
        counted.check(oci().OCIAttrSet(s.h, OCI_HTYPE_STMT, &prefetch, 0, OCI_ATTR_PREFETCH_ROWS, counted.err));
        int32_t id = 0;
        OCIDefine* d = nullptr;
        counted.check(oci().OCIDefineByPos(s.h, &d, counted.err, 1, &id, sizeof id, SQLT_INT, nullptr, nullptr, nullptr,
                                           OCI_DEFAULT));
        for (sword rc = s.execute(); rc != OCI_NO_DATA; rc = s.fetch()) {
            counted.check(rc);
            EXPECT_EQ(id, ++rows);
        }
    }
    EXPECT_EQ(rows, 250);
    counted.check(oci().OCILogoff(counted.svc, counted.err));
    counted.svc = nullptr;
    return emu::service_round_trips("XE").fetch;
}

TEST_F(stand_in, prefetch_brings_rows_without_round_trips)
{
    run(c, "CREATE TABLE t (id NUMBER(5))");
    {
        statement ins(c, "INSERT INTO t VALUES (:1)");
        std::vector<int32_t> ids(250);
        for (int i = 0; i < 250; ++i) ids[static_cast<size_t>(i)] = i + 1;
        OCIBind* b = nullptr;
        c.check(oci().OCIBindByPos(ins.h, &b, c.err, 1, ids.data(), sizeof(int32_t), SQLT_INT, nullptr, nullptr,
                                   nullptr, 0, nullptr, OCI_DEFAULT));
        c.check(ins.execute(250, OCI_COMMIT_ON_SUCCESS));
    }
    struct {
        ub4 prefetch;
        uint64_t round_trips;
    } cases[] = {
        {1, 250},  // every later row, and the end, asked for on its own
        {100, 2},  // rows 101-200 and 201-250 (the end known with them)
        {500, 0},  // everything came with the execute
    };
    for (const auto& k : cases)
        EXPECT_EQ(fetch_round_trips(user, k.prefetch), k.round_trips) << "prefetch " << k.prefetch;
}

TEST_F(stand_in, rows_of_an_array_fire_triggers_and_faults_each)
{
    run(c, "CREATE TABLE t (id NUMBER(5) PRIMARY KEY, name VARCHAR2(10))");
    run(c, "CREATE SEQUENCE s START WITH 100");
    run(c, "CREATE TRIGGER t_id BEFORE INSERT ON t FOR EACH ROW WHEN (new.id IS NULL) "
           "BEGIN SELECT s.NEXTVAL INTO :new.id FROM dual; END;");
    emu::add_fault("XE", {"insert_fails", "T", 4, 1653});
    statement ins(c, "INSERT INTO t VALUES (:1, :2)");
    int32_t ids[6] = {1, 0, 3, 0, 0, 6};
    sb2 ind[6] = {0, -1, 0, -1, -1, 0};
    char16_t names[6][4] = {u"a", u"b", u"c", u"d", u"e", u"f"};
    OCIBind* b1 = nullptr;
    OCIBind* b2 = nullptr;
    c.check(oci().OCIBindByPos(ins.h, &b1, c.err, 1, ids, sizeof ids[0], SQLT_INT, ind, nullptr, nullptr, 0, nullptr,
                               OCI_DEFAULT));
    c.check(oci().OCIBindByPos(ins.h, &b2, c.err, 2, names, sizeof names[0], SQLT_STR, nullptr, nullptr, nullptr, 0,
                               nullptr, OCI_DEFAULT));
    sword rc = ins.execute(6, OCI_BATCH_ERRORS | OCI_COMMIT_ON_SUCCESS);
    emu::clear_faults("XE");
    ASSERT_EQ(rc, OCI_SUCCESS_WITH_INFO);
    ub4 errors = 0;
    c.check(oci().OCIAttrGet(ins.h, OCI_HTYPE_STMT, &errors, nullptr, OCI_ATTR_NUM_DML_ERRORS, c.err));
    EXPECT_EQ(errors, 1u);  // the fourth row, by the fault
    auto rows = query(c, "SELECT id, name FROM t ORDER BY name");
    std::vector<row> expected = {{"1", "a"}, {"100", "b"}, {"3", "c"}, {"101", "e"}, {"6", "f"}};
    EXPECT_EQ(rows, expected);
}

}  // namespace

#endif  // ORAEMU_OCI_LIB
