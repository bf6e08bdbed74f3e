// The process-wide Oracle client: the OCI environment, the error handle and
// the one session. Every object of the Oracle target reaches OCI through it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ora_oci_library.h"
#include "tk_singleton.h"

class ora_database;

class ora_engine : public tk_singleton<ora_engine> {
public:
    ora_engine();
    ~ora_engine() override;

    // Loads the client and creates the environment (UTF-16) and the error
    // handle. Raises tk_exception code 1 when no client library is found.
    void initialize();

    // "//host:port/service"; an empty port is 1521.
    static std::u16string make_connect_string(const std::u16string& host, const std::u16string& port,
                                              const std::u16string& service);
    std::unique_ptr<ora_database> open_db(const std::u16string& host, const std::u16string& user,
                                          const std::u16string& password, const std::u16string& port,
                                          const std::u16string& service);
    std::unique_ptr<ora_database> open_db(const std::u16string& connect_string, const std::u16string& user,
                                          const std::u16string& password);

    // Rows of a table, or of a SELECT text when `is_query` is set.
    int32_t get_records_cnt(const std::u16string& name, bool is_query = false);
    // Server version as major * 65536 + minor * 256 + third; 0 when unknown.
    uint32_t get_version();

    // The status check: raises ora_exception on OCI_ERROR, the toolkit
    // assertion on OCI_INVALID_HANDLE and OCI_NEED_DATA (no call of ours
    // provides data piecewise); every other status passes.
    void check(sword status) const;

    // Commits the session's open transaction.
    void commit();
    // Ends the session; a failure of a dead session is traced and forgotten
    // so a new log-on can follow.
    void logoff() noexcept;

    const ora_oci_api& oci() const { return *api_; }
    OCIEnv* env() const { return env_; }
    OCIError* err() const { return err_; }
    // The session's service context; the toolkit assertion when none.
    OCISvcCtx* svc() const;
    bool connected() const { return svc_ != nullptr; }

    // Gets `version`'s text parsed; exposed for its tests.
    static uint32_t parse_version(const std::u16string& banner);

    bool skip_keys = false;
    bool initialized = false;
    std::u16string connect_string;
    std::u16string user_name;
    std::u16string password;

private:
    const ora_oci_api* api_ = nullptr;
    OCIEnv* env_ = nullptr;
    OCIError* err_ = nullptr;
    OCISvcCtx* svc_ = nullptr;
};
