// The full client scenario through the binding, with the stand-in loaded
// as the client library: log on, create a table of every type, insert
// with RETURNING ROWID through dynamic binds, write and read LOBs, select
// with defines of every kind, describe, read the dictionary.
#include "ora_stand_in_support.h"

#ifdef ORAEMU_OCI_LIB

#include <algorithm>
#include <random>

using namespace ora_test;

namespace {

const char* const k_all_types = "CREATE TABLE all_types ("
                                "id NUMBER(5) NOT NULL, "
                                "amount NUMBER(8,2) DEFAULT 0, "
                                "plain NUMBER, "
                                "ratio FLOAT, "
                                "dbl BINARY_DOUBLE, "
                                "vc VARCHAR2(20 CHAR), "
                                "vb VARCHAR2(30 BYTE), "
                                "nvc NVARCHAR2(10), "
                                "ch CHAR(3), "
                                "nch NCHAR(2), "
                                "born DATE, "
                                "stamp TIMESTAMP, "
                                "bin RAW(16), "
                                "doc CLOB, "
                                "ndoc NCLOB, "
                                "pic BLOB, "
                                "\"Mixed Case\" VARCHAR2(5) NULL)";

struct column_desc {
    std::string name;
    ub2 type = 0;
    ub2 size = 0;
    sb2 precision = 0;
    sb1 scale = 0;
    ub1 nullable = 0;
    ub1 form = 0;
    ub2 char_size = 0;

    bool operator==(const column_desc&) const = default;
};

void PrintTo(const column_desc& d, std::ostream* os)
{
    *os << d.name << " type " << d.type << " size " << d.size << " precision " << d.precision << " scale "
        << int(d.scale) << " nullable " << int(d.nullable) << " form " << int(d.form) << " chars " << d.char_size;
}

std::vector<column_desc> describe(connection& c, statement& s)
{
    ub4 count = 0;
    c.check(oci().OCIAttrGet(s.h, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, c.err));
    std::vector<column_desc> out;
    for (ub4 i = 1; i <= count; ++i) {
        void* p = nullptr;
        c.check(oci().OCIParamGet(s.h, OCI_HTYPE_STMT, c.err, &p, i));
        column_desc d;
        OraText* name = nullptr;
        ub4 name_len = 0;
        c.check(oci().OCIAttrGet(p, OCI_DTYPE_PARAM, &name, &name_len, OCI_ATTR_NAME, c.err));
        d.name = n(std::u16string_view(reinterpret_cast<const char16_t*>(name), name_len / 2));
        c.check(oci().OCIAttrGet(p, OCI_DTYPE_PARAM, &d.type, nullptr, OCI_ATTR_DATA_TYPE, c.err));
        c.check(oci().OCIAttrGet(p, OCI_DTYPE_PARAM, &d.size, nullptr, OCI_ATTR_DATA_SIZE, c.err));
        c.check(oci().OCIAttrGet(p, OCI_DTYPE_PARAM, &d.precision, nullptr, OCI_ATTR_PRECISION, c.err));
        c.check(oci().OCIAttrGet(p, OCI_DTYPE_PARAM, &d.scale, nullptr, OCI_ATTR_SCALE, c.err));
        c.check(oci().OCIAttrGet(p, OCI_DTYPE_PARAM, &d.nullable, nullptr, OCI_ATTR_IS_NULL, c.err));
        c.check(oci().OCIAttrGet(p, OCI_DTYPE_PARAM, &d.form, nullptr, OCI_ATTR_CHARSET_FORM, c.err));
        c.check(oci().OCIAttrGet(p, OCI_DTYPE_PARAM, &d.char_size, nullptr, OCI_ATTR_CHAR_SIZE, c.err));
        oci().OCIDescriptorFree(p, OCI_DTYPE_PARAM);
        out.push_back(d);
    }
    void* none = nullptr;
    EXPECT_EQ(oci().OCIParamGet(s.h, OCI_HTYPE_STMT, c.err, &none, count + 1), OCI_NO_DATA);
    return out;
}

// The dynamic-bind protocol of RETURNING ROWID INTO :1, as the product
// drives it: no input data, one output buffer and its length.
struct rowid_sink {
    char16_t buffer[256] = {};
    ub4 length = sizeof buffer;
    int in_calls = 0;
    int out_calls = 0;
    ub4 last_iter = 99, last_index = 99;
    ub4 rows_returned = 0;

    static sb4 in_cb(void* ctx, OCIBind*, ub4, ub4, void** bufpp, ub4* alenp, ub1* piecep, void** indpp)
    {
        auto* self = static_cast<rowid_sink*>(ctx);
        ++self->in_calls;
        *bufpp = nullptr;
        *alenp = 0;
        *indpp = nullptr;
        *piecep = OCI_ONE_PIECE;
        return OCI_CONTINUE;
    }

    static sb4 out_cb(void* ctx, OCIBind* bind, ub4 iter, ub4 index, void** bufpp, ub4** alenpp, ub1* piecep,
                      void** indpp, ub2** rcodepp)
    {
        auto* self = static_cast<rowid_sink*>(ctx);
        ++self->out_calls;
        self->last_iter = iter;
        self->last_index = index;
        if (index == 0)
            oci().OCIAttrGet(bind, OCI_HTYPE_BIND, &self->rows_returned, nullptr, OCI_ATTR_ROWS_RETURNED, nullptr);
        self->length = sizeof self->buffer;
        *bufpp = self->buffer;
        *alenpp = &self->length;
        *piecep = OCI_ONE_PIECE;
        *indpp = nullptr;
        *rcodepp = nullptr;
        return OCI_CONTINUE;
    }
};

std::string insert_returning_rowid(connection& c, const std::string& insert, rowid_sink& sink)
{
    statement s(c, insert + " RETURNING ROWID INTO :1");
    OCIBind* b = nullptr;
    std::u16string name = u":1";
    c.check(oci().OCIBindByName(s.h, &b, c.err, txt(name), bytes(name), sink.buffer, sizeof sink.buffer, SQLT_STR,
                                nullptr, nullptr, nullptr, 0, nullptr, OCI_DATA_AT_EXEC));
    c.check(oci().OCIBindDynamic(b, c.err, &sink, &rowid_sink::in_cb, &sink, &rowid_sink::out_cb));
    c.check(s.execute(1, OCI_COMMIT_ON_SUCCESS));
    return n(std::u16string_view(sink.buffer));
}

}  // namespace

TEST_F(stand_in, logon_reports_the_server_version)
{
    std::vector<row> rows = query(c, "select * from v$version");
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0][0].value_or(""), "Oracle Database 11g Express Edition Release 11.2.0.2.0 - 64bit Production");
    char16_t buf[128] = {};
    c.check(oci().OCIServerVersion(c.svc, c.err, reinterpret_cast<OraText*>(buf), sizeof buf, OCI_HTYPE_SVCCTX));
    EXPECT_NE(n(buf).find("11.2.0.2.0"), std::string::npos) << n(buf);
}

TEST_F(stand_in, logon_makes_its_own_service_context_server_and_session)
{
    void* server = nullptr;
    void* session = nullptr;
    c.check(oci().OCIAttrGet(c.svc, OCI_HTYPE_SVCCTX, &server, nullptr, OCI_ATTR_SERVER, c.err));
    c.check(oci().OCIAttrGet(c.svc, OCI_HTYPE_SVCCTX, &session, nullptr, OCI_ATTR_SESSION, c.err));
    EXPECT_NE(server, nullptr);
    EXPECT_NE(session, nullptr);
    // A service context allocated before OCILogon is not the one it returns.
    connection other;
    OCISvcCtx* mine = nullptr;
    ASSERT_EQ(oci().OCIHandleAlloc(other.env, reinterpret_cast<void**>(&mine), OCI_HTYPE_SVCCTX, 0, nullptr),
              OCI_SUCCESS);
    other.svc = mine;
    ASSERT_EQ(other.logon(user, "pw"), OCI_SUCCESS);
    EXPECT_NE(other.svc, mine);
    EXPECT_EQ(oci().OCIHandleFree(mine, OCI_HTYPE_SVCCTX), OCI_SUCCESS);
    // After OCILogoff the context it made is gone.
    OCISvcCtx* logged = other.svc;
    ASSERT_EQ(oci().OCILogoff(logged, other.err), OCI_SUCCESS);
    other.svc = nullptr;
    EXPECT_EQ(oci().OCIHandleFree(logged, OCI_HTYPE_SVCCTX), OCI_INVALID_HANDLE);
}

TEST_F(stand_in, describe_reports_every_type_as_oci_does)
{
    run(c, k_all_types);
    statement s(c, "SELECT * FROM all_types");
    c.check(s.execute(0));
    std::vector<column_desc> cols = describe(c, s);
    ASSERT_EQ(cols.size(), 17u);
    // Name, type, size, precision, scale, nullable, form, characters.
    const column_desc expected[] = {
        {"ID", SQLT_NUM, 22, 5, 0, 0, 0, 0},
        {"AMOUNT", SQLT_NUM, 22, 8, 2, 1, 0, 0},
        {"PLAIN", SQLT_NUM, 22, 0, -127, 1, 0, 0},
        {"RATIO", SQLT_NUM, 22, 126, -127, 1, 0, 0},
        {"DBL", SQLT_IBDOUBLE, 8, 0, 0, 1, 0, 0},
        {"VC", SQLT_CHR, 80, 0, 0, 1, SQLCS_IMPLICIT, 20},
        {"VB", SQLT_CHR, 30, 0, 0, 1, SQLCS_IMPLICIT, 30},
        {"NVC", SQLT_CHR, 20, 0, 0, 1, SQLCS_NCHAR, 10},
        {"CH", SQLT_AFC, 3, 0, 0, 1, SQLCS_IMPLICIT, 3},
        {"NCH", SQLT_AFC, 4, 0, 0, 1, SQLCS_NCHAR, 2},
        {"BORN", SQLT_DAT, 7, 0, 0, 1, 0, 0},
        {"STAMP", SQLT_TIMESTAMP, 11, 0, 6, 1, 0, 0},
        {"BIN", SQLT_BIN, 16, 0, 0, 1, 0, 0},
        {"DOC", SQLT_CLOB, 4000, 0, 0, 1, SQLCS_IMPLICIT, 0},
        {"NDOC", SQLT_CLOB, 4000, 0, 0, 1, SQLCS_NCHAR, 0},
        {"PIC", SQLT_BLOB, 4000, 0, 0, 1, 0, 0},
        {"Mixed Case", SQLT_CHR, 5, 0, 0, 1, SQLCS_IMPLICIT, 5},
    };
    for (size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(cols[i], expected[i]);

    // Describe-only gives the same without running the query.
    statement d(c, "SELECT id, doc FROM all_types");
    c.check(d.execute(0, OCI_DESCRIBE_ONLY));
    std::vector<column_desc> two = describe(c, d);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[1].type, SQLT_CLOB);
}

TEST_F(stand_in, insert_returns_the_rowid_through_the_dynamic_callbacks)
{
    run(c, "CREATE TABLE t (id NUMBER(5), name VARCHAR2(10))");
    rowid_sink sink;
    std::string rowid = insert_returning_rowid(c, "INSERT INTO t VALUES (1, 'one')", sink);
    EXPECT_EQ(sink.out_calls, 1);
    EXPECT_EQ(sink.last_iter, 0u);
    EXPECT_EQ(sink.last_index, 0u);
    EXPECT_EQ(sink.rows_returned, 1u);
    ASSERT_EQ(rowid.size(), 18u) << rowid;
    EXPECT_EQ(rowid.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"),
              std::string::npos);
    // The returned length is in bytes of the UTF-16 text.
    EXPECT_EQ(sink.length, 36u);

    // The row is committed and found again by its ROWID.
    connection other;
    ASSERT_EQ(other.logon(user, "pw"), OCI_SUCCESS);
    EXPECT_EQ(query(other, "SELECT name FROM t WHERE ROWID = '" + rowid + "'"), std::vector<row>{{"one"}});

    rowid_sink second;
    std::string rowid2 = insert_returning_rowid(c, "INSERT INTO t VALUES (2, 'two')", second);
    EXPECT_NE(rowid2, rowid);
    // ROWIDs stay with their rows.
    run(c, "DELETE FROM t WHERE id = 2", OCI_COMMIT_ON_SUCCESS);
    EXPECT_EQ(query(c, "SELECT id FROM t WHERE ROWID = '" + rowid + "'"), std::vector<row>{{"1"}});
}

TEST_F(stand_in, returning_bind_without_callbacks_is_refused)
{
    run(c, "CREATE TABLE t (id NUMBER(5))");
    statement s(c, "INSERT INTO t VALUES (1) RETURNING ROWID INTO :1");
    OCIBind* b = nullptr;
    std::u16string name = u":1";
    char16_t buf[64];
    c.check(oci().OCIBindByName(s.h, &b, c.err, txt(name), bytes(name), buf, sizeof buf, SQLT_STR, nullptr, nullptr,
                                nullptr, 0, nullptr, OCI_DATA_AT_EXEC));
    EXPECT_EQ(number_of(c.error_of(s.execute())), 24369);
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM t"), "0");
}

TEST_F(stand_in, clob_and_blob_data_round_trip)
{
    run(c, "CREATE TABLE docs (id NUMBER(5) PRIMARY KEY, doc CLOB, pic BLOB)");
    rowid_sink sink;
    std::string rowid = insert_returning_rowid(c, "INSERT INTO docs VALUES (1, EMPTY_CLOB(), EMPTY_BLOB())", sink);

    // Greek, Chinese and an emoji (a surrogate pair: two UTF-16 units).
    const std::u16string text = u"\u0391\u03B8\u03AE\u03BD\u03B1 \u5317\u4EAC \U0001F600 end";
    std::string blob(1 << 20, '\0');
    std::mt19937 gen(7);
    for (char& ch : blob) ch = static_cast<char>(gen() & 0xFF);

    OCILobLocator* clob = new_locator(c);
    OCILobLocator* bl = new_locator(c);
    {
        statement s(c, "SELECT doc, pic FROM docs WHERE ROWID = '" + rowid + "' FOR UPDATE");
        define_lob(c, s, 1, clob, SQLT_CLOB);
        define_lob(c, s, 2, bl, SQLT_BLOB);
        c.check(s.execute());
        ub1 form = 9;
        c.check(oci().OCILobCharSetForm(c.env, c.err, clob, &form));
        EXPECT_EQ(form, SQLCS_IMPLICIT);
        c.check(oci().OCILobCharSetForm(c.env, c.err, bl, &form));
        EXPECT_EQ(form, 0);

        // A CLOB amount in a UTF-16 client counts code units; the buffer
        // length counts bytes.
        ub4 amount = static_cast<ub4>(text.size());
        c.check(oci().OCILobWrite(c.svc, c.err, clob, &amount, 1, const_cast<char16_t*>(text.data()), bytes(text),
                                  OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT));
        EXPECT_EQ(amount, text.size());
        amount = static_cast<ub4>(blob.size());
        c.check(oci().OCILobWrite(c.svc, c.err, bl, &amount, 1, blob.data(), static_cast<ub4>(blob.size()),
                                  OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT));
        // An amount that needs more data than the buffer holds.
        amount = 10;
        EXPECT_EQ(
            number_of(c.error_of(oci().OCILobWrite(c.svc, c.err, clob, &amount, 1, const_cast<char16_t*>(text.data()),
                                                   10, OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT))),
            24811);
        c.check(oci().OCITransCommit(c.svc, c.err, OCI_DEFAULT));
    }

    connection other;
    ASSERT_EQ(other.logon(user, "pw"), OCI_SUCCESS);
    statement s(other, "SELECT doc, pic FROM docs WHERE id = 1");
    define_lob(other, s, 1, clob, SQLT_CLOB);
    define_lob(other, s, 2, bl, SQLT_BLOB);
    other.check(s.execute());
    ub4 length = 0;
    other.check(oci().OCILobGetLength(other.svc, other.err, clob, &length));
    EXPECT_EQ(length, text.size());
    other.check(oci().OCILobGetLength(other.svc, other.err, bl, &length));
    EXPECT_EQ(length, blob.size());

    // Read in pieces of 7 units, each from where the last ended, until a
    // read returns nothing.
    std::u16string back;
    for (ub4 offset = 1;;) {
        char16_t piece[7];
        ub4 amount = 7;
        other.check(oci().OCILobRead(other.svc, other.err, clob, &amount, offset, piece, sizeof piece, nullptr, nullptr,
                                     0, SQLCS_IMPLICIT));
        if (amount == 0) break;
        back.append(piece, amount);
        offset += amount;
    }
    EXPECT_EQ(back, text);

    std::string bytes_back;
    std::vector<char> chunk(32768);
    for (ub4 offset = 1;;) {
        ub4 amount = static_cast<ub4>(chunk.size());
        other.check(oci().OCILobRead(other.svc, other.err, bl, &amount, offset, chunk.data(),
                                     static_cast<ub4>(chunk.size()), nullptr, nullptr, 0, 0));
        if (amount == 0) break;
        bytes_back.append(chunk.data(), amount);
        offset += amount;
    }
    EXPECT_TRUE(bytes_back == blob) << "BLOB differs, " << bytes_back.size() << " bytes read";
    oci().OCIDescriptorFree(clob, OCI_DTYPE_LOB);
    oci().OCIDescriptorFree(bl, OCI_DTYPE_LOB);
}

TEST_F(stand_in, lob_write_needs_the_row_locked)
{
    run(c, "CREATE TABLE docs (id NUMBER(5), doc CLOB)");
    run(c, "INSERT INTO docs VALUES (1, EMPTY_CLOB())", OCI_COMMIT_ON_SUCCESS);
    OCILobLocator* loc = new_locator(c);
    statement s(c, "SELECT doc FROM docs WHERE id = 1");
    define_lob(c, s, 1, loc, SQLT_CLOB);
    c.check(s.execute());
    std::u16string text = u"abc";
    ub4 amount = 3;
    EXPECT_EQ(number_of(c.error_of(oci().OCILobWrite(c.svc, c.err, loc, &amount, 1, const_cast<char16_t*>(text.data()),
                                                     6, OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT))),
              22920);
    oci().OCIDescriptorFree(loc, OCI_DTYPE_LOB);
}

TEST_F(stand_in, defines_of_every_kind_with_indicators)
{
    run(c, k_all_types);
    run(c,
        "INSERT INTO all_types (id, amount, plain, dbl, vc, nvc, ch, born, stamp, bin, doc) "
        "VALUES (7, 12.5, -0.25, 2.5, '\xCE\x94\xCE\xB5\xCE\xBB\xCF\x84\xCE\xB1 \xE5\x8C\x97', "
        "'\xE4\xBA\xAC', 'ab', "
        "TO_DATE('1992-11-30 15:17:00', 'YYYY-MM-DD HH24:MI:SS'), "
        "TO_TIMESTAMP('2001-02-03 04:05:06', 'YYYY-MM-DD HH24:MI:SS'), "
        "HEXTORAW('00FF10'), 'short text')",
        OCI_COMMIT_ON_SUCCESS);
    run(c, "INSERT INTO all_types (id) VALUES (8)", OCI_COMMIT_ON_SUCCESS);

    statement s(c, "SELECT id, amount, plain, dbl, vc, nvc, ch, born, stamp, bin, doc "
                   "FROM all_types ORDER BY id");
    int32_t id = 0;
    char16_t amount[32], plain[32], vc[64], nvc[32], ch[3];
    double dbl = 0;
    unsigned char born[7], stamp[7], bin[16];
    OCILobLocator* doc = new_locator(c);
    sb2 ind[11];
    ub2 len[11];
    struct spec {
        void* buf;
        sb4 size;
        ub2 type;
    } specs[11] = {{&id, sizeof id, SQLT_INT},
                   {amount, sizeof amount, SQLT_STR},
                   {plain, sizeof plain, SQLT_STR},
                   {&dbl, sizeof dbl, SQLT_FLT},
                   {vc, sizeof vc, SQLT_STR},
                   {nvc, sizeof nvc, SQLT_STR},
                   {ch, sizeof ch, SQLT_AFC},
                   {born, 7, SQLT_DAT},
                   {stamp, 7, SQLT_DAT},
                   {bin, sizeof bin, SQLT_BIN},
                   {&doc, -1, SQLT_CLOB}};
    for (ub4 i = 0; i < 11; ++i) {
        OCIDefine* d = nullptr;
        c.check(oci().OCIDefineByPos(s.h, &d, c.err, i + 1, specs[i].buf, specs[i].size, specs[i].type, &ind[i],
                                     &len[i], nullptr, OCI_DEFAULT));
    }
    ASSERT_EQ(s.execute(), OCI_SUCCESS);
    for (int i = 0; i < 11; ++i) EXPECT_EQ(ind[i], 0) << "column " << i + 1;
    EXPECT_EQ(id, 7);
    EXPECT_EQ(n(amount), "12.5");
    EXPECT_EQ(n(plain), "-.25");
    EXPECT_DOUBLE_EQ(dbl, 2.5);
    EXPECT_EQ(n(vc), "\xCE\x94\xCE\xB5\xCE\xBB\xCF\x84\xCE\xB1 \xE5\x8C\x97");
    EXPECT_EQ(n(nvc), "\xE4\xBA\xAC");
    EXPECT_EQ(std::u16string(ch, 3), u"ab ");
    const unsigned char born_expected[7] = {119, 192, 11, 30, 16, 18, 1};
    EXPECT_EQ(0, std::memcmp(born, born_expected, 7));
    const unsigned char stamp_expected[7] = {120, 101, 2, 3, 5, 6, 7};
    EXPECT_EQ(0, std::memcmp(stamp, stamp_expected, 7));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bin), len[9]), std::string("\x00\xFF\x10", 3));
    ub4 doc_len = 0;
    c.check(oci().OCILobGetLength(c.svc, c.err, doc, &doc_len));
    EXPECT_EQ(doc_len, 10u);

    // The second row has its id and the default of AMOUNT; every other
    // column is NULL: indicator -1 and the buffer left as it was.
    std::memcpy(plain, u"keep", 10);
    ASSERT_EQ(s.fetch(), OCI_SUCCESS);
    EXPECT_EQ(id, 8);
    EXPECT_EQ(ind[1], 0);
    EXPECT_EQ(n(amount), "0");
    for (int i = 2; i < 11; ++i) EXPECT_EQ(ind[i], -1) << "column " << i + 1;
    EXPECT_EQ(std::u16string(plain, 4), u"keep");
    EXPECT_EQ(s.fetch(), OCI_NO_DATA);
    EXPECT_EQ(s.fetch(), OCI_NO_DATA);
    oci().OCIDescriptorFree(doc, OCI_DTYPE_LOB);
}

TEST_F(stand_in, truncation_null_and_empty_results)
{
    run(c, "CREATE TABLE t (id NUMBER(5), name VARCHAR2(20))");
    run(c, "INSERT INTO t VALUES (1, 'abcdefgh')");
    run(c, "INSERT INTO t VALUES (2, NULL)", OCI_COMMIT_ON_SUCCESS);

    statement s(c, "SELECT name FROM t ORDER BY id");
    char16_t small[4];
    sb2 ind = 0;
    ub2 rcode = 0;
    OCIDefine* d = nullptr;
    c.check(oci().OCIDefineByPos(s.h, &d, c.err, 1, small, sizeof small, SQLT_STR, &ind, nullptr, &rcode, OCI_DEFAULT));
    sword rc = s.execute();
    EXPECT_EQ(rc, OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(ind, 16);  // the full length in bytes
    EXPECT_EQ(rcode, 1406);
    EXPECT_EQ(std::u16string(small), u"abc");
    sb4 code = 0;
    char16_t text[128];
    oci().OCIErrorGet(c.err, 1, nullptr, &code, reinterpret_cast<OraText*>(text), sizeof text, OCI_HTYPE_ERROR);
    EXPECT_EQ(code, 24345);

    // A NULL with no indicator to report it.
    statement s2(c, "SELECT name FROM t WHERE id = 2");
    c.check(oci().OCIDefineByPos(s2.h, &d, c.err, 1, small, sizeof small, SQLT_STR, nullptr, nullptr, nullptr,
                                 OCI_DEFAULT));
    EXPECT_EQ(number_of(c.error_of(s2.execute())), 1405);

    // No row at all: execute with one iteration says so.
    statement s3(c, "SELECT name FROM t WHERE id = 3");
    c.check(
        oci().OCIDefineByPos(s3.h, &d, c.err, 1, small, sizeof small, SQLT_STR, &ind, nullptr, nullptr, OCI_DEFAULT));
    EXPECT_EQ(s3.execute(), OCI_NO_DATA);

    // Executing a query with one iteration and no define.
    statement s4(c, "SELECT name FROM t");
    EXPECT_EQ(number_of(c.error_of(s4.execute())), 24374);
}

TEST_F(stand_in, count_and_catalogue_queries_of_the_product)
{
    run(c, "CREATE TABLE \"Orders\" (id NUMBER(10))");
    run(c, "CREATE TABLE orders (id NUMBER(10))");
    run(c, "INSERT INTO \"Orders\" VALUES (1)");
    run(c, "INSERT INTO \"Orders\" VALUES (2)", OCI_COMMIT_ON_SUCCESS);

    statement s(c, "SELECT COUNT(*) FROM \"Orders\"");
    int32_t count = -1;
    OCIDefine* d = nullptr;
    c.check(oci().OCIDefineByPos(s.h, &d, c.err, 1, &count, sizeof count, SQLT_INT, nullptr, nullptr, nullptr,
                                 OCI_DEFAULT));
    c.check(s.execute());
    EXPECT_EQ(count, 2);
    EXPECT_EQ(scalar(c, "SELECT COUNT(*) FROM ORDERS"), "0");

    std::vector<row> tables = query(c, "select TABLE_NAME, IOT_TYPE from user_tables where "
                                       "TEMPORARY='N' and NESTED='NO' and IOT_TYPE IS NULL OR "
                                       "IOT_TYPE='IOT'");
    std::vector<std::string> names;
    for (const row& r : tables) names.push_back(r[0].value_or(""));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"ORDERS", "Orders"}));
}

TEST_F(stand_in, dictionary_views_describe_the_schema)
{
    run(c, "CREATE TABLE parent (id NUMBER(10) NOT NULL, code VARCHAR2(10) DEFAULT 'x', "
           "CONSTRAINT pk_parent PRIMARY KEY (id))");
    run(c, "CREATE TABLE child (id NUMBER(10), parent_id NUMBER(10))");
    run(c, "ALTER TABLE child ADD CONSTRAINT fk_child FOREIGN KEY (parent_id) REFERENCES parent "
           "(id) ON DELETE CASCADE");
    run(c, "CREATE UNIQUE INDEX ix_code ON parent (code)");
    run(c, "CREATE SEQUENCE seq_child START WITH 1 INCREMENT BY 1 NOCACHE");
    run(c, "CREATE OR REPLACE TRIGGER trg_child BEFORE INSERT ON child FOR EACH ROW "
           "WHEN (new.id IS NULL) BEGIN select seq_child.nextval into :new.id from dual; END;");

    using rows = std::vector<row>;
    EXPECT_EQ(query(c, "SELECT COLUMN_NAME, DATA_TYPE, NULLABLE, DATA_DEFAULT FROM USER_TAB_COLUMNS WHERE "
                       "TABLE_NAME = 'PARENT' ORDER BY COLUMN_ID"),
              (rows{{"ID", "NUMBER", "N", std::nullopt}, {"CODE", "VARCHAR2", "Y", "'x'"}}));
    EXPECT_EQ(query(c, "SELECT CONSTRAINT_NAME, CONSTRAINT_TYPE, DELETE_RULE FROM USER_CONSTRAINTS WHERE "
                       "TABLE_NAME = 'CHILD' AND CONSTRAINT_TYPE = 'R'"),
              (rows{{"FK_CHILD", "R", "CASCADE"}}));
    EXPECT_EQ(query(c, "SELECT COLUMN_NAME, POSITION FROM USER_CONS_COLUMNS WHERE CONSTRAINT_NAME = 'PK_PARENT'"),
              (rows{{"ID", "1"}}));
    EXPECT_EQ(query(c, "SELECT INDEX_NAME, UNIQUENESS FROM USER_INDEXES WHERE TABLE_NAME = 'PARENT' ORDER BY "
                       "INDEX_NAME"),
              (rows{{"IX_CODE", "UNIQUE"}, {"PK_PARENT", "UNIQUE"}}));
    EXPECT_EQ(query(c, "SELECT COLUMN_NAME, COLUMN_POSITION FROM USER_IND_COLUMNS WHERE INDEX_NAME = 'IX_CODE'"),
              (rows{{"CODE", "1"}}));
    EXPECT_EQ(query(c, "SELECT SEQUENCE_NAME, INCREMENT_BY, CACHE_SIZE FROM USER_SEQUENCES"),
              (rows{{"SEQ_CHILD", "1", "0"}}));
    EXPECT_EQ(query(c, "SELECT TRIGGER_NAME, TABLE_NAME FROM USER_TRIGGERS"), (rows{{"TRG_CHILD", "CHILD"}}));

    // The trigger fills the key from the sequence.
    run(c, "INSERT INTO parent (id) VALUES (5)");
    run(c, "INSERT INTO child (parent_id) VALUES (5)", OCI_COMMIT_ON_SUCCESS);
    EXPECT_EQ(scalar(c, "SELECT id FROM child"), "1");
}

#endif  // ORAEMU_OCI_LIB
