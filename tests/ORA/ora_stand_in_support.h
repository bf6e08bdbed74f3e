// Test support: the binding loaded through TOLVANE_OCI_LIB with the
// stand-in behind it, a private store folder, and small OCI helpers that
// use a UTF-16 environment as the product does.
#pragma once

#ifdef ORAEMU_OCI_LIB

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "emu_session.h"
#include "ora_exception.h"
#include "ora_oci_library.h"
#include "ora_test_values.h"

namespace ora_test {

inline const OraText* txt(const std::u16string& s)
{
    return reinterpret_cast<const OraText*>(s.data());
}

inline ub4 bytes(const std::u16string& s)
{
    return static_cast<ub4>(s.size() * 2);
}

// One process-wide client: the stand-in, found the way the product finds
// a client. The stores live in a private folder.
inline const ora_oci_api& oci()
{
    static ora_oci_library* lib = [] {
        std::string home =
            (std::filesystem::temp_directory_path() / ("tolvane_ora_tests_" + std::to_string(getpid()))).string();
        std::filesystem::remove_all(home);
        std::filesystem::create_directories(home);
        static std::string remove_at_exit = home;
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(remove_at_exit, ec);
        });
        setenv("ORAEMU_HOME", home.c_str(), 1);
        setenv("TOLVANE_OCI_LIB", ORAEMU_OCI_LIB, 1);
        emu::create_service("XE");
        return new ora_oci_library();
    }();
    return lib->api();
}

// A fresh user (schema) of service XE for each test.
inline std::string new_user()
{
    static int counter = 0;
    std::string user = "U" + std::to_string(++counter);
    oci();
    emu::create_user("XE", user, "pw");
    return user;
}

// An Oracle error raised by a call, as the binding reports it.
struct failure {
    int32_t number = 0;
    std::string message;
};

class connection {
public:
    connection()
    {
        oci().OCIEnvCreate(&env, OCI_UTF16, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
        oci().OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    }
    ~connection()
    {
        if (svc != nullptr) oci().OCILogoff(svc, err);
        oci().OCIHandleFree(err, OCI_HTYPE_ERROR);
        oci().OCIHandleFree(env, OCI_HTYPE_ENV);
    }
    connection(const connection&) = delete;
    connection& operator=(const connection&) = delete;

    sword logon(const std::string& user, const std::string& password,
                const std::string& connect = "//localhost:1521/XE")
    {
        std::u16string u = w(user), p = w(password), c = w(connect);
        return oci().OCILogon(env, err, &svc, txt(u), bytes(u), txt(p), bytes(p), txt(c), bytes(c));
    }

    void check(sword status) const { ora_check(oci(), err, status); }

    // The Oracle error of a status, or nothing for a success.
    std::optional<failure> error_of(sword status) const
    {
        try {
            check(status);
        } catch (const ora_exception& e) {
            return failure{e.oracle_error(), e.message};
        }
        return std::nullopt;
    }

    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCISvcCtx* svc = nullptr;
};

// The Oracle error number of a call's failure, 0 when it succeeded.
inline int32_t number_of(const std::optional<failure>& f)
{
    return f ? f->number : 0;
}

// A LOB locator of the connection's environment.
inline OCILobLocator* new_locator(connection& c)
{
    OCILobLocator* loc = nullptr;
    oci().OCIDescriptorAlloc(c.env, reinterpret_cast<void**>(&loc), OCI_DTYPE_LOB, 0, nullptr);
    return loc;
}

// A prepared statement.
class statement {
public:
    statement(connection& c, const std::string& sql) : c_(c), sql_(w(sql))
    {
        oci().OCIHandleAlloc(c.env, reinterpret_cast<void**>(&h), OCI_HTYPE_STMT, 0, nullptr);
        c.check(oci().OCIStmtPrepare(h, c.err, txt(sql_), bytes(sql_), OCI_NTV_SYNTAX, OCI_DEFAULT));
    }
    ~statement() { oci().OCIHandleFree(h, OCI_HTYPE_STMT); }
    statement(const statement&) = delete;
    statement& operator=(const statement&) = delete;

    sword execute(ub4 iters = 1, ub4 mode = OCI_DEFAULT)
    {
        return oci().OCIStmtExecute(c_.svc, h, c_.err, iters, 0, nullptr, nullptr, mode);
    }
    sword fetch() { return oci().OCIStmtFetch(h, c_.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT); }

    OCIStmt* h = nullptr;

private:
    connection& c_;
    std::u16string sql_;
};

// Runs one statement and checks its status (OCI_SUCCESS_WITH_INFO passes).
inline sword run(connection& c, const std::string& sql, ub4 mode = OCI_DEFAULT)
{
    statement s(c, sql);
    sword rc = s.execute(1, mode);
    c.check(rc);
    return rc;
}

// The Oracle error a statement fails with.
inline std::optional<failure> fails(connection& c, const std::string& sql)
{
    statement s(c, sql);
    return c.error_of(s.execute(1, OCI_DEFAULT));
}

// Defines select-list item `pos` of a statement as a LOB locator.
inline void define_lob(connection& c, statement& s, ub4 pos, OCILobLocator*& loc, ub2 type)
{
    OCIDefine* d = nullptr;
    c.check(oci().OCIDefineByPos(s.h, &d, c.err, pos, &loc, -1, type, nullptr, nullptr, nullptr, OCI_DEFAULT));
}

// All rows of a query as text (SQLT_STR defines, UTF-8 here), NULL as nullopt.
using row = std::vector<std::optional<std::string>>;
inline std::vector<row> query(connection& c, const std::string& sql)
{
    statement s(c, sql);
    c.check(s.execute(0));
    ub4 count = 0;
    c.check(oci().OCIAttrGet(s.h, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, c.err));
    const size_t units = 4001;
    std::vector<std::u16string> bufs(count, std::u16string(units, u'\0'));
    std::vector<sb2> ind(count);
    for (ub4 i = 0; i < count; ++i) {
        OCIDefine* d = nullptr;
        c.check(oci().OCIDefineByPos(s.h, &d, c.err, i + 1, bufs[i].data(), static_cast<sb4>(units * 2), SQLT_STR,
                                     &ind[i], nullptr, nullptr, OCI_DEFAULT));
    }
    std::vector<row> out;
    for (;;) {
        sword rc = s.fetch();
        if (rc == OCI_NO_DATA) break;
        c.check(rc);
        row r;
        for (ub4 i = 0; i < count; ++i) {
            if (ind[i] == -1)
                r.push_back(std::nullopt);
            else
                r.push_back(n(std::u16string_view(bufs[i].c_str())));
        }
        out.push_back(std::move(r));
    }
    return out;
}

// The first column of a query's first row ("<none>" without a row, "<null>").
inline std::string scalar(connection& c, const std::string& sql)
{
    std::vector<row> rows = query(c, sql);
    return rows.empty() ? "<none>" : rows[0][0].value_or("<null>");
}

// A logged-on connection of a fresh user.
class stand_in : public ::testing::Test {
protected:
    void SetUp() override
    {
        user = new_user();
        ASSERT_EQ(c.logon(user, "pw"), OCI_SUCCESS);
    }

    std::string user;
    connection c;
};

}  // namespace ora_test

#endif  // ORAEMU_OCI_LIB
