#include "udb_engine.h"

#include <unistd.h>

#include <string>

#include "tk_exception.h"
#include "tk_logger.h"
#include "tk_path.h"
#include "tk_wstring.h"

udb_engine::~udb_engine() = default;

void udb_engine::remove_db_file(const std::u16string& path)
{
    tk_trace(1, u"udb_engine::remove_db_file(%s)", path);
    const std::string narrow = tk_to_ansi(path);
    // unlink, not remove: a folder of that name is not a database file.
    // Nothing may run between the call and the exception, which reads errno.
    if (::unlink(narrow.c_str()) != 0) throw tk_exception_ex();
}

bool udb_engine::is_db_file_exist(const std::u16string& path)
{
    tk_trace(1, u"udb_engine::is_db_file_exist(%s)", path);
    return tk_is_file_exist(tk_to_ansi(path), tk_access_read);
}
