// What the component's tests share: the test files' paths, the DAO error
// number a call ends in, a database opened the way the dao_ classes open
// one, and tlvinspect's output.
#pragma once

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "jet_database.h"
#include "jet_dbengine.h"
#include "jet_error.h"
#include "jet_file.h"
#include "jet_viewer.h"
#include "tk_wstring.h"

// The path of a file in tests/data.
inline std::string jet_test_data(const std::string& name)
{
    return std::string(TOLVANE_TEST_DATA) + "/" + name;
}

// The DAO error number `f` raises, 0 when it raises none.
template <class F>
int32_t jet_error_of(F&& f)
{
    try {
        f();
    } catch (const jet_error& e) {
        return e.number;
    }
    return 0;
}

// The DAO error number of opening the file at `path` with `password`.
inline int32_t jet_open_error(const std::string& path, std::u16string_view password)
{
    return jet_error_of([&] { jet_file f(tk_from_utf8(path), password); });
}

inline std::unique_ptr<jet_database> jet_test_open(const std::string& path, std::u16string_view connect = u"")
{
    return jet_dbengine::create(3)->open_database(tk_from_utf8(path), false, true, connect);
}

// tlvinspect's output for the options.
inline std::string jet_test_inspect(const jet_inspect_options& o)
{
    std::ostringstream out;
    jet_viewer::inspect(o, out);
    return out.str();
}
