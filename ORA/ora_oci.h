// Our own declarations of the Oracle Call Interface (OCI) as the Linux
// x86-64 client library exports it: scalar types, opaque handles,
// constants and the C prototypes of every entry point the Oracle side
// calls. The program never links the client: ora_oci_library loads it at
// run time and fills a table of pointers whose types come from these
// prototypes, so a mismatch between a declaration here and the table is a
// compile error. The stand-in library defines the same functions, and
// because they are extern "C", any signature that differed from the one
// declared here would not compile either.
//
// ABI notes. ub4/sb4 are 32 bits (not long); size_t parameters are 64 bits;
// every call returns sword (int). All text parameters are OraText*, which
// in a UTF-16 environment (OCI_UTF16) really point at UTF-16 code units,
// and every text length is in bytes.
#pragma once

#include <cstddef>

extern "C" {

typedef unsigned char ub1;
typedef signed char sb1;
typedef unsigned short ub2;
typedef signed short sb2;
typedef unsigned int ub4;
typedef signed int sb4;
// The Linux header spells these unsigned/signed long; other copies use
// long long. Both are 64 bits with identical calling conventions here.
typedef unsigned long oraub8;
typedef signed long orasb8;
typedef oraub8 ub8;
typedef orasb8 sb8;
typedef int sword;
typedef unsigned int uword;
typedef int eword;
typedef unsigned char OraText;
typedef unsigned short utext;
typedef sb2 OCIInd;

// Opaque handles and descriptors; only pointers to them are ever used.
struct OCIEnv;
struct OCIError;
struct OCISvcCtx;
struct OCIStmt;
struct OCIBind;
struct OCIDefine;
struct OCIDescribe;
struct OCIServer;
struct OCISession;
struct OCITrans;
struct OCIParam;
struct OCILobLocator;
struct OCIRowid;
struct OCISnapshot;

// Bind, define and LOB callbacks. The in-bind callback fills a length
// (ub4*); the out-bind callback hands back the address of one (ub4**).
typedef sb4 (*OCICallbackInBind)(void* ictxp, OCIBind* bindp, ub4 iter, ub4 index, void** bufpp, ub4* alenp,
                                 ub1* piecep, void** indp);
typedef sb4 (*OCICallbackOutBind)(void* octxp, OCIBind* bindp, ub4 iter, ub4 index, void** bufpp, ub4** alenpp,
                                  ub1* piecep, void** indpp, ub2** rcodepp);
typedef sb4 (*OCICallbackDefine)(void* octxp, OCIDefine* defnp, ub4 iter, void** bufpp, ub4** alenpp, ub1* piecep,
                                 void** indpp, ub2** rcodep);
typedef sb4 (*OCICallbackLobRead)(void* ctxp, const void* bufp, ub4 len, ub1 piece);
typedef sb4 (*OCICallbackLobWrite)(void* ctxp, void* bufp, ub4* lenp, ub1* piece);
typedef sb4 (*OCICallbackLobRead2)(void* ctxp, const void* bufp, oraub8 len, ub1 piece, void** changed_bufpp,
                                   oraub8* changed_lenp);
typedef sb4 (*OCICallbackLobWrite2)(void* ctxp, void* bufp, oraub8* lenp, ub1* piece, void** changed_bufpp,
                                    oraub8* changed_lenp);

typedef void* (*OCIMallocFn)(void* ctxp, size_t size);
typedef void* (*OCIReallocFn)(void* ctxp, void* memptr, size_t newsize);
typedef void (*OCIFreeFn)(void* ctxp, void* memptr);

// ---------------------------------------------------------------- return codes
#define OCI_SUCCESS 0
#define OCI_SUCCESS_WITH_INFO 1
#define OCI_NEED_DATA 99
#define OCI_NO_DATA 100
#define OCI_ERROR (-1)
#define OCI_INVALID_HANDLE (-2)
#define OCI_STILL_EXECUTING (-3123)
#define OCI_CONTINUE (-24200)

// ---------------------------------------------------------------- modes
#define OCI_DEFAULT 0x0
#define OCI_THREADED 0x1
#define OCI_OBJECT 0x2
#define OCI_EVENTS 0x4
#define OCI_UTF16 0x4000
#define OCI_UTF16ID 1000
#define OCI_UCS2ID 1000
// Character-set id of AL32UTF8 (not an OCI macro; the id is Oracle's).
#define ORA_CHARSET_AL32UTF8 873

// Handle types.
#define OCI_HTYPE_ENV 1
#define OCI_HTYPE_ERROR 2
#define OCI_HTYPE_SVCCTX 3
#define OCI_HTYPE_STMT 4
#define OCI_HTYPE_BIND 5
#define OCI_HTYPE_DEFINE 6
#define OCI_HTYPE_DESCRIBE 7
#define OCI_HTYPE_SERVER 8
#define OCI_HTYPE_SESSION 9
#define OCI_HTYPE_TRANS 10

// Descriptor types.
#define OCI_DTYPE_LOB 50
#define OCI_DTYPE_SNAP 51
#define OCI_DTYPE_PARAM 53
#define OCI_DTYPE_ROWID 54
#define OCI_DTYPE_FILE 56

// Attributes. Numbers overlap between handle kinds (6 is SCALE on a
// parameter but SERVER on a service context): the handle type decides.
#define OCI_ATTR_DATA_SIZE 1       // ub2, parameter
#define OCI_ATTR_DATA_TYPE 2       // ub2 SQLT code, parameter
#define OCI_ATTR_DISP_SIZE 3       // ub2, parameter
#define OCI_ATTR_NAME 4            // OraText* + byte length, parameter
#define OCI_ATTR_PRECISION 5       // sb2 for a select list, parameter
#define OCI_ATTR_SCALE 6           // sb1, parameter
#define OCI_ATTR_IS_NULL 7         // ub1, parameter
#define OCI_ATTR_SERVER 6          // OCIServer*, service context
#define OCI_ATTR_SESSION 7         // OCISession*, service context
#define OCI_ATTR_TRANS 8           // OCITrans*, service context
#define OCI_ATTR_ROW_COUNT 9       // ub4, statement
#define OCI_ATTR_SQLFNCODE 10      // ub2, statement
#define OCI_ATTR_PREFETCH_ROWS 11  // ub4, statement
#define OCI_ATTR_PREFETCH_MEMORY 13
#define OCI_ATTR_CHAR_COUNT 15
#define OCI_ATTR_PARAM_COUNT 18  // ub4, statement
#define OCI_ATTR_ROWID 19
#define OCI_ATTR_USERNAME 22      // text, session
#define OCI_ATTR_PASSWORD 23      // text, session
#define OCI_ATTR_STMT_TYPE 24     // ub2, statement
#define OCI_ATTR_CHARSET_ID 31    // ub2
#define OCI_ATTR_CHARSET_FORM 32  // ub1
#define OCI_ATTR_MAXDATA_SIZE 33
#define OCI_ATTR_ROWS_RETURNED 42        // ub4, bind (RETURNING)
#define OCI_ATTR_NUM_DML_ERRORS 73       // ub4, statement
#define OCI_ATTR_DML_ROW_OFFSET 74       // ub4, per-row error handle, 0-based
#define OCI_ATTR_PARSE_ERROR_OFFSET 129  // ub2, statement
#define OCI_ATTR_STATEMENT 144
#define OCI_ATTR_ROWS_FETCHED 197  // ub4, statement
// Seen in the Oracle header only; a vendor's documentation agrees.
#define OCI_ATTR_ENV_UTF16 209  // ub1, environment
#define OCI_ATTR_CHAR_USED 285  // ub1, parameter
#define OCI_ATTR_CHAR_SIZE 286  // ub2, parameter
#define OCI_ATTR_UB8_ROW_COUNT 457

// External data types.
#define SQLT_CHR 1
#define SQLT_NUM 2
#define SQLT_INT 3
#define SQLT_FLT 4
#define SQLT_STR 5
#define SQLT_VNU 6
#define SQLT_PDN 7
#define SQLT_LNG 8
#define SQLT_VCS 9
#define SQLT_NON 10
#define SQLT_RID 11
#define SQLT_DAT 12
#define SQLT_VBI 15
#define SQLT_BFLOAT 21
#define SQLT_BDOUBLE 22
#define SQLT_BIN 23
#define SQLT_LBI 24
#define SQLT_UIN 68
#define SQLT_SLS 91
#define SQLT_LVC 94
#define SQLT_LVB 95
#define SQLT_AFC 96
#define SQLT_AVC 97
#define SQLT_IBFLOAT 100
#define SQLT_IBDOUBLE 101
#define SQLT_CUR 102
#define SQLT_RDD 104
#define SQLT_LAB 105
#define SQLT_NTY 108
#define SQLT_REF 110
#define SQLT_CLOB 112
#define SQLT_BLOB 113
#define SQLT_BFILEE 114
#define SQLT_CFILEE 115
#define SQLT_RSET 116
#define SQLT_NCO 122
#define SQLT_VST 155
#define SQLT_ODT 156
#define SQLT_DATE 184
#define SQLT_TIME 185
#define SQLT_TIME_TZ 186
#define SQLT_TIMESTAMP 187
#define SQLT_TIMESTAMP_TZ 188
#define SQLT_INTERVAL_YM 189
#define SQLT_INTERVAL_DS 190
#define SQLT_TIMESTAMP_LTZ 232

// Statement types (OCI_ATTR_STMT_TYPE).
#define OCI_STMT_UNKNOWN 0
#define OCI_STMT_SELECT 1
#define OCI_STMT_UPDATE 2
#define OCI_STMT_DELETE 3
#define OCI_STMT_INSERT 4
#define OCI_STMT_CREATE 5
#define OCI_STMT_DROP 6
#define OCI_STMT_ALTER 7
#define OCI_STMT_BEGIN 8
#define OCI_STMT_DECLARE 9
#define OCI_STMT_CALL 10
#define OCI_STMT_MERGE 16

// Prepare syntax and execute modes.
#define OCI_NTV_SYNTAX 1
#define OCI_V7_SYNTAX 2
#define OCI_V8_SYNTAX 3
#define OCI_BATCH_MODE 0x01
#define OCI_EXACT_FETCH 0x02
#define OCI_STMT_SCROLLABLE_READONLY 0x08
#define OCI_DESCRIBE_ONLY 0x10
#define OCI_COMMIT_ON_SUCCESS 0x20
#define OCI_STMT_CACHE 0x40
#define OCI_BATCH_ERRORS 0x80
#define OCI_PARSE_ONLY 0x100
// OCILogon2 modes; seen in the Oracle header only.
#define OCI_LOGON2_SPOOL 0x1
#define OCI_LOGON2_STMTCACHE 0x4
#define OCI_LOGON2_PROXY 0x8
#define OCI_LOGON2_CPOOL 0x200

// Fetch orientations.
#define OCI_FETCH_CURRENT 0x01
#define OCI_FETCH_NEXT 0x02
#define OCI_FETCH_FIRST 0x04
#define OCI_FETCH_LAST 0x08
#define OCI_FETCH_PRIOR 0x10
#define OCI_FETCH_ABSOLUTE 0x20
#define OCI_FETCH_RELATIVE 0x40

// Bind and define modes, pieces, character-set forms.
#define OCI_DATA_AT_EXEC 2
#define OCI_DYNAMIC_FETCH 2
#define OCI_PIECEWISE 4
#define OCI_ONE_PIECE 0
#define OCI_FIRST_PIECE 1
#define OCI_NEXT_PIECE 2
#define OCI_LAST_PIECE 3
#define SQLCS_IMPLICIT 1
#define SQLCS_NCHAR 2
#define SQLCS_EXPLICIT 3
#define SQLCS_FLEXIBLE 4
#define SQLCS_LIT_NULL 5

// Indicators, sizes, credentials.
#define OCI_IND_NOTNULL 0
#define OCI_IND_NULL (-1)
#define OCI_NUMBER_SIZE 22
#define OCI_ERROR_MAXMSG_SIZE 1024
#define OCI_ROWID_LEN 23
#define OCI_CRED_RDBMS 1
#define OCI_CRED_EXT 2
#define OCI_LOBMAXSIZE 4294967295u

// ---------------------------------------------------------------- prototypes
// Environment, handles, descriptors.
sword OCIEnvCreate(OCIEnv** envhpp, ub4 mode, void* ctxp, OCIMallocFn malocfp, OCIReallocFn ralocfp, OCIFreeFn mfreefp,
                   size_t xtramem_sz, void** usrmempp);
sword OCIEnvNlsCreate(OCIEnv** envhpp, ub4 mode, void* ctxp, OCIMallocFn malocfp, OCIReallocFn ralocfp,
                      OCIFreeFn mfreefp, size_t xtramem_sz, void** usrmempp, ub2 charset, ub2 ncharset);
sword OCIHandleAlloc(const void* parenth, void** hndlpp, ub4 type, size_t xtramem_sz, void** usrmempp);
sword OCIHandleFree(void* hndlp, ub4 type);
sword OCIDescriptorAlloc(const void* parenth, void** descpp, ub4 type, size_t xtramem_sz, void** usrmempp);
sword OCIDescriptorFree(void* descp, ub4 type);

// Server, session.
sword OCIServerAttach(OCIServer* srvhp, OCIError* errhp, const OraText* dblink, sb4 dblink_len, ub4 mode);
sword OCIServerDetach(OCIServer* srvhp, OCIError* errhp, ub4 mode);
// OCILogon allocates the service context (and a hidden server and session)
// it returns; OCILogoff frees all three.
sword OCILogon(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, const OraText* username, ub4 uname_len,
               const OraText* password, ub4 passwd_len, const OraText* dbname, ub4 dbname_len);
sword OCILogon2(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, const OraText* username, ub4 uname_len,
                const OraText* password, ub4 passwd_len, const OraText* dbname, ub4 dbname_len, ub4 mode);
sword OCILogoff(OCISvcCtx* svchp, OCIError* errhp);

// Attributes, parameters, errors.
sword OCIAttrSet(void* trgthndlp, ub4 trghndltyp, void* attributep, ub4 size, ub4 attrtype, OCIError* errhp);
sword OCIAttrGet(const void* trgthndlp, ub4 trghndltyp, void* attributep, ub4* sizep, ub4 attrtype, OCIError* errhp);
sword OCIParamGet(const void* hndlp, ub4 htype, OCIError* errhp, void** parmdpp, ub4 pos);
sword OCIErrorGet(void* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep, OraText* bufp, ub4 bufsiz, ub4 type);

// Statements.
sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* errhp, const OraText* stmt, ub4 stmt_len, ub4 language, ub4 mode);
sword OCIStmtPrepare2(OCISvcCtx* svchp, OCIStmt** stmtp, OCIError* errhp, const OraText* stmt, ub4 stmt_len,
                      const OraText* key, ub4 key_len, ub4 language, ub4 mode);
sword OCIStmtRelease(OCIStmt* stmtp, OCIError* errhp, const OraText* key, ub4 key_len, ub4 mode);
sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters, ub4 rowoff,
                     const OCISnapshot* snap_in, OCISnapshot* snap_out, ub4 mode);
sword OCIStmtFetch(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, ub4 mode);
// The scroll offset is signed, although the header's comment says ub4.
sword OCIStmtFetch2(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, sb4 scrollOffset, ub4 mode);

// Binds and defines.
sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnp, OCIError* errhp, ub4 position, void* valuep, sb4 value_sz,
                     ub2 dty, void* indp, ub2* rlenp, ub2* rcodep, ub4 mode);
sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, const OraText* placeholder, sb4 placeh_len,
                    void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len,
                    ub4* curelep, ub4 mode);
sword OCIBindByPos(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, ub4 position, void* valuep, sb4 value_sz, ub2 dty,
                   void* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len, ub4* curelep, ub4 mode);
sword OCIBindDynamic(OCIBind* bindp, OCIError* errhp, void* ictxp, OCICallbackInBind icbfp, void* octxp,
                     OCICallbackOutBind ocbfp);
// Strides of an array of structures: the distance in bytes between
// consecutive elements of the value, indicator, length and return code.
sword OCIBindArrayOfStruct(OCIBind* bindp, OCIError* errhp, ub4 pvskip, ub4 indskip, ub4 alskip, ub4 rcskip);

// LOBs. The amount pointer comes before the offset, whatever the header's
// comment says. Amounts count characters for CLOB in a fixed-width client
// character set (UTF-16 included) and bytes for BLOB; buffer lengths are
// bytes always; offsets are 1-based.
sword OCILobWrite(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset, void* bufp, ub4 buflen,
                  ub1 piece, void* ctxp, OCICallbackLobWrite cbfp, ub2 csid, ub1 csfrm);
sword OCILobRead(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp, ub4 offset, void* bufp, ub4 bufl,
                 void* ctxp, OCICallbackLobRead cbfp, ub2 csid, ub1 csfrm);
// 64-bit forms: a CLOB amount goes in characters through char_amtp, or,
// when that is 0, in bytes through byte_amtp; both report what was done.
sword OCILobWrite2(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, oraub8* byte_amtp, oraub8* char_amtp,
                   oraub8 offset, void* bufp, oraub8 buflen, ub1 piece, void* ctxp, OCICallbackLobWrite2 cbfp, ub2 csid,
                   ub1 csfrm);
sword OCILobRead2(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, oraub8* byte_amtp, oraub8* char_amtp,
                  oraub8 offset, void* bufp, oraub8 bufl, ub1 piece, void* ctxp, OCICallbackLobRead2 cbfp, ub2 csid,
                  ub1 csfrm);
// Takes the environment, not the service context.
sword OCILobCharSetForm(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp, ub1* csfrm);
sword OCILobGetLength(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* lenp);
sword OCILobTrim(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4 newlen);
// 64-bit forms of the two above.
sword OCILobGetLength2(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, oraub8* lenp);
sword OCILobTrim2(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, oraub8 newlen);

// Transactions and version.
sword OCITransCommit(OCISvcCtx* svchp, OCIError* errhp, ub4 flags);
sword OCITransRollback(OCISvcCtx* svchp, OCIError* errhp, ub4 flags);
// The one call without an error handle and without a status.
void OCIClientVersion(sword* major_version, sword* minor_version, sword* update_num, sword* patch_num,
                      sword* port_update_num);
// hndltype is a ub1, not a ub4.
sword OCIServerVersion(void* hndlp, OCIError* errhp, OraText* bufp, ub4 bufsz, ub1 hndltype);
// A round trip that checks the connection is alive.
sword OCIPing(OCISvcCtx* svchp, OCIError* errhp, ub4 mode);
// Aborts the call in progress on a service context or server handle.
sword OCIBreak(void* hndlp, OCIError* errhp);

}  // extern "C"

// The entry points ora_oci_library resolves, each listed once. The first
// list must be present in the client; the second is taken when present.
#define ORA_OCI_REQUIRED_FUNCTIONS(X)                                                                                  \
    X(OCIEnvCreate)                                                                                                    \
    X(OCIHandleAlloc)                                                                                                  \
    X(OCIHandleFree)                                                                                                   \
    X(OCIDescriptorAlloc)                                                                                              \
    X(OCIDescriptorFree)                                                                                               \
    X(OCIServerAttach)                                                                                                 \
    X(OCIServerDetach)                                                                                                 \
    X(OCILogon)                                                                                                        \
    X(OCILogoff)                                                                                                       \
    X(OCIAttrSet)                                                                                                      \
    X(OCIAttrGet)                                                                                                      \
    X(OCIParamGet)                                                                                                     \
    X(OCIErrorGet)                                                                                                     \
    X(OCIStmtPrepare)                                                                                                  \
    X(OCIStmtExecute)                                                                                                  \
    X(OCIStmtFetch)                                                                                                    \
    X(OCIDefineByPos)                                                                                                  \
    X(OCIBindByName)                                                                                                   \
    X(OCIBindByPos)                                                                                                    \
    X(OCIBindDynamic)                                                                                                  \
    X(OCIBindArrayOfStruct)                                                                                            \
    X(OCILobWrite)                                                                                                     \
    X(OCILobRead)                                                                                                      \
    X(OCILobCharSetForm)                                                                                               \
    X(OCILobGetLength)                                                                                                 \
    X(OCILobTrim)                                                                                                      \
    X(OCITransCommit)                                                                                                  \
    X(OCITransRollback)

#define ORA_OCI_OPTIONAL_FUNCTIONS(X)                                                                                  \
    X(OCIEnvNlsCreate)                                                                                                 \
    X(OCILogon2)                                                                                                       \
    X(OCIStmtPrepare2)                                                                                                 \
    X(OCIStmtRelease)                                                                                                  \
    X(OCIStmtFetch2)                                                                                                   \
    X(OCIClientVersion)                                                                                                \
    X(OCIServerVersion)                                                                                                \
    X(OCILobRead2)                                                                                                     \
    X(OCILobWrite2)                                                                                                    \
    X(OCILobGetLength2)                                                                                                \
    X(OCILobTrim2)                                                                                                     \
    X(OCIPing)                                                                                                         \
    X(OCIBreak)
