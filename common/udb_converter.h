// The source- and target-neutral half of the converter: what to convert,
// how to treat tables that already exist, and the progress of a run.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tk_converter.h"
#include "tk_exception.h"

class udb_profile;

// A mode outside 1..4 met in a profile; the agent ends with its text, the
// wizard shows it. Nothing with such a mode ever reaches a run.
class udb_invalid_mode : public tk_exception {
public:
    udb_invalid_mode() : tk_exception("Invalid merge/overwrite mode", 1) {}
};

class udb_converter : public tk_converter {
public:
    using query_map = std::map<std::u16string, std::u16string>;  // by UTF-16 code units

    static constexpr int k_overwrite = 1;
    static constexpr int k_skip = 2;
    static constexpr int k_merge = 3;
    static constexpr int k_synchronize = 4;

    udb_converter();
    ~udb_converter() override;

    // Whether `text` compiles as a query of the source; never throws.
    virtual bool test_query(const std::u16string& text) = 0;

    // The caller has checked the range.
    void set_mode(int mode);

    // Merges the profile's selections and generic settings into this
    // converter. Raises udb_invalid_mode for a mode outside 1..4.
    bool load_profile(const udb_profile& profile);
    // Writes the selections (plain table list included) and the generic
    // settings.
    bool store_profile(udb_profile& profile) const;

    // The switch texts people write: 1/true/yes/on and 0/false/no/off, any
    // case, blanks around them ignored. False for any other text.
    static bool parse_switch(std::u16string_view text, bool& on);
    // A mode as written in a profile or on the command line: one of the
    // digits 1 to 4, blanks around it ignored. False otherwise.
    static bool parse_mode(std::u16string_view text, int& mode);
    // Rows sent to Oracle in one array: a whole number from 1 to
    // k_max_batch_rows, blanks around it ignored. False otherwise.
    static bool parse_batch_rows(std::u16string_view text, uint32_t& rows);

    static constexpr uint32_t k_default_batch_rows = 1000;
    static constexpr uint32_t k_max_batch_rows = 100000;

    int32_t mode = k_overwrite;
    std::u16string current_table;
    int32_t records_total = 0;
    int32_t records_done = 0;
    int32_t tables_total = 0;
    int32_t tables_done = 0;
    std::vector<std::u16string> selected_tables;
    query_map selected_queries;
    query_map available_queries;
    bool tab_def = false;
    bool skip_idx = false;
    // Rows per array INSERT; 1 writes row by row (one INSERT and commit per
    // row).
    uint32_t batch_rows = k_default_batch_rows;
};
