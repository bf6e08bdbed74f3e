// Shared helpers of the dao_ tests: paths of the test files, an engine set
// up as the conversion run sets it up, and DAO error capture.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dao_database.h"
#include "dao_engine.h"
#include "dao_exception.h"
#include "tk_wstring.h"

inline std::string dao_test_data(const char* name)
{
    return std::string(TOLVANE_TEST_DATA) + "/" + name;
}

inline std::u16string dao_test_path(const char* name)
{
    return tk_from_utf8(dao_test_data(name));
}

// The engine as the run makes it: generations 3, 0, 1, no workgroup.
inline std::unique_ptr<dao_engine> dao_test_engine()
{
    auto engine = std::make_unique<dao_engine>(true, false);
    engine->choose_generation();
    return engine;
}

// The code and text of the dao_exception `call` raises; code 0 and no
// text when it raises none.
struct dao_test_error {
    uint32_t code = 0;
    std::string message;
};

template <class F>
dao_test_error dao_error_of(F&& call)
{
    try {
        call();
    } catch (const dao_exception& e) {
        EXPECT_EQ(e.level, 0);
        return {e.code, e.message};
    }
    return {};
}

template <class F>
uint32_t dao_code_of(F&& call)
{
    return dao_error_of(call).code;
}

inline std::unique_ptr<dao_database> dao_test_open(dao_engine& engine, const char* name, int mode = 1,
                                                   const std::u16string& password = u"")
{
    std::unique_ptr<udb_database> db = engine.open_db(dao_test_path(name), mode, password);
    return std::unique_ptr<dao_database>(static_cast<dao_database*>(db.release()));
}
