#include "dao_generator.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>

#include "tk_exception.h"
#include "tk_file.h"
#include "tk_format.h"
#include "tk_logger.h"

namespace {

// Paths of the temporary files still alive, for the exit handler.
struct live_files {
    std::mutex lock;
    std::set<std::string> paths;
};

live_files& live()
{
    static live_files* files = new live_files;  // outlives static destruction
    return *files;
}

void remove_with_lock_file(const std::string& path) noexcept
{
    std::remove((path + ".ldb").c_str());
    std::remove(path.c_str());
}

void remove_leftovers() noexcept
{
    live_files& l = live();
    std::lock_guard<std::mutex> guard(l.lock);
    for (const std::string& p : l.paths) remove_with_lock_file(p);
    l.paths.clear();
}

void track(const std::string& path)
{
    static std::once_flag once;
    std::call_once(once, [] { std::atexit(remove_leftovers); });
    live_files& l = live();
    std::lock_guard<std::mutex> guard(l.lock);
    l.paths.insert(path);
}

void untrack(const std::string& path) noexcept
{
    live_files& l = live();
    std::lock_guard<std::mutex> guard(l.lock);
    l.paths.erase(path);
}

bool readable(const std::string& name)
{
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (f == nullptr) return false;
    std::fclose(f);
    return true;
}

}  // namespace

std::string dao_generator::gen_name()
{
    tk_trace(1, "dao_generator::gen_name");
    for (int n = 0; n <= 65535; ++n) {
        std::string name = tk_format("~tmp%04d", n);
        if (!readable(name)) return name;
    }
    TK_FAIL();
}

void dao_generator::do_generate(size_t size, const uint8_t* data)
{
    tk_trace(2, "dao_generator::do_generate");
    TK_ASSERT(data != nullptr);
    TK_ASSERT(!generated_);
    name_ = gen_name();
    tk_trace(2, "GOT GENERATED NAME: %s", name_);
    tk_stdio_file file(name_, tk_file_writable | tk_file_create);
    path_ = file.name();
    generated_ = true;
    track(path_);
    file.put_at(0, data, static_cast<uint32_t>(size));
}

dao_generator::~dao_generator()
{
    tk_trace(1, "dao_generator::dtor");
    if (!generated_) return;
    remove_with_lock_file(path_);
    untrack(path_);
}
