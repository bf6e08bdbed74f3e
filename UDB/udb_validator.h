// Name validation: may a name be used as it is, and if not, which safe,
// unique name replaces it.
//
// The base rules are a maximum length (0: none), a list of illegal
// characters, a list of restricted names (refused) and a list of used
// names (reported as duplicates). Names are compared by full Unicode case
// folding. The families of the target and source databases refill the
// lists and replace is_acceptable and get_safe_name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "udb_names_map.h"

class udb_validator {
public:
    explicit udb_validator(uint32_t max_length = 0);
    virtual ~udb_validator();

    virtual bool is_acceptable(std::u16string_view name) const;
    virtual bool is_duplicated(std::u16string_view name) const;
    // Never raises for a bad name; only the exhaustion of every numbered
    // candidate is an internal error. The result is not added to any list:
    // the caller decides what it reserves.
    virtual std::u16string get_safe_name(std::u16string_view name) const;

    void add_mapped_pair(std::u16string_view source, std::u16string_view target);

    uint32_t max_length;
    t_names_map names_map;  // source name -> generated name
    std::vector<char16_t> illegal_chars;
    std::vector<std::u16string> restricted_names;
    std::vector<std::u16string> used_names;

protected:
    // Whether a candidate may be handed out: acceptable by the actual
    // class's rules and not a duplicate.
    bool is_free(std::u16string_view name) const;
};

// The first `length` UTF-16 units of `text`, one fewer when the cut would
// split a surrogate pair.
std::u16string udb_cut_name(std::u16string_view text, size_t length);
