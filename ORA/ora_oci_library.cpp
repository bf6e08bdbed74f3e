#include "ora_oci_library.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>

#include "tk_exception.h"
#include "tk_logger.h"

const char* const ora_oci_library::missing_client_message =
    "The Oracle client and networking components were not found.\n"
    "These components are supplied by the Oracle Corporation and\n"
    "are part of the Oracle Version 7.3.4 (or later) client\n"
    "software installation. You will be unable to use this program\n"
    "until these components have been installed.";

namespace {

// The unversioned link first: when present, it is what the installation
// meant to be used; then the versioned names, newest first. (".23.1" for
// the 23ai client is the expected name, not one confirmed by a source.)
const char* const k_client_names[] = {
    "libclntsh.so",      "libclntsh.so.23.1", "libclntsh.so.21.1", "libclntsh.so.19.1",
    "libclntsh.so.18.1", "libclntsh.so.12.1", "libclntsh.so.11.1",
};

// Error code of a missing entry point: the system's "procedure not found".
constexpr uint32_t k_proc_not_found = 127;

}  // namespace

std::vector<std::string> ora_oci_library::candidates(const char* oci_lib, const char* oracle_home)
{
    if (oci_lib != nullptr && *oci_lib != '\0') return {oci_lib};
    std::vector<std::string> list(std::begin(k_client_names), std::end(k_client_names));
    if (oracle_home != nullptr && *oracle_home != '\0') {
        std::string dir = oracle_home;
        if (dir.back() != '/') dir += '/';
        dir += "lib/";
        for (const char* name : k_client_names) list.push_back(dir + name);
    }
    return list;
}

ora_oci_library::ora_oci_library()
{
    load(candidates(std::getenv("TOLVANE_OCI_LIB"), std::getenv("ORACLE_HOME")));
}

ora_oci_library::ora_oci_library(const std::vector<std::string>& list)
{
    load(list);
}

ora_oci_library::~ora_oci_library()
{
    if (handle_ != nullptr) dlclose(handle_);
}

void ora_oci_library::load(const std::vector<std::string>& list)
{
    tk_trace(2, "ora_oci_library::load");
    for (const std::string& name : list) {
        handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ != nullptr) {
            path_ = name;
            break;
        }
        const char* why = dlerror();
        tk_trace(1, "Cannot load %s: %s", name, why ? why : "");
    }
    if (handle_ == nullptr) {
        tk_exception e(missing_client_message, 1);
        e.code = 1;
        throw e;
    }
    tk_trace(1, "Oracle client library: %s", path_);
    try {
        resolve();
    } catch (...) {
        dlclose(handle_);
        handle_ = nullptr;
        throw;
    }
}

void ora_oci_library::resolve()
{
    // dlsym hands back void*; the cast to the declared function type is the
    // one place where the prototypes of ora_oci.h are trusted.
#define ORA_OCI_REQUIRE(name)                                                                                          \
    api_.name = reinterpret_cast<decltype(api_.name)>(dlsym(handle_, #name));                                          \
    if (api_.name == nullptr) {                                                                                        \
        tk_exception e("The Oracle client library " + path_ + " does not export the function " #name ".", 1);          \
        e.code = k_proc_not_found;                                                                                     \
        throw e;                                                                                                       \
    }
#define ORA_OCI_OPTIONAL(name) api_.name = reinterpret_cast<decltype(api_.name)>(dlsym(handle_, #name));
    ORA_OCI_REQUIRED_FUNCTIONS(ORA_OCI_REQUIRE)
    ORA_OCI_OPTIONAL_FUNCTIONS(ORA_OCI_OPTIONAL)
#undef ORA_OCI_REQUIRE
#undef ORA_OCI_OPTIONAL
}

ora_oci_library& ora_oci_library::shared()
{
    // Never unloaded: the client may have registered exit handlers of its
    // own, which must still find their code when the process ends.
    static std::mutex guard;
    static ora_oci_library* instance = nullptr;
    std::lock_guard<std::mutex> lock(guard);
    if (instance == nullptr) instance = new ora_oci_library();
    return *instance;
}
