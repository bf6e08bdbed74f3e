// Oracle's name rules: identifiers of at most 30 bytes (UTF-8 counted, the
// widest encoding a server may use) that start with a letter and hold only
// letters, digits, "_", "$" and "#". Names are always sent quoted, so case
// and reserved words need no care here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tk_singleton.h"
#include "udb_validator.h"

class udb_schema;
class udb_record;
class udb_indexes;

// UTF-8 length of a name; identifier limits are counted in these bytes.
size_t ora_name_bytes(std::u16string_view name);
// The longest prefix of `name` of at most `bytes` UTF-8 bytes that ends on
// a whole character.
std::u16string ora_cut_name(std::u16string_view name, size_t bytes);

class ora_validator : public udb_validator {
public:
    ora_validator();

    bool is_acceptable(std::u16string_view name) const override;
    std::u16string get_safe_name(std::u16string_view name) const override;
};

class ora_tn_validator : public ora_validator {
public:
    // Both lists' names are taken as used.
    ora_tn_validator(const std::vector<std::u16string>& names, const std::vector<std::u16string>& more_names);
};

class ora_fn_validator : public ora_validator {
public:
    explicit ora_fn_validator(const udb_schema& fields);
    explicit ora_fn_validator(const udb_record& fields);
};

class ora_in_validator : public tk_singleton<ora_in_validator>, public ora_validator {
public:
    // Restricts "PRIMARY" and every primary-key constraint and index name of
    // the user's schema (read through the engine's session).
    ora_in_validator();
    // Without reading the server: for a schema known to be empty.
    explicit ora_in_validator(const std::vector<std::u16string>& restricted);

    void load(const udb_indexes& indexes);
    // The primary-key constraint and index names `table` holds in the
    // schema; read before the table is dropped, then released, so that
    // overwriting a table gives its indexes the same names again.
    static std::vector<std::u16string> names_of_table(std::u16string_view table);
    void release(const std::vector<std::u16string>& names);
};
