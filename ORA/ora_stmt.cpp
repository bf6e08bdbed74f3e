#include "ora_stmt.h"

#include "ora_engine.h"
#include "ora_exception.h"
#include "tk_logger.h"

ora_stmt::ora_stmt()
{
    ora_engine& engine = ora_engine::instance();
    engine.check(
        engine.oci().OCIHandleAlloc(engine.env(), reinterpret_cast<void**>(&stmt_), OCI_HTYPE_STMT, 0, nullptr));
}

ora_stmt::~ora_stmt()
{
    // Never throws: without an engine there is no client to free it with.
    ora_engine* engine = ora_engine::instance_ptr();
    if (stmt_ != nullptr && engine != nullptr) engine->oci().OCIHandleFree(stmt_, OCI_HTYPE_STMT);
}

void ora_stmt::prepare(std::u16string_view text)
{
    ora_engine& engine = ora_engine::instance();
    engine.check(engine.oci().OCIStmtPrepare(stmt_, engine.err(), reinterpret_cast<const OraText*>(text.data()),
                                             static_cast<ub4>(text.size() * sizeof(char16_t)), OCI_NTV_SYNTAX,
                                             OCI_DEFAULT));
}

// A row whose value did not fit its buffer arrives with a warning only
// (ORA-01406); a cut value must not pass for the real one.
static void refuse_truncation(sword rc)
{
    if (rc != OCI_SUCCESS_WITH_INFO) return;
    ora_engine& engine = ora_engine::instance();
    int32_t number = 0;
    std::u16string text;
    if (ora_read_error(engine.oci(), engine.err(), OCI_HTYPE_ERROR, 1, number, text) && number == 1406)
        throw ora_exception(number, text);
}

sword ora_stmt::execute(ub4 iterations, ub4 mode)
{
    ora_engine& engine = ora_engine::instance();
    sword rc = engine.oci().OCIStmtExecute(engine.svc(), stmt_, engine.err(), iterations, 0, nullptr, nullptr, mode);
    engine.check(rc);
    refuse_truncation(rc);
    return rc;
}

bool ora_stmt::fetch()
{
    ora_engine& engine = ora_engine::instance();
    sword rc = engine.oci().OCIStmtFetch(stmt_, engine.err(), 1, OCI_FETCH_NEXT, OCI_DEFAULT);
    engine.check(rc);
    refuse_truncation(rc);
    return rc != OCI_NO_DATA;
}

void ora_stmt::set_prefetch(ub4 rows)
{
    ora_engine& engine = ora_engine::instance();
    engine.check(engine.oci().OCIAttrSet(stmt_, OCI_HTYPE_STMT, &rows, 0, OCI_ATTR_PREFETCH_ROWS, engine.err()));
}

std::vector<std::u16string> ora_select_strings(std::u16string_view sql)
{
    tk_trace(1, u"Run SQL query: %s\n", sql);
    ora_engine& engine = ora_engine::instance();
    ora_stmt stmt;
    stmt.prepare(sql);
    stmt.set_prefetch(ora_stmt::list_prefetch_rows);
    std::u16string buffer(2048, u'\0');
    sb2 indicator = 0;
    OCIDefine* def = nullptr;
    engine.check(engine.oci().OCIDefineByPos(stmt.get(), &def, engine.err(), 1, buffer.data(),
                                             static_cast<sb4>(buffer.size() * sizeof(char16_t)), SQLT_STR, &indicator,
                                             nullptr, nullptr, OCI_DEFAULT));
    std::vector<std::u16string> out;
    bool more = stmt.execute(1) != OCI_NO_DATA;
    while (more) {
        out.emplace_back(indicator == -1 ? u"" : buffer.c_str());
        more = stmt.fetch();
    }
    return out;
}

std::u16string ora_quote_literal(std::u16string_view text)
{
    std::u16string out = u"'";
    for (char16_t c : text) {
        out += c;
        if (c == u'\'') out += u'\'';
    }
    return out + u"'";
}
