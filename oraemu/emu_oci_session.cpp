// Server attachment, log-on and log-off, transactions, versions.
#include "emu_oci_handles.h"

#include <cstring>

using namespace emu_oci;

namespace {

sword logon(OCIEnv* env, OCIError* err, OCISvcCtx** svchp, const OraText* username,
            ub4 uname_len, const OraText* password, ub4 passwd_len, const OraText* dbname,
            ub4 dbname_len)
{
    if (env == nullptr || err == nullptr || svchp == nullptr) return OCI_INVALID_HANDLE;
    clear(err);
    return guarded(err, [&]() -> sword {
        std::string user = client_to_utf8(env, username, uname_len);
        std::string pass = client_to_utf8(env, password, passwd_len);
        std::string db = client_to_utf8(env, dbname, dbname_len);
        std::unique_ptr<emu::session> s = emu::session::logon(db, user, pass);
        s->set_nchar_literal_replace(env->nchar_literal_replace);
        // OCILogon makes its own service context, server and session: a
        // context the caller allocated before is simply replaced.
        auto svc = std::make_unique<OCISvcCtx>(OCI_HTYPE_SVCCTX, env);
        svc->made_by_logon = true;
        svc->server = new OCIServer(OCI_HTYPE_SERVER, env);
        svc->server->owned_by_logon = true;
        svc->server->attached = true;
        svc->server->dblink = db;
        svc->user_session = new OCISession(OCI_HTYPE_SESSION, env);
        svc->user_session->owned_by_logon = true;
        svc->user_session->user_attr = utf8_to_client(env, s->user());
        svc->session = std::move(s);
        *svchp = svc.release();
        return OCI_SUCCESS;
    });
}

OCISvcCtx* live_svc(OCISvcCtx* svc)
{
    svc = as<OCISvcCtx>(svc, OCI_HTYPE_SVCCTX);
    return svc;
}

}  // namespace

namespace {

// The frame of the calls that act on a logged-on session: handle checks,
// a lost session as ORA-03114, and engine errors into the error handle.
template <class F>
sword on_session(OCISvcCtx* svchp, OCIError* errhp, F&& body)
{
    OCISvcCtx* svc = live_svc(svchp);
    if (svc == nullptr || as<OCIError>(errhp, OCI_HTYPE_ERROR) == nullptr)
        return OCI_INVALID_HANDLE;
    clear(errhp);
    if (!svc->session) return fail(errhp, 3114);
    return guarded(errhp, [&]() -> sword {
        body(*svc->session);
        return OCI_SUCCESS;
    });
}

}  // namespace

extern "C" {

sword OCIServerAttach(OCIServer* srvhp, OCIError* errhp, const OraText* dblink, sb4 dblink_len,
                      ub4)
{
    OCIServer* srv = as<OCIServer>(srvhp, OCI_HTYPE_SERVER);
    if (srv == nullptr || as<OCIError>(errhp, OCI_HTYPE_ERROR) == nullptr)
        return OCI_INVALID_HANDLE;
    clear(errhp);
    // The connection itself is made at log-on; an attachment only
    // remembers where to go.
    srv->dblink = dblink_len > 0 ? client_to_utf8(srv->env, dblink, static_cast<size_t>(dblink_len))
                                 : std::string();
    srv->attached = true;
    return OCI_SUCCESS;
}

sword OCIServerDetach(OCIServer* srvhp, OCIError* errhp, ub4)
{
    OCIServer* srv = as<OCIServer>(srvhp, OCI_HTYPE_SERVER);
    if (srv == nullptr) return OCI_INVALID_HANDLE;
    clear(errhp);
    srv->attached = false;
    return OCI_SUCCESS;
}

sword OCILogon(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, const OraText* username,
               ub4 uname_len, const OraText* password, ub4 passwd_len, const OraText* dbname,
               ub4 dbname_len)
{
    return logon(as<OCIEnv>(envhp, OCI_HTYPE_ENV), as<OCIError>(errhp, OCI_HTYPE_ERROR), svchp,
                 username, uname_len, password, passwd_len, dbname, dbname_len);
}

sword OCILogon2(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, const OraText* username,
                ub4 uname_len, const OraText* password, ub4 passwd_len, const OraText* dbname,
                ub4 dbname_len, ub4)
{
    return OCILogon(envhp, errhp, svchp, username, uname_len, password, passwd_len, dbname,
                    dbname_len);
}

sword OCILogoff(OCISvcCtx* svchp, OCIError* errhp)
{
    OCISvcCtx* svc = live_svc(svchp);
    if (svc == nullptr || as<OCIError>(errhp, OCI_HTYPE_ERROR) == nullptr)
        return OCI_INVALID_HANDLE;
    clear(errhp);
    sword rc = OCI_SUCCESS;
    if (svc->session) {
        // Ending a session commits its open transaction.
        rc = guarded(errhp, [&]() -> sword {
            svc->session->commit();
            return OCI_SUCCESS;
        });
    }
    svc->end_session();
    if (svc->made_by_logon) delete svc;
    return rc;
}

sword OCITransCommit(OCISvcCtx* svchp, OCIError* errhp, ub4)
{
    return on_session(svchp, errhp, [](emu::session& s) { s.commit(); });
}

sword OCITransRollback(OCISvcCtx* svchp, OCIError* errhp, ub4)
{
    return on_session(svchp, errhp, [](emu::session& s) { s.rollback(); });
}

sword OCIPing(OCISvcCtx* svchp, OCIError* errhp, ub4)
{
    return on_session(svchp, errhp, [](emu::session& s) { s.count_round_trip(emu::rt_kind::other); });
}

sword OCIBreak(void* hndlp, OCIError* errhp)
{
    // Calls here complete before they return, so there is never one to break.
    if (emu_oci::any_handle(hndlp) == nullptr || as<OCIError>(errhp, OCI_HTYPE_ERROR) == nullptr)
        return OCI_INVALID_HANDLE;
    clear(errhp);
    return OCI_SUCCESS;
}

void OCIClientVersion(sword* major_version, sword* minor_version, sword* update_num,
                      sword* patch_num, sword* port_update_num)
{
    if (major_version != nullptr) *major_version = 19;
    if (minor_version != nullptr) *minor_version = 3;
    if (update_num != nullptr) *update_num = 0;
    if (patch_num != nullptr) *patch_num = 0;
    if (port_update_num != nullptr) *port_update_num = 0;
}

sword OCIServerVersion(void* hndlp, OCIError* errhp, OraText* bufp, ub4 bufsz, ub1 hndltype)
{
    OCISvcCtx* svc = hndltype == OCI_HTYPE_SVCCTX ? live_svc(static_cast<OCISvcCtx*>(hndlp))
                                                   : nullptr;
    if (svc == nullptr || as<OCIError>(errhp, OCI_HTYPE_ERROR) == nullptr)
        return OCI_INVALID_HANDLE;
    clear(errhp);
    if (!svc->session) return fail(errhp, 3114);
    return guarded(errhp, [&]() -> sword {
        std::string text = utf8_to_client(svc->env, svc->session->server_version());
        size_t unit = unit_size(svc->env);
        if (bufp == nullptr || bufsz < unit) return OCI_SUCCESS;
        size_t n = std::min<size_t>(text.size(), (bufsz - unit) - (bufsz - unit) % unit);
        std::memcpy(bufp, text.data(), n);
        std::memset(bufp + n, 0, unit);
        return OCI_SUCCESS;
    });
}

}  // extern "C"
