// One OCI statement handle, freed when the object goes out of scope.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ora_oci.h"

class ora_stmt {
public:
    // Allocates the handle from the engine's environment (status checked).
    ora_stmt();
    ~ora_stmt();
    ora_stmt(const ora_stmt&) = delete;
    ora_stmt& operator=(const ora_stmt&) = delete;

    OCIStmt* get() const { return stmt_; }

    // Prepares a UTF-16 text in native syntax; status checked.
    void prepare(std::u16string_view text);
    // Executes on the session; status checked. Returns the status, so the
    // caller can tell OCI_NO_DATA and OCI_SUCCESS_WITH_INFO apart.
    sword execute(ub4 iterations, ub4 mode = OCI_DEFAULT);
    // Fetches the next row; false at the end. Errors raise.
    bool fetch();
    // Rows the client brings per network call when fetching, so that
    // reading a list is not one round trip per row. Set before executing.
    void set_prefetch(ub4 rows);

    static constexpr ub4 list_prefetch_rows = 500;

private:
    OCIStmt* stmt_ = nullptr;
};

// The first column of every row of a SELECT, as text (catalogue reads).
std::vector<std::u16string> ora_select_strings(std::u16string_view sql);
// A text quoted as an SQL string literal for dictionary queries (quotes
// doubled).
std::u16string ora_quote_literal(std::u16string_view text);
