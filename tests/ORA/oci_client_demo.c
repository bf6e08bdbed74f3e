/* A plain OCI client, written from the published OCI interface alone and
   compiled without any of Tolvane's headers. It loads a client library
   with dlopen (the path is the first argument, else TOLVANE_OCI_LIB, else
   libclntsh.so), logs on, creates a table, inserts with and without
   binds, selects with defines of several external types, writes and reads
   a CLOB, checks an Oracle error, and exits with 0 only if every result
   is what an Oracle server gives.

   Usage: oci_client_demo [library] [connect] [user] [password]
   (defaults: //localhost:1521/DEMO scott tiger). The environment is an
   8-bit (AL32UTF8) one: texts are UTF-8 and lengths are bytes. */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef unsigned char ub1;
typedef signed short sb2;
typedef unsigned short ub2;
typedef unsigned int ub4;
typedef signed int sb4;
typedef int sword;
typedef unsigned char OraText;

typedef struct OCIEnv OCIEnv;
typedef struct OCIError OCIError;
typedef struct OCISvcCtx OCISvcCtx;
typedef struct OCIStmt OCIStmt;
typedef struct OCIBind OCIBind;
typedef struct OCIDefine OCIDefine;
typedef struct OCILobLocator OCILobLocator;
typedef struct OCISnapshot OCISnapshot;

#define OCI_SUCCESS 0
#define OCI_SUCCESS_WITH_INFO 1
#define OCI_NO_DATA 100
#define OCI_ERROR (-1)
#define OCI_DEFAULT 0
#define OCI_HTYPE_ERROR 2
#define OCI_HTYPE_STMT 4
#define OCI_DTYPE_LOB 50
#define OCI_DTYPE_PARAM 53
#define OCI_NTV_SYNTAX 1
#define OCI_COMMIT_ON_SUCCESS 0x20
#define OCI_FETCH_NEXT 2
#define OCI_ONE_PIECE 0
#define OCI_ATTR_DATA_TYPE 2
#define OCI_ATTR_NAME 4
#define OCI_ATTR_PARAM_COUNT 18
#define SQLCS_IMPLICIT 1
#define SQLT_INT 3
#define SQLT_STR 5
#define SQLT_DAT 12
#define SQLT_CLOB 112

typedef sword (*env_create_fn)(OCIEnv **, ub4, void *, void *(*)(void *, size_t),
                               void *(*)(void *, void *, size_t), void (*)(void *, void *),
                               size_t, void **);
typedef sword (*handle_alloc_fn)(const void *, void **, ub4, size_t, void **);
typedef sword (*handle_free_fn)(void *, ub4);
typedef sword (*logon_fn)(OCIEnv *, OCIError *, OCISvcCtx **, const OraText *, ub4,
                          const OraText *, ub4, const OraText *, ub4);
typedef sword (*logoff_fn)(OCISvcCtx *, OCIError *);
typedef sword (*error_get_fn)(void *, ub4, OraText *, sb4 *, OraText *, ub4, ub4);
typedef sword (*prepare_fn)(OCIStmt *, OCIError *, const OraText *, ub4, ub4, ub4);
typedef sword (*execute_fn)(OCISvcCtx *, OCIStmt *, OCIError *, ub4, ub4, const OCISnapshot *,
                            OCISnapshot *, ub4);
typedef sword (*fetch_fn)(OCIStmt *, OCIError *, ub4, ub2, ub4);
typedef sword (*define_fn)(OCIStmt *, OCIDefine **, OCIError *, ub4, void *, sb4, ub2, void *,
                           ub2 *, ub2 *, ub4);
typedef sword (*bind_name_fn)(OCIStmt *, OCIBind **, OCIError *, const OraText *, sb4, void *,
                              sb4, ub2, void *, ub2 *, ub2 *, ub4, ub4 *, ub4);
typedef sword (*attr_get_fn)(const void *, ub4, void *, ub4 *, ub4, OCIError *);
typedef sword (*param_get_fn)(const void *, ub4, OCIError *, void **, ub4);
typedef sword (*desc_alloc_fn)(const void *, void **, ub4, size_t, void **);
typedef sword (*desc_free_fn)(void *, ub4);
typedef sword (*lob_write_fn)(OCISvcCtx *, OCIError *, OCILobLocator *, ub4 *, ub4, void *, ub4,
                              ub1, void *, void *, ub2, ub1);
typedef sword (*lob_read_fn)(OCISvcCtx *, OCIError *, OCILobLocator *, ub4 *, ub4, void *, ub4,
                             void *, void *, ub2, ub1);
typedef sword (*lob_length_fn)(OCISvcCtx *, OCIError *, OCILobLocator *, ub4 *);
typedef sword (*commit_fn)(OCISvcCtx *, OCIError *, ub4);

static struct {
    env_create_fn env_create;
    handle_alloc_fn handle_alloc;
    handle_free_fn handle_free;
    logon_fn logon;
    logoff_fn logoff;
    error_get_fn error_get;
    prepare_fn prepare;
    execute_fn execute;
    fetch_fn fetch;
    define_fn define;
    bind_name_fn bind_name;
    attr_get_fn attr_get;
    param_get_fn param_get;
    desc_alloc_fn desc_alloc;
    desc_free_fn desc_free;
    lob_write_fn lob_write;
    lob_read_fn lob_read;
    lob_length_fn lob_length;
    commit_fn commit;
} oci;

static OCIEnv *env;
static OCIError *err;
static OCISvcCtx *svc;
static int failures;

static void *need(void *lib, const char *name)
{
    void *p = dlsym(lib, name);
    if (p == NULL) {
        fprintf(stderr, "missing %s\n", name);
        exit(2);
    }
    return p;
}

static void check(int ok, const char *what)
{
    if (!ok) {
        fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

static void report(sword rc, const char *what)
{
    if (rc == OCI_SUCCESS || rc == OCI_SUCCESS_WITH_INFO) return;
    char text[1024] = "";
    sb4 code = 0;
    oci.error_get(err, 1, NULL, &code, (OraText *)text, sizeof text, OCI_HTYPE_ERROR);
    fprintf(stderr, "FAILED: %s: status %d: %s", what, rc, text);
    ++failures;
}

static OCIStmt *prepare(const char *sql)
{
    OCIStmt *st = NULL;
    oci.handle_alloc(env, (void **)&st, OCI_HTYPE_STMT, 0, NULL);
    report(oci.prepare(st, err, (const OraText *)sql, (ub4)strlen(sql), OCI_NTV_SYNTAX,
                       OCI_DEFAULT),
           sql);
    return st;
}

static void run(const char *sql, ub4 mode)
{
    OCIStmt *st = prepare(sql);
    report(oci.execute(svc, st, err, 1, 0, NULL, NULL, mode), sql);
    oci.handle_free(st, OCI_HTYPE_STMT);
}

static void load(const char *path)
{
    void *lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (lib == NULL) {
        fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
        exit(2);
    }
    oci.env_create = (env_create_fn)need(lib, "OCIEnvCreate");
    oci.handle_alloc = (handle_alloc_fn)need(lib, "OCIHandleAlloc");
    oci.handle_free = (handle_free_fn)need(lib, "OCIHandleFree");
    oci.logon = (logon_fn)need(lib, "OCILogon");
    oci.logoff = (logoff_fn)need(lib, "OCILogoff");
    oci.error_get = (error_get_fn)need(lib, "OCIErrorGet");
    oci.prepare = (prepare_fn)need(lib, "OCIStmtPrepare");
    oci.execute = (execute_fn)need(lib, "OCIStmtExecute");
    oci.fetch = (fetch_fn)need(lib, "OCIStmtFetch");
    oci.define = (define_fn)need(lib, "OCIDefineByPos");
    oci.bind_name = (bind_name_fn)need(lib, "OCIBindByName");
    oci.attr_get = (attr_get_fn)need(lib, "OCIAttrGet");
    oci.param_get = (param_get_fn)need(lib, "OCIParamGet");
    oci.desc_alloc = (desc_alloc_fn)need(lib, "OCIDescriptorAlloc");
    oci.desc_free = (desc_free_fn)need(lib, "OCIDescriptorFree");
    oci.lob_write = (lob_write_fn)need(lib, "OCILobWrite");
    oci.lob_read = (lob_read_fn)need(lib, "OCILobRead");
    oci.lob_length = (lob_length_fn)need(lib, "OCILobGetLength");
    oci.commit = (commit_fn)need(lib, "OCITransCommit");
}

static void insert_with_binds(void)
{
    OCIStmt *st = prepare("INSERT INTO demo_t (id, name, born) VALUES (:id, :name, :born)");
    OCIBind *b1 = NULL, *b2 = NULL, *b3 = NULL;
    int id = 2;
    char name[] = "Zo\xC3\xAB";
    unsigned char born[7] = {0};
    sb2 born_ind = -1; /* NULL */
    report(oci.bind_name(st, &b1, err, (const OraText *)":id", 3, &id, sizeof id, SQLT_INT, NULL,
                         NULL, NULL, 0, NULL, OCI_DEFAULT),
           "bind :id");
    report(oci.bind_name(st, &b2, err, (const OraText *)":NAME", 5, name, sizeof name, SQLT_STR,
                         NULL, NULL, NULL, 0, NULL, OCI_DEFAULT),
           "bind :name");
    report(oci.bind_name(st, &b3, err, (const OraText *)":born", 5, born, 7, SQLT_DAT, &born_ind,
                         NULL, NULL, 0, NULL, OCI_DEFAULT),
           "bind :born");
    report(oci.execute(svc, st, err, 1, 0, NULL, NULL, OCI_COMMIT_ON_SUCCESS), "insert binds");
    oci.handle_free(st, OCI_HTYPE_STMT);
}

static void select_rows(void)
{
    OCIStmt *st = prepare("SELECT id, name, born FROM demo_t ORDER BY id");
    OCIDefine *d1 = NULL, *d2 = NULL, *d3 = NULL;
    int id = 0;
    char name[41];
    unsigned char born[7];
    sb2 ind[3];
    ub2 len[3];
    report(oci.define(st, &d1, err, 1, &id, sizeof id, SQLT_INT, &ind[0], &len[0], NULL,
                      OCI_DEFAULT),
           "define 1");
    report(oci.define(st, &d2, err, 2, name, sizeof name, SQLT_STR, &ind[1], &len[1], NULL,
                      OCI_DEFAULT),
           "define 2");
    report(oci.define(st, &d3, err, 3, born, sizeof born, SQLT_DAT, &ind[2], &len[2], NULL,
                      OCI_DEFAULT),
           "define 3");
    sword rc = oci.execute(svc, st, err, 1, 0, NULL, NULL, OCI_DEFAULT);
    report(rc, "select");
    check(id == 1 && ind[0] == 0, "row 1 id");
    check(strcmp(name, "\xC3\x86r\xC3\xB8") == 0 && ind[1] == 0, "row 1 name");
    check(born[0] == 120 && born[1] == 101 && born[2] == 2 && born[3] == 3 && born[4] == 5 &&
              born[5] == 6 && born[6] == 7,
          "row 1 date bytes");

    ub4 count = 0;
    oci.attr_get(st, OCI_HTYPE_STMT, &count, NULL, OCI_ATTR_PARAM_COUNT, err);
    check(count == 3, "three select-list columns");
    void *param = NULL;
    check(oci.param_get(st, OCI_HTYPE_STMT, err, &param, 2) == OCI_SUCCESS, "param 2");
    ub2 type = 0;
    OraText *col = NULL;
    ub4 col_len = 0;
    oci.attr_get(param, OCI_DTYPE_PARAM, &type, NULL, OCI_ATTR_DATA_TYPE, err);
    oci.attr_get(param, OCI_DTYPE_PARAM, &col, &col_len, OCI_ATTR_NAME, err);
    check(type == 1, "VARCHAR2 reported as type 1");
    check(col_len == 4 && memcmp(col, "NAME", 4) == 0, "unquoted name folded to NAME");

    report(oci.fetch(st, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), "fetch 2");
    check(id == 2, "row 2 id");
    check(strcmp(name, "Zo\xC3\xAB") == 0, "row 2 name");
    check(ind[2] == -1, "row 2 date is NULL");
    check(oci.fetch(st, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT) == OCI_NO_DATA, "no third row");
    oci.handle_free(st, OCI_HTYPE_STMT);
}

static void lob_round_trip(void)
{
    const char text[] = "hello, w\xC3\xB6rld"; /* 12 characters, 13 bytes */
    OCILobLocator *loc = NULL;
    oci.desc_alloc(env, (void **)&loc, OCI_DTYPE_LOB, 0, NULL);
    OCIStmt *st = prepare("SELECT doc FROM demo_t WHERE id = 1 FOR UPDATE");
    OCIDefine *d = NULL;
    report(oci.define(st, &d, err, 1, &loc, -1, SQLT_CLOB, NULL, NULL, NULL, OCI_DEFAULT),
           "define clob");
    report(oci.execute(svc, st, err, 1, 0, NULL, NULL, OCI_DEFAULT), "select for update");
    /* A varying-width client character set counts CLOB amounts in bytes. */
    ub4 amount = (ub4)strlen(text);
    report(oci.lob_write(svc, err, loc, &amount, 1, (void *)text, (ub4)strlen(text),
                         OCI_ONE_PIECE, NULL, NULL, 0, SQLCS_IMPLICIT),
           "lob write");
    report(oci.commit(svc, err, OCI_DEFAULT), "commit");
    oci.handle_free(st, OCI_HTYPE_STMT);

    st = prepare("SELECT doc FROM demo_t WHERE id = 1");
    report(oci.define(st, &d, err, 1, &loc, -1, SQLT_CLOB, NULL, NULL, NULL, OCI_DEFAULT),
           "define clob");
    report(oci.execute(svc, st, err, 1, 0, NULL, NULL, OCI_DEFAULT), "select clob");
    ub4 length = 0;
    report(oci.lob_length(svc, err, loc, &length), "lob length");
    check(length == 12, "CLOB length counts characters");
    char buf[64] = "";
    amount = 0;
    report(oci.lob_read(svc, err, loc, &amount, 1, buf, sizeof buf - 1, NULL, NULL, 0,
                        SQLCS_IMPLICIT),
           "lob read");
    check(amount == 13 && memcmp(buf, text, 13) == 0, "CLOB text read back");
    oci.handle_free(st, OCI_HTYPE_STMT);
    oci.desc_free(loc, OCI_DTYPE_LOB);
}

static void oracle_error(void)
{
    OCIStmt *st = prepare("SELECT * FROM no_such_table");
    sword rc = oci.execute(svc, st, err, 0, 0, NULL, NULL, OCI_DEFAULT);
    char text[512] = "";
    sb4 code = 0;
    oci.error_get(err, 1, NULL, &code, (OraText *)text, sizeof text, OCI_HTYPE_ERROR);
    check(rc == OCI_ERROR, "missing table is an error");
    check(code == 942, "error number 942");
    check(strncmp(text, "ORA-00942: ", 11) == 0, "ORA-00942 text");
    check(oci.error_get(err, 2, NULL, &code, (OraText *)text, sizeof text, OCI_HTYPE_ERROR) ==
              OCI_NO_DATA,
          "one record only");
    oci.handle_free(st, OCI_HTYPE_STMT);
}

int main(int argc, char **argv)
{
    const char *path = argc > 1 ? argv[1] : getenv("TOLVANE_OCI_LIB");
    const char *connect = argc > 2 ? argv[2] : "//localhost:1521/DEMO";
    const char *user = argc > 3 ? argv[3] : "scott";
    const char *password = argc > 4 ? argv[4] : "tiger";
    load(path != NULL && *path != '\0' ? path : "libclntsh.so");

    if (oci.env_create(&env, OCI_DEFAULT, NULL, NULL, NULL, NULL, 0, NULL) != OCI_SUCCESS) {
        fprintf(stderr, "no environment\n");
        return 2;
    }
    oci.handle_alloc(env, (void **)&err, OCI_HTYPE_ERROR, 0, NULL);
    sword rc = oci.logon(env, err, &svc, (const OraText *)user, (ub4)strlen(user),
                         (const OraText *)password, (ub4)strlen(password),
                         (const OraText *)connect, (ub4)strlen(connect));
    report(rc, "logon");
    if (rc != OCI_SUCCESS) return 1;

    run("CREATE TABLE demo_t (id NUMBER(10) NOT NULL, name VARCHAR2(40), born DATE, doc CLOB)",
        OCI_DEFAULT);
    run("INSERT INTO demo_t VALUES (1, '\xC3\x86r\xC3\xB8', "
        "TO_DATE('2001-02-03 04:05:06', 'YYYY-MM-DD HH24:MI:SS'), EMPTY_CLOB())",
        OCI_COMMIT_ON_SUCCESS);
    insert_with_binds();
    select_rows();
    lob_round_trip();
    oracle_error();

    report(oci.logoff(svc, err), "logoff");
    oci.handle_free(err, OCI_HTYPE_ERROR);
    if (failures == 0) printf("oci_client_demo: all checks passed\n");
    return failures == 0 ? 0 : 1;
}
