#include "ora_engine.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "ora_database.h"
#include "ora_exception.h"
#include "ora_stmt.h"
#include "tk_format.h"
#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

const OraText* otext(const std::u16string& s)
{
    return reinterpret_cast<const OraText*>(s.data());
}

ub4 obytes(const std::u16string& s)
{
    return static_cast<ub4>(s.size() * sizeof(char16_t));
}

}  // namespace

ora_engine::ora_engine() = default;

ora_engine::~ora_engine()
{
    // Never throws: a destructor runs while other errors may be unwinding.
    if (!initialized) return;
    logoff();
    if (err_ != nullptr) api_->OCIHandleFree(err_, OCI_HTYPE_ERROR);
    if (env_ != nullptr) api_->OCIHandleFree(env_, OCI_HTYPE_ENV);
    connect_string.clear();
    user_name.clear();
    password.clear();
}

void ora_engine::initialize()
{
    tk_trace(2, "ora_engine::initialize");
    api_ = &ora_oci_library::shared().api();
    // Text literals are national literals (N'...'); the client must send
    // them as such or characters outside the database character set are
    // replaced before they reach the server. The client reads this once,
    // when the environment is created.
    setenv("ORA_NCHAR_LITERAL_REPLACE", "TRUE", 1);
    // Threaded: the wizard runs on a worker thread, and a load sends each
    // batch from a thread of its own (never two calls on the session at
    // once).
    sword rc = api_->OCIEnvCreate(&env_, OCI_UTF16 | OCI_THREADED, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
    if (rc != OCI_SUCCESS || env_ == nullptr) throw tk_exception("Cannot create the OCI environment", 1);
    tk_trace(1, "Step #1");
    rc = api_->OCIHandleAlloc(env_, reinterpret_cast<void**>(&err_), OCI_HTYPE_ERROR, 0, nullptr);
    if (rc != OCI_SUCCESS || err_ == nullptr) throw tk_exception("Cannot allocate an OCI error handle", 1);
    tk_trace(1, "Step #2");
    initialized = true;
}

std::u16string ora_engine::make_connect_string(const std::u16string& host, const std::u16string& port,
                                               const std::u16string& service)
{
    return u"//" + host + u":" + (port.empty() ? std::u16string(u"1521") : port) + u"/" + service;
}

std::unique_ptr<ora_database> ora_engine::open_db(const std::u16string& host, const std::u16string& user,
                                                  const std::u16string& pwd, const std::u16string& port,
                                                  const std::u16string& service)
{
    tk_trace(2, u"ora_engine::open_db (%s,%s,***,%s,%s)", host, user, port, service);
    return open_db(make_connect_string(host, port, service), user, pwd);
}

std::unique_ptr<ora_database> ora_engine::open_db(const std::u16string& connect, const std::u16string& user,
                                                  const std::u16string& pwd)
{
    tk_trace(2, u"ora_engine::open_db( %s, %s, *** )", connect, user);
    tk_trace(3, u"Connecting to Oracle data source '%s'", connect);
    if (!initialized) initialize();
    logoff();
    // OCILogon makes the service context itself (with a server and a
    // session behind it); OCILogoff frees all of them.
    OCISvcCtx* svc = nullptr;
    check(api_->OCILogon(env_, err_, &svc, otext(user), obytes(user), otext(pwd), obytes(pwd), otext(connect),
                         obytes(connect)));
    svc_ = svc;
    tk_trace(1, "The connection has been established");
    connect_string = connect;
    user_name = user;
    password = pwd;
    return std::make_unique<ora_database>(connect);
}

void ora_engine::logoff() noexcept
{
    if (svc_ == nullptr) return;
    OCISvcCtx* svc = svc_;
    svc_ = nullptr;
    sword rc = api_->OCILogoff(svc, err_);
    if (rc != OCI_SUCCESS && rc != OCI_SUCCESS_WITH_INFO) tk_trace(3, "Log-off failed (status %d)", rc);
}

OCISvcCtx* ora_engine::svc() const
{
    TK_ASSERT(svc_ != nullptr);
    return svc_;
}

void ora_engine::check(sword status) const
{
    if (status == OCI_NEED_DATA) {
        tk_trace(3, "OCI call asks for data nobody provides");
        TK_FAIL();
    }
    ora_check(*api_, err_, status);
}

void ora_engine::commit()
{
    check(api_->OCITransCommit(svc(), err_, OCI_DEFAULT));
}

int32_t ora_engine::get_records_cnt(const std::u16string& name, bool is_query)
{
    tk_trace(2, u"ora_engine::get_records_cnt(%s)", name);
    TK_ASSERT(svc_ != nullptr);
    std::u16string text =
        is_query ? u"SELECT COUNT(*) FROM (" + name + u")" : u"SELECT COUNT(*) FROM \"" + name + u"\"";
    ora_stmt stmt;
    stmt.prepare(text);
    sb4 count = 0;
    OCIDefine* def = nullptr;
    check(api_->OCIDefineByPos(stmt.get(), &def, err_, 1, &count, sizeof count, SQLT_INT, nullptr, nullptr, nullptr,
                               OCI_DEFAULT));
    TK_ASSERT(stmt.execute(1) != OCI_NO_DATA);
    return count;
}

uint32_t ora_engine::parse_version(const std::u16string& banner)
{
    std::istringstream in(tk_to_utf8(banner));
    std::string token;
    while (in >> token) {
        if (token[0] < '0' || token[0] > '9') continue;
        int major = 0, minor = 0, third = 0;
        if (std::sscanf(token.c_str(), "%d.%d.%d", &major, &minor, &third) == 3) {
            tk_trace(1, "Got Oracle version: %d,%d,%d", major, minor, third);
            return static_cast<uint32_t>(major) * 65536u + static_cast<uint32_t>(minor) * 256u +
                   static_cast<uint32_t>(third);
        }
    }
    return 0;
}

uint32_t ora_engine::get_version()
{
    tk_trace(2, "ora_engine::get_version");
    ora_stmt stmt;
    stmt.prepare(u"select * from v$version");
    std::u16string buffer(0x10000, u'\0');
    OCIDefine* def = nullptr;
    check(api_->OCIDefineByPos(stmt.get(), &def, err_, 1, buffer.data(),
                               static_cast<sb4>(buffer.size() * sizeof(char16_t)), SQLT_STR, nullptr, nullptr, nullptr,
                               OCI_DEFAULT));
    TK_ASSERT(stmt.execute(1) != OCI_NO_DATA);
    buffer.resize(std::char_traits<char16_t>::length(buffer.c_str()));
    tk_trace(1, u"Got versioned string:\n%s", buffer);
    return parse_version(buffer);
}
