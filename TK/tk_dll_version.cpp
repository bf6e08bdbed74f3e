#include "tk_dll_version.h"

#include <dlfcn.h>

#include "tk_logger.h"

namespace {

// Releases the library on every way out.
class library_handle {
public:
    explicit library_handle(const std::string& name) : handle_(::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
    ~library_handle()
    {
        if (handle_ != nullptr) ::dlclose(handle_);
    }
    library_handle(const library_handle&) = delete;
    library_handle& operator=(const library_handle&) = delete;

    void* get() const { return handle_; }

private:
    void* handle_;
};

}  // namespace

uint32_t get_dll_version(const std::string& library)
{
    library_handle lib(library);
    if (lib.get() == nullptr) {
        tk_trace(1, "get_dll_version failed to load DLL");
        return 0;
    }
    void* symbol = ::dlsym(lib.get(), "DllGetVersion");
    if (symbol == nullptr) {
        tk_trace(1, "get_dll_version failed to obtain DllGetVersion");
        return 0;
    }
    auto query = reinterpret_cast<tk_dll_get_version_fn>(symbol);
    tk_dll_version_info info{};
    info.size = sizeof info;
    if (query(&info) < 0) return 0;
    return (info.major << 16) | info.minor;
}
