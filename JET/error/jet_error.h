// DAO's errors as the component raises them.
//
// A failure of the component is a jet_error: a level-0 tk_exception whose
// code is 0x10000 plus DAO's error number and whose message is DAO's text.
// Every jet_error raised on a thread also becomes that thread's current
// error list, which DBEngine.Errors reports (jet_dbengine::errors); DAO
// objects stay on the thread that made them, so a per-thread list is the
// engine's list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tk_exception.h"

// The DAO numbers the component raises.
enum : int32_t {
    jet_err_reserved = 3000,
    jet_err_invalid_argument = 3001,
    jet_err_object_not_found = 3011,
    jet_err_no_current_record = 3021,
    jet_err_file_not_found = 3024,
    jet_err_disk_error = 3043,
    jet_err_workgroup_missing = 3028,
    jet_err_invalid_logon = 3029,
    jet_err_invalid_password = 3031,
    jet_err_file_access_denied = 3051,
    jet_err_invalid_file_name = 3055,
    jet_err_input_table_not_found = 3078,
    jet_err_sql_syntax = 3129,
    jet_err_odbc_connect = 3151,
    jet_err_no_msysaccounts = 3173,
    jet_err_illegal_operation = 3219,
    jet_err_not_supported = 3251,
    jet_err_item_not_found = 3265,
    jet_err_property_not_found = 3270,
    jet_err_unrecognized_format = 3343,
    jet_err_sysdb_open = 3358,
    jet_err_object_invalid = 3420,
};

struct jet_error_entry {
    int32_t number = 0;
    std::u16string description;
};

class jet_error : public tk_exception {
public:
    // DAO's text for `number`, with `arg` in place of its placeholder.
    explicit jet_error(int32_t number, std::u16string_view arg = {});
    // An error of DAO's number `number` with a text of the component's own,
    // for failures DAO has no text for (a setting it does not have).
    static jet_error with_text(int32_t number, std::u16string text);
    jet_error(const jet_error&) = default;
    jet_error& operator=(const jet_error&) = default;
    ~jet_error() override;

    int32_t number;
    std::u16string description;

    // DAO's text template of a number ("|" marks the placeholder); the
    // catch-all text of 3000 for numbers the component never raises.
    static std::u16string text_of(int32_t number, std::u16string_view arg);

    // The current thread's error list, most recent failure first.
    static const std::vector<jet_error_entry>& current();
    static void clear_current();
};
