// Run-time binding to the Oracle client library.
//
// The client is never linked: ora_oci_library dlopen()s it and resolves
// every entry point of ora_oci.h into a table of typed pointers. Where the
// client is looked for:
//   1. the file named by the environment variable TOLVANE_OCI_LIB, when set
//      (nothing else is tried then, so a test or a stand-in is never mixed
//      up with an installed client);
//   2. libclntsh.so and its versioned names, newest first, through the
//      dynamic loader's normal search (LD_LIBRARY_PATH, ld.so cache, default
//      folders);
//   3. the same names in $ORACLE_HOME/lib.
#pragma once

#include <string>
#include <vector>

#include "ora_oci.h"

// One typed pointer per OCI entry point, named after the function, so a call
// reads oci.OCIStmtExecute(...). Optional entries may be null.
struct ora_oci_api {
#define ORA_OCI_POINTER(name) decltype(&::name) name = nullptr;
    ORA_OCI_REQUIRED_FUNCTIONS(ORA_OCI_POINTER)
    ORA_OCI_OPTIONAL_FUNCTIONS(ORA_OCI_POINTER)
#undef ORA_OCI_POINTER
};

class ora_oci_library {
public:
    // Loads the client from the places listed above. No loadable library:
    // tk_exception code 1 with missing_client_message. A library that lacks
    // a required entry point: tk_exception code 127 naming both.
    ora_oci_library();
    // Tries the given files or names in order; the first that loads is used.
    explicit ora_oci_library(const std::vector<std::string>& candidates);
    ~ora_oci_library();
    ora_oci_library(const ora_oci_library&) = delete;
    ora_oci_library& operator=(const ora_oci_library&) = delete;

    const ora_oci_api& api() const { return api_; }
    const ora_oci_api* operator->() const { return &api_; }
    // The name or path that was loaded.
    const std::string& path() const { return path_; }

    // The process-wide client, loaded on first use and kept until the
    // process ends. A failed load is not remembered: the next call tries
    // again.
    static ora_oci_library& shared();

    // The search list for the given TOLVANE_OCI_LIB and ORACLE_HOME values
    // (either may be null or empty).
    static std::vector<std::string> candidates(const char* oci_lib, const char* oracle_home);

    static const char* const missing_client_message;

private:
    void load(const std::vector<std::string>& candidates);
    void resolve();

    void* handle_ = nullptr;
    std::string path_;
    ora_oci_api api_;
};
