// Code-to-message map: replaces the raw text of a database error by a
// friendlier one when the error's code has an entry.
#pragma once

#include <cstdint>
#include <map>
#include <string>

// One row of a message table: a code of the shared code space and its text.
struct tk_error_row {
    uint32_t code;
    const char* text;
};

class tk_error_converter {
public:
    // Builds the map from the first `count` rows of `table`.
    tk_error_converter(int count, const tk_error_row* table);

    // Adds rows in table order; a code already present keeps its first
    // text. A missing table is an internal error; a count of 0 or less
    // adds nothing.
    void load_map(int count, const tk_error_row* table);

    // The text for exactly `code`, or an empty string when there is none.
    std::string convert(uint32_t code) const;

    size_t size() const { return map_.size(); }

private:
    std::map<uint32_t, std::string> map_;
};
